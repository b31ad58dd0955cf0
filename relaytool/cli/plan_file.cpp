#include "plan_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

namespace {

int LineOf(const toml::node &node) {
    const int line = static_cast<int>(node.source().begin.line);
    return line > 0 ? line : 1;
}

// Reports every key of table outside allowed: a typo must not pass as "left as it is".
void CheckKeys(const toml::table &table, const std::set<std::string_view> &allowed,
               const std::string &where, std::vector<PlanProblem> &problems) {
    for (const auto &[key, node] : table) {
        if (allowed.count(key.str()) == 0) {
            problems.push_back({LineOf(node), "unknown key \"" + std::string(key.str()) + "\" in " +
                                                  where});
        }
    }
}

// A string value; a problem when it is missing (and required) or not a string.
bool ReadString(const toml::table &table, std::string_view key, const std::string &where,
                bool required, int fallbackLine, std::string &value, int &line,
                std::vector<PlanProblem> &problems) {
    line = fallbackLine;
    const toml::node *node = table.get(key);
    if (node == nullptr) {
        if (required)
            problems.push_back({fallbackLine, where + " has no " + std::string(key)});
        return false;
    }
    line = LineOf(*node);
    if (!node->is_string()) {
        problems.push_back({line, std::string(key) + " in " + where + " must be a text in quotes"});
        return false;
    }
    value = node->as_string()->get();
    if (required && value.empty()) {
        // An empty name or parent would drop the repeater from the tree without a word.
        problems.push_back({line, std::string(key) + " in " + where + " must not be empty"});
        return false;
    }
    return true;
}

std::optional<bool> ReadSwitch(const toml::table &table, std::string_view key,
                               const std::string &where, std::vector<PlanProblem> &problems) {
    const toml::node *node = table.get(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_boolean()) {
        problems.push_back({LineOf(*node), std::string(key) + " in " + where +
                                               " must be true or false"});
        return std::nullopt;
    }
    return node->as_boolean()->get();
}

PlanRepeater ReadRepeater(const toml::table &table, std::size_t index,
                          std::vector<PlanProblem> &problems) {
    PlanRepeater r;
    r.line = LineOf(table);
    std::string where = "[[repeater]] number " + std::to_string(index + 1);
    if (ReadString(table, "name", where, true, r.line, r.name, r.nameLine, problems))
        where = "repeater \"" + r.name + "\"";
    CheckKeys(table, {"name", "parent", "rpn", "monitor_beep", "ignore_hop_control"}, where,
              problems);
    ReadString(table, "parent", where, true, r.line, r.parent, r.parentLine, problems);
    r.rpnLine = r.line;
    if (const toml::node *rpn = table.get("rpn")) {
        r.rpnLine = LineOf(*rpn);
        if (rpn->is_integer()) r.rpn = rpn->as_integer()->get();
        else problems.push_back({r.rpnLine, "rpn of " + where + " must be a whole number"});
    } else {
        problems.push_back({r.line, where + " has no rpn"});
    }
    r.monitorBeep = ReadSwitch(table, "monitor_beep", where, problems);
    r.ignoreHop = ReadSwitch(table, "ignore_hop_control", where, problems);
    return r;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBareKeyCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '+' || c == ':';
}

bool IsNonAscii(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }

// The plan's text as the TOML reader (toml++ 3.3) is given it, checked on the way:
//  - ASCII only. That reader cannot tell for most non-ASCII characters whether they are blanks
//    (it reaches undefined behaviour where it asks, which it does outside strings, after a
//    backslash and after a line-ending backslash). So each one in a basic string ("...",
//    """...""") becomes its \u escape, which reads as the same text; after a backslash, where it
//    is no escape, a '?' that is none either; in a comment a '?'. A literal string ('...',
//    '''...''') takes no escapes: one that holds non-ASCII text becomes the basic string of the
//    same text. Outside quotes TOML allows none: there the text is refused, and so is invalid
//    UTF-8. Line ends stay, so every line number the reader gives is the file's (a column on a
//    line with escapes may be further right).
//  - No nesting deeper than kMaxPlanNesting, which would exhaust the reader's stack: a dotted name
//    (a table header or a key; bare or quoted parts, blanks allowed around the dots) of more
//    parts, or more arrays and inline tables open at once. A number or a time has at most two
//    dotted parts; nothing in strings and comments counts.
class TomlInput {
public:
    explicit TomlInput(std::string_view text) : text_(text) { out_.reserve(text.size()); }

