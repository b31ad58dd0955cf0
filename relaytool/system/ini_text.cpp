#include "ini_text.h"

#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// One line of the text: its bytes without the terminator, and the terminator ("", "\n", "\r\n").
struct Line {
    std::string_view body;
    std::string_view end;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t newline = content.find('\n', start);
        if (newline == std::string_view::npos) {
            // A last line that ends in a lone CR (no LF) still ends there: "Port=3\r" is 3.
            std::string_view body = content.substr(start);
            std::string_view end;
            if (!body.empty() && body.back() == '\r') {
                end = body.substr(body.size() - 1);
                body.remove_suffix(1);
            }
            lines.push_back({body, end});
            break;
        }
        std::size_t bodyEnd = newline;
        if (bodyEnd > start && content[bodyEnd - 1] == '\r') --bodyEnd;
        lines.push_back({content.substr(start, bodyEnd - start), content.substr(bodyEnd, newline + 1 - bodyEnd)});
        start = newline + 1;
    }
    return lines;
}

// The section name of a header line ("[name]", blanks allowed around it), or nullopt.
std::optional<std::string_view> SectionName(std::string_view body) {
    const std::string_view trimmed = Trim(body);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    std::string_view name = trimmed.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    return Trim(name);
}

// The position of the "=" of a key line whose key is `key`, or npos.
std::size_t KeyEquals(std::string_view body, std::string_view key) {
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) return std::string_view::npos;
    return SameNameIgnoringCase(Trim(body.substr(0, equals)), key) ? equals : std::string_view::npos;
}

// The line index of `key` in the first matching section that has it, and the index of the first
// matching section's header (or -1 for either).
struct Location {
    long keyLine = -1;
    long firstSection = -1;
};

Location Find(const std::vector<Line> &lines, std::string_view section, std::string_view key) {
    Location where;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view body = lines[i].body;
        if (i == 0 && body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);  // UTF-8 mark
        if (const auto name = SectionName(body)) {
            inSection = SameNameIgnoringCase(*name, section);
            if (inSection && where.firstSection < 0) where.firstSection = long(i);
            continue;
        }
        if (inSection && KeyEquals(body, key) != std::string_view::npos) {
            where.keyLine = long(i);
            return where;
        }
    }
    return where;
}

std::string_view LineEnding(const std::vector<Line> &lines) {
    for (const Line &line : lines)
        if (!line.end.empty() && line.end != "\r") return line.end;
    return "\n";
}

}  // namespace

std::optional<std::string> ProfileValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
    const std::vector<Line> lines = SplitLines(content);
    const Location where = Find(lines, section, key);
    if (where.keyLine < 0) return std::nullopt;
    const std::string_view body = lines[std::size_t(where.keyLine)].body;
    std::string_view value = Trim(body.substr(body.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string WithProfileValue(std::string_view content, std::string_view section,
                             std::string_view key, std::string_view value) {
    const std::vector<Line> lines = SplitLines(content);
    const Location where = Find(lines, section, key);
    const std::string_view newline = LineEnding(lines);
    std::string keyLine = std::string(key) + "=" + std::string(value);

    std::string out;
    out.reserve(content.size() + keyLine.size() + section.size() + 8);
    if (where.keyLine >= 0) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (long(i) != where.keyLine) {
                out.append(lines[i].body).append(lines[i].end);
                continue;
            }
            const std::string_view body = lines[i].body;
            std::size_t valueStart = body.find('=') + 1;
            while (valueStart < body.size() && IsBlank(body[valueStart])) ++valueStart;
            // A lone CR that ended the old value goes with it.
            out.append(body.substr(0, valueStart)).append(value).append(lines[i].end == "\r" ? "" : lines[i].end);
        }
        return out;
    }

    if (where.firstSection >= 0) {
        // After the section's last non-blank line, so blank lines before the next section stay
        // where they are.
        std::size_t last = std::size_t(where.firstSection);
        for (std::size_t i = last + 1; i < lines.size() && !SectionName(lines[i].body); ++i)
            if (!Trim(lines[i].body).empty()) last = i;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            out.append(lines[i].body);
            if (i == last) {
                // A last line that ends in a lone CR gets a full line break before the key: its
                // CR and an LF, so that no CR is left in the line's value.
                out.append(lines[i].end.empty() ? newline : lines[i].end == "\r" ? "\r\n" : lines[i].end);
                out.append(keyLine).append(lines[i].end.empty() ? std::string_view{} : newline);
                continue;
            }
            out.append(lines[i].end);
        }
        return out;
    }

    out.append(content);
    if (!content.empty() && content.back() != '\n') out.append(content.back() == '\r' ? "\n" : newline);
    out.append("[").append(section).append("]").append(newline);
    out.append(keyLine).append(newline);
    return out;
}
