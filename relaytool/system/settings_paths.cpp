#include "settings_paths.h"

std::string SettingsPathFor(const std::string &executablePath) {
    const std::size_t separator = executablePath.find_last_of("\\/:");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = executablePath.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return executablePath + ".ini";
    return executablePath.substr(0, dot) + ".ini";
}

SettingsPlaces ChooseSettingsPlaces(const SettingsPlaceFacts &facts) {
    const bool noUserFile = facts.userPath.empty();
    std::string writePath;
    if (facts.besideExists)
        writePath = facts.besideWritable || facts.folderWritable || noUserFile ? facts.besidePath : facts.userPath;
    else
        writePath = facts.folderWritable || noUserFile ? facts.besidePath : facts.userPath;
    const bool readUser = writePath == facts.userPath && !noUserFile && facts.userExists;
    return {readUser ? facts.userPath : facts.besidePath, writePath};
}
