// Reading and writing the small text files of relaycfg, never leaving a half-written file.
#pragma once

#include <string>

// The whole file (at most 1 MiB: a backup is a few kilobytes, anything larger is not one).
// false with a readable reason on failure.
bool ReadTextFile(const std::string &path, std::string &text, std::string &error);

// Writes text to a temporary file beside path, flushes it to the disk, then puts it in place:
// over an existing file when replace is true, otherwise only when path does not exist yet
// (false with errorIsExists set then). false with a readable reason on failure; no temporary
// file is left behind.
bool WriteTextFile(const std::string &path, const std::string &text, bool replace,
                   std::string &error, bool *errorIsExists = nullptr);
