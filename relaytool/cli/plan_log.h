// The record `plan apply` keeps: one CSV line per unit (RFC 4180 quoting), appended to a file
// that starts with a header line.
#pragma once

#include <string>

struct PlanLogEntry {
    std::string time;      // ISO 8601, local time with its offset
    std::string repeater;  // the unit's name in the plan
    std::string port;
    std::string result;    // "written", "skipped" or "failed: <text>"
    std::string backup;    // the automatic backup taken before the write, if any
    std::string rfpi;      // the RFPI the unit transmits, as read back after the write
};

inline constexpr const char *kPlanLogHeader = "time,repeater,port,result,backup,rfpi";

std::string PlanLogLine(const PlanLogEntry &entry);

// Appends the line (and the header first when the file is new or empty); existing lines are
// never rewritten. false with the reason.
bool AppendPlanLog(const std::string &path, const PlanLogEntry &entry, std::string &error);

// The log beside the plan: "site.toml" gives "site.log.csv".
std::string DefaultPlanLogPath(const std::string &planPath);
