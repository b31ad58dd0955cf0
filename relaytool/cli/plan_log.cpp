#include "plan_log.h"

#include <filesystem>

namespace {

std::string CsvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string PlanLogLineStart(const PlanLogEntry &e) {
    return CsvField(e.time) + "," + CsvField(e.repeater) + "," + CsvField(e.port) + "," +
           CsvField(e.result) + "," + CsvField(e.backup) + "," + CsvField(e.rfpi) + ",";
}

std::string PlanLogLine(const PlanLogEntry &entry) {
    return PlanLogLineStart(entry) + std::to_string(entry.retries);
}

// LF line ends on every platform: the same bytes everywhere.
bool PlanLog::Open(const std::string &path, std::string &error) {
    if (!file_.Open(path, error)) return false;
    return !file_.WasEmpty() || file_.Append(std::string(kPlanLogHeader) + "\n", error);
}

bool PlanLog::Append(const PlanLogEntry &entry, std::string &error) {
    return file_.Append(PlanLogLine(entry) + "\n", error);
}

std::string DefaultPlanLogPath(const std::string &planPath) {
    std::filesystem::path path(planPath);
    path.replace_extension(".log.csv");
    return path.string();
}
