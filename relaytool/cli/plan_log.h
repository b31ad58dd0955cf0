// The record `plan apply` keeps: one CSV line per unit (RFC 4180 quoting), appended to a file
// that starts with a header line. The log is opened before the first unit, so that no unit is
// programmed without its record.
#pragma once

#include <string>

#include "text_files.h"

struct PlanLogEntry {
    std::string time;      // ISO 8601, local time with its offset
    std::string repeater;  // the unit's name in the plan
    std::string port;
    std::string result;    // "written", "skipped" or "failed: <text>"
    std::string backup;    // the automatic backup taken before the write, if any
    std::string rfpi;      // the RFPI the unit transmits, as read back after the write
    unsigned retries = 0;  // mails sent a second time after a damaged byte
};

inline constexpr const char *kPlanLogHeader = "time,repeater,port,result,backup,rfpi,retries";

// The line without its line end; PlanLogLineStart is the same up to the retry count, which the
// line ends with.
std::string PlanLogLine(const PlanLogEntry &entry);
std::string PlanLogLineStart(const PlanLogEntry &entry);

class PlanLog {
public:
    // Opens the file for appending and writes the header when the file is new or empty;
    // existing lines are never rewritten. false with the reason.
    bool Open(const std::string &path, std::string &error);
    bool Append(const PlanLogEntry &entry, std::string &error);
    AppendFile &File() { return file_; }

private:
    AppendFile file_;
};

// The log beside the plan: "site.toml" gives "site.log.csv".
std::string DefaultPlanLogPath(const std::string &planPath);