    // false with Refusal() ("LINE:COLUMN: text") when the text is refused.
    bool Make() {
        while (at_ < text_.size() && refusal_.empty()) {
            const char c = text_[at_];
            const std::size_t start = at_;
            if (IsNonAscii(c)) {
                Refuse(at_, "a character outside quotes that TOML does not allow (put the text in quotes)");
            } else if (c == '\n') {
                NewLine();
                EndName();
                Copy();
            } else if (c == '#') {
                Comment();
            } else if (c == '"' || c == '\'') {
                String(c);
                Part(start);
            } else if (IsBareKeyCharacter(c)) {
                while (at_ < text_.size() && IsBareKeyCharacter(text_[at_])) Copy();
                Part(start);
            } else {
                if (c == '.' && afterPart_) {
                    afterPart_ = false;
                    afterDot_ = true;
                } else if (c != ' ' && c != '\t' && c != '\r') {
                    EndName();
                    if ((c == '[' || c == '{') && ++open_ > kMaxPlanNesting) Refuse(at_, TooDeep());
                    if ((c == ']' || c == '}') && open_ > 0) --open_;
                }
                Copy();
            }
        }
        return refusal_.empty();
    }
    const std::string &Ascii() const { return out_; }
    const std::string &Refusal() const { return refusal_; }

private:
    static std::string TooDeep() {
        return "keys or tables nested more than " + std::to_string(kMaxPlanNesting) +
               " levels deep (a plan needs two)";
    }
    void Copy() { out_ += text_[at_++]; }
    void NewLine() {
        ++line_;
        lineStart_ = at_ + 1;
    }
    void EndName() { afterPart_ = afterDot_ = false; }
    // One more part of a dotted name, which began at start.
    void Part(std::size_t start) {
        parts_ = afterDot_ ? parts_ + 1 : 1;
        afterPart_ = true;
        afterDot_ = false;
        if (parts_ > kMaxPlanNesting) Refuse(start, TooDeep());
    }
    void Refuse(std::size_t offset, const std::string &why) {
        if (!refusal_.empty()) return;
        const std::size_t column = offset >= lineStart_ ? offset - lineStart_ + 1 : 1;
        refusal_ = std::to_string(line_) + ":" + std::to_string(column) + ": " + why;
    }

    // The UTF-8 sequence at at_, stepped over; false (refused) when it is none.
    bool CodePoint(uint32_t &value) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text_[at_ + i]); };
        const unsigned char lead = byte(0);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        bool ok = length != 0 && lead < 0xF5 && at_ + length <= text_.size();
        value = ok ? lead & (0x7F >> length) : 0;
        for (std::size_t i = 1; ok && i < length; ++i) {
            ok = (byte(i) & 0xC0) == 0x80;
            value = (value << 6) | (byte(i) & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && value >= kSmallest[length] && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
        if (!ok) {
            Refuse(at_, "not UTF-8 text");
            return false;
        }
        at_ += length;
        return true;
    }

    void Comment() {
        while (at_ < text_.size() && text_[at_] != '\n' && refusal_.empty()) {
            uint32_t value = 0;
            if (!IsNonAscii(text_[at_])) Copy();
            else if (CodePoint(value)) out_ += '?';
        }
    }

    // A basic or literal string, on one line or on several ("""...""", '''...''').
    void String(char quote) {
        const bool basic = quote == '"';
        const std::string_view triple = basic ? std::string_view("\"\"\"") : std::string_view("'''");
        const bool multiLine = text_.substr(at_, 3) == triple;
        if (!basic && LiteralHoldsNonAscii(multiLine)) return LiteralAsBasic(multiLine);
        for (int i = multiLine ? 3 : 1; i > 0; --i) Copy();
        while (at_ < text_.size() && refusal_.empty()) {
            const char c = text_[at_];
            uint32_t value = 0;
            if (multiLine && text_.substr(at_, 3) == triple) {
                for (int i = 0; i < 3; ++i) Copy();
                while (at_ < text_.size() && text_[at_] == quote) Copy();  // quotes just before the end
                return;
            }
            if (!multiLine && (c == quote || c == '\n')) {
                if (c == quote) Copy();
                return;  // (a line end: unterminated, which the reader reports)
            }
            if (c == '\n') {
                NewLine();
                Copy();
            } else if (IsNonAscii(c)) {
                if (CodePoint(value)) out_ += Escape(value);
            } else if (c == '\\' && basic) {
                Copy();
                if (at_ < text_.size() && IsNonAscii(text_[at_])) {
                    if (CodePoint(value)) out_ += '?';
                } else if (at_ < text_.size() && text_[at_] != '\n') {
                    Copy();  // the escaped character (a line end is the loop's)
                }
            } else {
                Copy();
            }
        }
    }

    // Whether the literal string starting at at_ holds a non-ASCII byte before its end.
    bool LiteralHoldsNonAscii(bool multiLine) const {
        for (std::size_t i = at_ + (multiLine ? 3 : 1); i < text_.size(); ++i) {
            const bool end = multiLine ? text_.substr(i, 3) == "'''" : (text_[i] == '\'' || text_[i] == '\n');
            if (end) return false;
            if (IsNonAscii(text_[i])) return true;
        }
        return false;
    }

    // The literal string at at_ as the basic string of the same text: backslashes and double quotes
    // escaped, non-ASCII characters as their \u escapes. Line ends stay, and so does whatever the
    // reader refuses in both kinds (control characters, an unterminated string, stray quotes).
    void LiteralAsBasic(bool multiLine) {
        const std::string_view delimiter = multiLine ? "\"\"\"" : "\"";
        out_ += delimiter;
        at_ += delimiter.size();
        while (at_ < text_.size() && refusal_.empty()) {
            const char c = text_[at_];
            uint32_t value = 0;
            if (multiLine && text_.substr(at_, 3) == "'''") {
                std::size_t quotes = 3;
                while (at_ + quotes < text_.size() && text_[at_ + quotes] == '\'') ++quotes;
                // One or two quotes just before the closing three belong to the text.
                const std::size_t inText = std::min<std::size_t>(quotes - 3, 2);
                out_.append(inText, '\'').append(delimiter).append(quotes - 3 - inText, '\'');
                at_ += quotes;
                return;
            }
            if (!multiLine && (c == '\'' || c == '\n')) {
                if (c == '\'') {
                    out_ += '"';
                    ++at_;
                }
                return;  // (a line end: unterminated, which the reader reports)
            }
            if (c == '\n') {
                NewLine();
                Copy();
            } else if (c == '\\' || c == '"') {
                out_ += '\\';
                Copy();
            } else if (IsNonAscii(c)) {
                if (CodePoint(value)) out_ += Escape(value);
            } else {
                Copy();
            }
        }
    }

    static std::string Escape(uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, value <= 0xFFFF ? "\\u%04X" : "\\U%08X", static_cast<unsigned>(value));
        return text;
    }

    std::string_view text_;
    std::string out_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::size_t lineStart_ = 0;
    int open_ = 0;
    int parts_ = 0;
    bool afterPart_ = false;
    bool afterDot_ = false;
    std::string refusal_;
};

}  // namespace

