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

}  // namespace

PlanReading ParsePlan(std::string_view text) {
    PlanReading reading;
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
