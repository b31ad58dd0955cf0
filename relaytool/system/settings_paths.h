// Where the settings file lives: pure rules over paths, shared by every platform's services.
#pragma once

#include <string>

// The settings file of an executable: its path with the extension (from the last "." after the
// last "\", "/" or ":") replaced by ".ini", or ".ini" appended when the name has none.
std::string SettingsPathFor(const std::string &executablePath);

// What a platform knows about the places where the settings file may lie.
struct SettingsPlaceFacts {
    std::string besidePath;     // SettingsPathFor(executable)
    bool besideExists = false;  // a file lies there
    bool besideWritable = false;  // that file can be written (or, when missing, created there)
    bool folderWritable = false;  // the executable's folder takes new files
    std::string userPath;       // the per-user file, "" when there is no per-user folder
    bool userExists = false;
};

struct SettingsPlaces {
    std::string readPath;
    std::string writePath;
};

// The choice on systems where programs may be installed into folders the user cannot write
// (POSIX): a file beside the executable is used whenever it can be written; one that is
// read-only in a writable folder is still the write target (and the write fails rather than
// replacing it). The per-user file serves when there is none beside the executable and the
// folder refuses new files, or when the one there is read-only in such a folder; it is then
// read when it exists, the one beside the executable otherwise.
SettingsPlaces ChooseSettingsPlaces(const SettingsPlaceFacts &facts);
