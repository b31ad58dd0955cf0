#include "plan_log.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

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

std::string PlanLogLine(const PlanLogEntry &e) {
    return CsvField(e.time) + "," + CsvField(e.repeater) + "," + CsvField(e.port) + "," +
           CsvField(e.result) + "," + CsvField(e.backup) + "," + CsvField(e.rfpi);
}

bool AppendPlanLog(const std::string &path, const PlanLogEntry &entry, std::string &error) {
    std::error_code ec;
    const bool fresh = !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0;
    // Binary: the same bytes (LF line ends) on every platform.
    std::ofstream log(path, std::ios::app | std::ios::binary);
    if (!log) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (fresh) log << kPlanLogHeader << '\n';
    log << PlanLogLine(entry) << '\n';
    log.flush();
    if (!log) {
        error = path + ": the line could not be written";
        return false;
    }
    return true;
}

std::string DefaultPlanLogPath(const std::string &planPath) {
    std::filesystem::path path(planPath);
    path.replace_extension(".log.csv");
    return path.string();
}
