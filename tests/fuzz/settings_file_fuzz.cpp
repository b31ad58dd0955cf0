// The settings file's reader and writer with arbitrary file contents. Writing the port keeps
// every line that is not the "Port" value of "Com settings" (a new section header and key line
// may be added), every other key reads as before, the written value reads back (also through
// the integer reading of the port), and a second write of the same value changes nothing.
// One input in sixteen also goes through a real file.
//
// Input: four bytes of the port value (little-endian), then the file's content.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "ini_text.h"
#include "profile_file.h"
#include "temp_folder.h"
#include "settings_rules.h"

namespace {

struct Line {
    std::string_view body;
    std::string_view end;
};

// Lines end at "\n"; a "\r" just before it belongs to the ending.
std::vector<Line> Lines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline == std::string_view::npos ? text.size() : newline + 1);
        text.remove_prefix(line.size());
        std::size_t endSize = 0;
        if (!line.empty() && line.back() == '\n') endSize = line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1;
        lines.push_back({line.substr(0, line.size() - endSize), line.substr(line.size() - endSize)});
    }
    return lines;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// A line whose key (the text before its first "=") is "Port" in any spelling.
bool IsPortLine(std::string_view body) {
    const std::size_t equals = body.find('=');
    return equals != std::string_view::npos && Lower(Trimmed(body.substr(0, equals))) == "port";
}

// content's lines appear in written, in order and unchanged, apart from one "Port" line whose
// value became `value`, or one added key line and at most one added section header.
class LineAlignment {
public:
    LineAlignment(std::string_view content, std::string_view written, const std::string &value)
        : before_(Lines(content)), after_(Lines(written)), value_(value),
          keyLine_(std::string(kPortKey) + "=" + value), header_(std::string("[") + kPortSection + "]") {}

    bool Holds() { return Align(0, 0, false, false, false); }

private:
    // The same line with the same ending; the last line may gain an ending, and a "\r" that
    // ended it then becomes part of that ending.
    bool Kept(std::size_t i, std::size_t j) const {
        const Line &b = before_[i], &a = after_[j];
        if (b.body == a.body && b.end == a.end) return true;
        if (i + 1 != before_.size() || !b.end.empty()) return false;
        if (b.body == a.body) return true;
        return b.body.ends_with('\r') && a.end == "\r\n" && b.body.substr(0, b.body.size() - 1) == a.body;
    }

    // The replaced "Port" line keeps its ending.
    bool SameEnd(std::size_t i, std::size_t j) const {
        return before_[i].end == after_[j].end || (i + 1 == before_.size() && before_[i].end.empty());
    }

    // Tries the plain match first and the one-time changes only where they apply.
    bool Align(std::size_t i, std::size_t j, bool replaced, bool addedKey, bool addedHeader) {
        if (i == before_.size() && j == after_.size()) return replaced != addedKey;
        if (++steps_ > 1'000'000) return false;
        const bool bothLeft = i < before_.size() && j < after_.size();
        if (bothLeft && Kept(i, j) &&
            Align(i + 1, j + 1, replaced, addedKey, addedHeader))
            return true;
        if (bothLeft && !replaced && !addedKey && IsPortLine(before_[i].body) &&
            IsPortLine(after_[j].body) && after_[j].body.ends_with(value_) && SameEnd(i, j) &&
            Align(i + 1, j + 1, true, addedKey, addedHeader))
            return true;
        if (j < after_.size() && !replaced && !addedKey && after_[j].body == keyLine_ &&
            Align(i, j + 1, replaced, true, addedHeader))
            return true;
        if (j < after_.size() && !addedHeader && after_[j].body == header_ &&
            Align(i, j + 1, replaced, addedKey, true))
            return true;
        return false;
    }

    std::vector<Line> before_, after_;
    std::string value_, keyLine_, header_;
    unsigned long steps_ = 0;
};

void CheckLinesKept(std::string_view content, std::string_view written, const std::string &value) {
    LineAlignment alignment(content, written, value);
    CHECK(alignment.Holds());
}

// Every (section, key) of content other than ours reads the same before and after. One
// allowance: a text ending in a lone "\r" gets a line break added after it, so the last line's
// value, which ended in that "\r", reads without it (and blanks before it) afterwards; the bytes
// themselves are kept.
void CheckOtherKeysKept(std::string_view content, std::string_view written) {
    const bool loneReturnAtEnd = content.ends_with('\r');
    const auto value = [&](std::string_view text, const std::string &section, const std::string &key) {
        std::optional<std::string> v = ProfileValue(text, section, key);
        while (v && loneReturnAtEnd && !v->empty() && (v->back() == '\r' || v->back() == ' ' || v->back() == '\t'))
            v->pop_back();
        return v;
    };
    std::string section;
    unsigned checked = 0;
    for (const Line &line : Lines(content)) {
        const std::string_view body = Trimmed(line.body);
        if (!body.empty() && body.front() == '[') {
            const std::size_t close = body.find(']');
            section = std::string(Trimmed(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            continue;
        }
        const std::size_t equals = body.find('=');
        if (equals == std::string_view::npos || ++checked > 16) continue;
        const std::string key(Trimmed(body.substr(0, equals)));
        if (Lower(section) == Lower(kPortSection) && Lower(key) == Lower(kPortKey)) continue;
        CHECK(value(content, section, key) == value(written, section, key));
    }
}

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The same write and read through a file: the profile functions and the port setting.
void CheckThroughFile(std::string_view content, const std::string &expected, int32_t port) {
    const testsupport::TempFolder folder("settings-fuzz");
    CHECK(!folder.Path().empty());
    const std::string path = folder.Path() + "/relaytool.ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    CHECK(WriteProfileString(path.c_str(), kPortSection, kPortKey, std::to_string(port).c_str()));
    CHECK(ReadAll(path) == expected);
    CHECK(ParseProfileInteger(ReadProfileString(path.c_str(), kPortSection, kPortKey), 1) == port);
    std::size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder.Path())) files += entry.is_regular_file();
    CHECK(files == 1);  // no temporary file left behind
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 4) return 0;
    const int32_t port = static_cast<int32_t>(static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                                              (static_cast<uint32_t>(data[2]) << 16) |
                                              (static_cast<uint32_t>(data[3]) << 24));
    const std::string_view content(reinterpret_cast<const char *>(data + 4), size - 4);
    const std::string value = std::to_string(port);

    // Reading arbitrary content: any value text reads as some integer, 1 when there is none.
    const std::optional<std::string> old = ProfileValue(content, kPortSection, kPortKey);
    if (!old) CHECK(ParseProfileInteger("", 1) == 1);
    else (void)ParseProfileInteger(*old, 1);

    const std::string written = WithProfileValue(content, kPortSection, kPortKey, value);
    CHECK(ProfileValue(written, kPortSection, kPortKey) == value);
    CHECK(ProfileValue(written, "COM SETTINGS", "port") == value);
    CHECK(ParseProfileInteger(value, 1) == port);
    CHECK(WithProfileValue(written, kPortSection, kPortKey, value) == written);
    CheckLinesKept(content, written, value);
    CheckOtherKeysKept(content, written);

    if (size % 16 == 0) CheckThroughFile(content, written, port);
    return 0;
}
