#include "station_protocol.h"

#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <utility>
#include <vector>

#include "hex_codec.h"

namespace {

const std::pair<WorkerReport::Kind, const char *> kReports[] = {
    {WorkerReport::Kind::Unit, "unit"},       {WorkerReport::Kind::Other, "other"},
    {WorkerReport::Kind::Port, "port"},       {WorkerReport::Kind::Backup, "backup"},
    {WorkerReport::Kind::Written, "written"}, {WorkerReport::Kind::Failed, "failed"},
    {WorkerReport::Kind::Gone, "gone"},
};
const std::pair<StationOrder::Kind, const char *> kOrders[] = {
    {StationOrder::Kind::Program, "program"},
    {StationOrder::Kind::Leave, "leave"},
    {StationOrder::Kind::Wait, "wait"},
    {StationOrder::Kind::Stop, "stop"},
};

std::string Escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

template <std::size_t N>
std::string Hex(const std::array<uint8_t, N> &bytes) {
    std::string text(2 * N, '0');
    BytesToHexText(bytes.data(), text.data(), static_cast<int32_t>(N), false);
    return text;
}

bool IsHex(const std::string &text) {
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

template <std::size_t N>
bool FromHex(const std::string &text, std::array<uint8_t, N> &bytes) {
    if (text.size() != 2 * N || !IsHex(text)) return false;
    HexTextToBytes(text, bytes.data(), static_cast<int32_t>(N), false);
    return true;
}

// A decimal number of at most nine digits.
bool Number(const std::string &text, unsigned &value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

// The line's first `words` words, and the rest of the line (after one blank) as the last one.
std::vector<std::string> Split(const std::string &line, std::size_t words) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (parts.size() < words) {
        const std::size_t end = line.find(' ', start);
        if (end == std::string::npos) {
            parts.push_back(line.substr(start));
            return parts;
        }
        parts.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    parts.push_back(line.substr(start));
    return parts;
}

const char *Switch(const std::optional<bool> &value) {
    return !value ? "-" : *value ? "on" : "off";
}

bool SwitchOf(const std::string &text, std::optional<bool> &value) {
    if (text == "-")
        value.reset();
    else if (text == "on")
        value = true;
    else if (text == "off")
        value = false;
    else
        return false;
    return true;
}

// The words after the first, each after one blank.
std::string Joined(std::string line, std::initializer_list<std::string> words) {
    for (const std::string &word : words) {
        line += ' ';
        line += word;
    }
    return line;
}

}  // namespace

std::string FormatReport(const WorkerReport &r) {
    std::string line;
    for (const auto &[kind, name] : kReports)
        if (kind == r.kind) line = name;
    switch (r.kind) {
        case WorkerReport::Kind::Unit:
            return Joined(line, {std::to_string(r.unit), Hex(r.memory.info), Hex(r.memory.image)});
        case WorkerReport::Kind::Other:
            return Joined(line, {Hex(std::array<uint8_t, 1>{static_cast<uint8_t>(r.deviceType)})});
        case WorkerReport::Kind::Port:
        case WorkerReport::Kind::Backup: return Joined(line, {Escaped(r.text)});
        case WorkerReport::Kind::Written:
            return Joined(line, {std::to_string(r.retries), Escaped(r.text)});
        case WorkerReport::Kind::Failed:
            return Joined(line,
                          {std::to_string(r.code), std::to_string(r.retries), Escaped(r.text)});
        case WorkerReport::Kind::Gone: break;
    }
    return line;
}

std::optional<WorkerReport> ParseReport(const std::string &line) {
    const std::string name = line.substr(0, line.find(' '));
    WorkerReport r;
    bool known = false;
    for (const auto &[kind, text] : kReports)
        if (name == text) r.kind = kind, known = true;
    if (!known) return std::nullopt;
    std::vector<std::string> f;
    switch (r.kind) {
        case WorkerReport::Kind::Unit:
            f = Split(line, 3);
            if (f.size() != 4 || !Number(f[1], r.unit) || !FromHex(f[2], r.memory.info) ||
                !FromHex(f[3], r.memory.image))
                return std::nullopt;
            return r;
        case WorkerReport::Kind::Other: {
            f = Split(line, 1);
            std::array<uint8_t, 1> type{};
            if (f.size() != 2 || !FromHex(f[1], type)) return std::nullopt;
            r.deviceType = type[0];
            return r;
        }
        case WorkerReport::Kind::Port:
        case WorkerReport::Kind::Backup:
            f = Split(line, 1);
            if (f.size() != 2 || f[1].empty()) return std::nullopt;
            r.text = Unescaped(f[1]);
            return r;
        case WorkerReport::Kind::Written:
            f = Split(line, 2);
            if (f.size() != 3 || !Number(f[1], r.retries)) return std::nullopt;
            r.text = Unescaped(f[2]);
            return r;
        case WorkerReport::Kind::Failed: {
            f = Split(line, 3);
            unsigned code = 0;
            if (f.size() != 4 || !Number(f[1], code) || code == 0 || !Number(f[2], r.retries))
                return std::nullopt;
            r.code = static_cast<int>(code);
            r.text = Unescaped(f[3]);
            return r;
        }
        case WorkerReport::Kind::Gone: return line == name ? std::optional(r) : std::nullopt;
    }
    return std::nullopt;
}

std::string FormatOrder(const StationOrder &order) {
    std::string line;
    for (const auto &[kind, name] : kOrders)
        if (kind == order.kind) line = name;
    if (order.kind == StationOrder::Kind::Stop) return line;
    if (order.kind != StationOrder::Kind::Program)
        return Joined(line, {std::to_string(order.unit)});
    const FieldEdits &e = order.edits;
    std::string rfpi = e.parentRfpi.value_or("");
    std::erase(rfpi, ' ');
    return Joined(line, {std::to_string(order.unit), rfpi, e.repeaterRpn.value_or(""),
                         Switch(e.monitorBeep), Switch(e.ignoreHop)});
}

std::optional<StationOrder> ParseOrder(const std::string &line) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    StationOrder order;
    bool known = false;
    for (const auto &[kind, name] : kOrders)
        if (!w.empty() && w[0] == name) order.kind = kind, known = true;
    if (!known) return std::nullopt;
    if (order.kind == StationOrder::Kind::Stop)
        return w.size() == 1 ? std::optional(order) : std::nullopt;
    if (w.size() < 2 || !Number(w[1], order.unit)) return std::nullopt;
    if (order.kind != StationOrder::Kind::Program)
        return w.size() == 2 ? std::optional(order) : std::nullopt;
    std::array<uint8_t, 5> rfpi{};
    unsigned rpn = 0;
    FieldEdits &e = order.edits;
    if (w.size() != 6 || !FromHex(w[2], rfpi) || !Number(w[3], rpn) ||
        !SwitchOf(w[4], e.monitorBeep) || !SwitchOf(w[5], e.ignoreHop))
        return std::nullopt;
    std::string spaced;
    for (std::size_t i = 0; i < rfpi.size(); ++i) {
        if (i > 0) spaced += ' ';
        spaced.append(w[2], 2 * i, 2);
    }
    e.parentRfpi = spaced;
    e.repeaterRpn = w[3];
    return order;
}
