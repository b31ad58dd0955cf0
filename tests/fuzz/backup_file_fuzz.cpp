// The backup file's reader with arbitrary text, as `relaycfg restore` and `relaycfg diff` meet
// it. Checked: a reading is accepted exactly when it has no error; what is accepted is the backup
// of a supported repeater, and written back out (FormatBackup) reads the same again; a UTF-8 byte
// order mark in front changes nothing.
//
// Input: the file's content.
#include <cstdint>
#include <string>
#include <string_view>

#include "backup_file.h"
#include "fuzz_check.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool SameReading(const BackupReading &a, const BackupReading &b) {
    return a.ok == b.ok && a.error == b.error && a.port == b.port &&
           (!a.ok || (a.memory.info == b.memory.info && a.memory.image == b.memory.image));
}

}  // namespace

// libFuzzer and the corpus replay both hand over a heap block of exactly the input's size, so
// AddressSanitizer reports any read beyond the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    const BackupReading reading = ParseBackup(text);
    CHECK(reading.ok == reading.error.empty());
    if (!text.starts_with(kByteOrderMark)) {
        CHECK(SameReading(ParseBackup(std::string(kByteOrderMark) + std::string(text)), reading));
    }
    if (!reading.ok) return 0;

    CHECK(reading.memory.info[18] == 'a');
    const BackupReading again = ParseBackup(FormatBackup(reading.memory, reading.port, "then"));
    CHECK(again.ok);
    CHECK(SameReading(again, reading));
    return 0;
}
