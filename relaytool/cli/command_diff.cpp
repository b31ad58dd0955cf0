// relaycfg diff: two configuration images, each from a backup file or from the unit on a port,
// shown side by side as the window shows them and compared byte by byte.
#include <algorithm>
#include <array>
#include <vector>

#include "commands.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "load_save.h"
#include "memory_fields.h"
#include "port_target.h"
#include "repeater_session.h"

namespace {

struct Side {
    std::string argument;  // as given
    bool port = false;
    std::string about;     // "the unit", "backup of COM1, saved ..."
    RepeaterMemory memory;
};

int ReadFile(Side &side, Console io) {
    BackupReading backup;
    if (!ReadBackupFile(side.argument, io.err, backup)) return kExitFile;
    side.memory = backup.memory;
    side.about = "backup";
    if (!backup.port.empty()) side.about += " of " + backup.port;
    if (!backup.savedAt.empty()) side.about += ", saved " + backup.savedAt;
    return kExitOk;
}

// The unit read as `show` reads it, in a session of its own: a second port (or the same one
// again) is bound afresh.
int ReadPort(Side &side, Console io, bool quiet, unsigned &retries) {
    RepeaterSession session(side.argument, io, quiet);
    const int code = session.Load();
    retries += session.Retries();
    if (code != kExitOk) return code;
    side.memory = session.Current();
    side.about = "the unit";
    return kExitOk;
}

std::string SideBySide(const Side &a, const Side &b) {
    const std::vector<ConfigurationRow> rowsA = ConfigurationRows(FieldsOf(a.memory.image.data()));
    const std::vector<ConfigurationRow> rowsB = ConfigurationRows(FieldsOf(b.memory.image.data()));
    std::size_t width = 1;
    for (const ConfigurationRow &row : rowsA) width = std::max(width, row.value.size());
    const auto line = [width](const std::string &label, std::string first, const std::string &second) {
        first.resize(width + 2, ' ');
        return LabelColumn(label) + first + second + "\n";
    };
    std::string text = std::string("A: ") + a.argument + " (" + a.about + ")\n" + "B: " + b.argument + " (" +
                       b.about + ")\n\n" + line("", "A", "B");
    for (std::size_t i = 0; i < rowsA.size(); ++i) text += line(rowsA[i].label, rowsA[i].value, rowsB[i].value);
    return text;
}

std::string DifferencesJson(const std::vector<ByteDifference> &differences) {
    std::string json = "[";
    for (const ByteDifference &d : differences) {
        json += (json.size() > 1 ? ", " : "") + std::string("{\"byte\": ") + std::to_string(d.offset) +
                ", \"name\": " + JsonString(ByteName(MemoryArea::Image, d.offset)) +
                ", \"a\": " + std::to_string(d.first) + ", \"b\": " + std::to_string(d.second) + "}";
    }
    return json + "]";
}

std::string SideJson(const Side &side) {
    return std::string("{\"") + (side.port ? "port" : "file") + "\": " + JsonString(side.argument) + ", " +
           ConfigurationJsonMembers(FieldsOf(side.memory.image.data())) + "}";
}

}  // namespace

int RunDiff(const Invocation &invocation, Console io) {
    std::array<Side, 2> sides;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        sides[i].argument = invocation.compared.at(i);
        sides[i].port = NamesAPort(sides[i].argument);
    }
    // Files first: a file that cannot be read or is refused ends the command before any port is used.
    for (Side &side : sides)
        if (!side.port)
            if (const int code = ReadFile(side, io); code != kExitOk) return code;
    unsigned retries = 0;
    for (Side &side : sides)
        if (side.port)
            if (const int code = ReadPort(side, io, invocation.quiet, retries); code != kExitOk) return code;

    // Bytes 22 and 23 are cleared by every Save and may be set by the repeater itself: told as a
    // note, not counted, as the check after a write does.
    const Side &a = sides[0], &b = sides[1];
    std::vector<ByteDifference> counted, notCounted;
    for (const ByteDifference &d : DifferingBytes(a.memory.image.data(), b.memory.image.data(), a.memory.image.size()))
        (IsUncheckedByte(d.offset) ? notCounted : counted).push_back(d);
    if (!notCounted.empty() && !invocation.quiet) {
        io.err << "Not counted, the repeater may set these bytes itself:\n"
               << DifferenceLines(notCounted, "A", "B");
    }

    if (invocation.json) {
        io.out << "{\"alike\": " << (counted.empty() ? "true" : "false") << ", \"a\": " << SideJson(a)
               << ", \"b\": " << SideJson(b) << ", \"differences\": " << DifferencesJson(counted)
               << ", \"not_counted\": " << DifferencesJson(notCounted) << ", \"retries\": " << retries << "}\n";
    } else {
        io.out << SideBySide(a, b) << "\nDifferences:\n"
               << (counted.empty() ? "none\n" : DifferenceLines(counted, "A", "B"));
    }
    return counted.empty() ? kExitOk : kExitDiffer;
}
