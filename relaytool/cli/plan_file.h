// A site plan: the base station and the repeaters that relay it or each other, as written in its
// TOML file. Reading keeps the line of every value so that each broken rule can name its line.
//
//   [site]
//   name = "Warehouse 3"            # optional
//   [base]
//   name = "Base"
//   rfpi = "02 5A 3C 81 43"
//   [[repeater]]
//   name = "Hall A"
//   parent = "Base"                 # the base or another repeater, by name
//   rpn = 5
//   monitor_beep = true             # optional
//   ignore_hop_control = false      # optional
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One broken rule: the line it is about (1-based) and what is wrong.
struct PlanProblem {
    int line = 1;
    std::string text;
};

struct PlanRepeater {
    int line = 1;  // its [[repeater]] header
    std::string name;
    int nameLine = 1;
    std::string parent;
    int parentLine = 1;
    std::optional<int64_t> rpn;
    int rpnLine = 1;
    std::optional<bool> monitorBeep;
    std::optional<bool> ignoreHop;
};

struct SitePlan {
    std::string siteName;
    bool hasBase = false;
    int baseLine = 1;
    std::string baseName;
    int baseNameLine = 1;
    std::string baseRfpi;  // as written
    int baseRfpiLine = 1;
    std::vector<PlanRepeater> repeaters;  // in file order
};

struct PlanReading {
    bool isToml = false;  // false: not TOML at all; `error` says where ("LINE:COLUMN: text")
    std::string error;
    SitePlan plan;
    std::vector<PlanProblem> problems;  // unknown keys, missing keys, values of the wrong type
};

// A plan larger than this is refused unread: a plan that holds has at most 256 units (the RPNs
// of the base and the repeaters differ, and an RPN is one byte), and 64 KiB gives each of them
// more than 250 bytes.
inline constexpr std::size_t kMaxPlanSize = 64 * 1024;
// Dotted keys and table headers of more parts, and arrays or inline tables nested deeper, are
// refused before the TOML reader sees them (a plan needs two levels; thousands would exhaust the
// reader's stack).
inline constexpr int kMaxPlanNesting = 8;

// Reads the plan's TOML (a leading UTF-8 byte order mark is skipped). Too large, too deeply
// nested, not UTF-8, with a non-ASCII character outside quotes, or no TOML at all: isToml false.
PlanReading ParsePlan(std::string_view text);

// A TOML basic string ("Hall \"A\"") for a text, for plans that relaycfg writes.
std::string TomlString(std::string_view text);
