// The platform's profile (INI) file functions: on Windows the system's own, elsewhere ours with
// the same behaviour (see ini_text.h). Each call opens the file, does its work and releases it.
#pragma once

#include <string>

// The value of key in section of the file at path; empty when the file, the section or the key
// is missing (as the profile reader gives the default "").
std::string ReadProfileString(const char *path, const char *section, const char *key);

// Sets key in section to value, creating the file, the section or the key when missing and
// keeping everything else. False when the file could not be written.
bool WriteProfileString(const char *path, const char *section, const char *key, const char *value);