PlanReading ParsePlan(std::string_view text) {
    PlanReading reading;
    if (text.size() > kMaxPlanSize) {
        reading.error = "1:1: the plan is larger than " + std::to_string(kMaxPlanSize / 1024) +
                        " KiB, far more than a site's plan needs (at most 256 units can hold)";
        return reading;
    }
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    TomlInput input(text);
    if (!input.Make()) {
        reading.error = input.Refusal();
        return reading;
    }
    toml::table root;
    try {
        root = toml::parse(input.Ascii());
    } catch (const toml::parse_error &e) {
        std::ostringstream where;
        where << e.source().begin.line << ':' << e.source().begin.column << ": "
              << e.description();
        reading.error = where.str();
        return reading;
    }
    reading.isToml = true;
    SitePlan &plan = reading.plan;
    std::vector<PlanProblem> &problems = reading.problems;
    CheckKeys(root, {"site", "base", "repeater"}, "the plan", problems);

    if (const toml::node *site = root.get("site")) {
        if (const toml::table *table = site->as_table()) {
            CheckKeys(*table, {"name"}, "[site]", problems);
            int line = 1;
            ReadString(*table, "name", "[site]", false, LineOf(*site), plan.siteName, line,
                       problems);
        } else {
            problems.push_back({LineOf(*site), "site must be a [site] table"});
        }
    }

    if (const toml::node *base = root.get("base")) {
        if (const toml::table *table = base->as_table()) {
            plan.hasBase = true;
            plan.baseLine = LineOf(*base);
            CheckKeys(*table, {"name", "rfpi"}, "[base]", problems);
            ReadString(*table, "name", "[base]", true, plan.baseLine, plan.baseName,
                       plan.baseNameLine, problems);
            ReadString(*table, "rfpi", "[base]", true, plan.baseLine, plan.baseRfpi,
                       plan.baseRfpiLine, problems);
        } else {
            problems.push_back({LineOf(*base), "base must be a [base] table"});
        }
    } else {
        problems.push_back({1, "the plan has no [base] table"});
    }

    if (const toml::node *repeaters = root.get("repeater")) {
        const toml::array *array = repeaters->as_array();
        if (array == nullptr || !array->is_array_of_tables()) {
            problems.push_back({LineOf(*repeaters), "repeaters must be [[repeater]] tables"});
        } else {
            for (std::size_t i = 0; i < array->size(); ++i)
                plan.repeaters.push_back(ReadRepeater(*array->get(i)->as_table(), i, problems));
        }
    }
    return reading;
}

std::string TomlString(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}
