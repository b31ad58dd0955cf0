// The profile functions on Windows: the system's own.
#include "profile_file.h"

#include <windows.h>

std::string ReadProfileString(const char *path, const char *section, const char *key) {
    char buffer[2048] = {};
    GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path);
    return buffer;
}

bool WriteProfileString(const char *path, const char *section, const char *key, const char *value) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}
