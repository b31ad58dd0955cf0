#include "plan_file.h"

#include <toml++/toml.h>

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

// Finds where the text nests deeper than kMaxPlanNesting: a dotted name (a table header or a key;
// bare or quoted parts, blanks allowed around the dots) of more parts, or more arrays and inline
// tables open at once. Strings and comments are stepped over, so that nothing in them counts.
// A number or a time has at most two dotted parts. "LINE:COLUMN" of the place, or empty.
class NestingScan {
public:
    explicit NestingScan(std::string_view text) : text_(text) {}

    std::string TooDeepAt() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                NewLine();
                EndName();
            } else if (c == '#') {
                while (at_ < text_.size() && text_[at_] != '\n') ++at_;
                continue;
            } else if (c == '"' || c == '\'') {
                const std::size_t start = at_;
                SkipString(c);
                if (Part()) return Where(start);
                continue;
            } else if (c == '.') {
                if (afterPart_) {
                    afterPart_ = false;
                    afterDot_ = true;
                } else {
                    EndName();
                }
            } else if (IsBareKeyCharacter(c)) {
                const std::size_t start = at_;
                while (at_ < text_.size() && IsBareKeyCharacter(text_[at_])) ++at_;
                if (Part()) return Where(start);
                continue;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                EndName();
                if ((c == '[' || c == '{') && ++open_ > kMaxPlanNesting) return Where(at_);
                if ((c == ']' || c == '}') && open_ > 0) --open_;
            }
            ++at_;
        }
        return {};
    }

private:
    void NewLine() {
        ++line_;
        lineStart_ = at_ + 1;
    }
    void EndName() { afterPart_ = afterDot_ = false; }
    // One more part of a dotted name; true when that is one too many.
    bool Part() {
        parts_ = afterDot_ ? parts_ + 1 : 1;
        afterPart_ = true;
        afterDot_ = false;
        return parts_ > kMaxPlanNesting;
    }
    // Steps over a basic or literal string, on one line or on several ("""...""", '''...''').
    void SkipString(char quote) {
        const std::string_view triple = quote == '"' ? std::string_view("\"\"\"") : std::string_view("'''");
        const bool multiLine = text_.substr(at_, 3) == triple;
        at_ += multiLine ? 3 : 1;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (multiLine && text_.substr(at_, 3) == triple) {
                at_ += 3;
                while (at_ < text_.size() && text_[at_] == quote) ++at_;  // quotes just before the end
                return;
            }
            if (!multiLine && c == quote) {
                ++at_;
                return;
            }
            if (!multiLine && c == '\n') return;  // unterminated: the TOML reader says so
            if (c == '\n') NewLine();
            const bool escape = c == '\\' && quote == '"' && at_ + 1 < text_.size() && text_[at_ + 1] != '\n';
            at_ += escape ? 2 : 1;
        }
    }
    // The place of the offset, on the line being read.
    std::string Where(std::size_t offset) const {
        return std::to_string(line_) + ":" + std::to_string(offset >= lineStart_ ? offset - lineStart_ + 1 : 1);
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::size_t lineStart_ = 0;
    int open_ = 0;
    int parts_ = 0;
    bool afterPart_ = false;
    bool afterDot_ = false;
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
    if (const std::string where = NestingScan(text).TooDeepAt(); !where.empty()) {
        reading.error = where + ": keys or tables nested more than " + std::to_string(kMaxPlanNesting) +
                        " levels deep (a plan needs two)";
        return reading;
    }
    toml::table root;
    try {
        root = toml::parse(text);
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
