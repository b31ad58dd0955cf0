// The profile functions on POSIX systems: the file is read whole, changed in memory by
// ini_text.h and written back atomically (atomic_file.h), so a failed or interrupted write never
// leaves a half-written settings file.
#include "profile_file.h"

#include "atomic_file.h"
#include "ini_text.h"

std::string ReadProfileString(const char *path, const char *section, const char *key) {
    std::string content, error;
    if (ReadWholeFile(path, content, error) != FileRead::Read) return {};
    return ProfileValue(content, section, key).value_or(std::string());
}

bool WriteProfileString(const char *path, const char *section, const char *key, const char *value) {
    std::string content, error;
    // Never replace a file that could not be read whole.
    if (ReadWholeFile(path, content, error) == FileRead::Failed) return false;
    return WriteFileAtomically(path, WithProfileValue(content, section, key, value)).ok;
}
