// Reading and writing the small text files of relaycfg and the automatic backups, never leaving a
// half-written file, and the log that plan apply appends to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The whole regular file (at most 1 MiB: a backup is a few kilobytes, anything larger is not
// one). Anything else (a folder, a device such as /dev/tty, COM2 or CON, a pipe) is refused
// without being read. false with a readable reason on failure.
bool ReadTextFile(const std::string &path, std::string &text, std::string &error);

// replace true: writes text to a temporary file beside path, flushes it to the disk, then puts
// it in place over any existing file. replace false: only when path does not exist yet, by an
// exclusive create of path itself (no hard link, no rename: it works on FAT, exFAT and network
// folders alike); a file that exists is left untouched (false with errorIsExists set), and a
// write that fails half-way removes what it made. false with a readable reason on failure.
bool WriteTextFile(const std::string &path, const std::string &text, bool replace,
                   std::string &error, bool *errorIsExists = nullptr);

// A file opened once for appending (created when missing) and written line by line; every
// Append goes straight to the system, so that nothing waits in a buffer when relaycfg stops.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    bool Open(const std::string &path, std::string &error);
    bool IsOpen() const { return handle_ != kClosed; }
    // Whether the file held nothing when it was opened.
    bool WasEmpty() const { return wasEmpty_; }
    bool Append(const std::string &text, std::string &error);
    // The same without allocation or locks, for a signal handler; false when it failed.
    bool AppendRaw(const char *text, std::size_t size);

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;  // a descriptor (POSIX) or a HANDLE (Windows)
    bool wasEmpty_ = false;
    std::string path_;
};
