// Whole-file reads and atomic whole-file writes for the program's small files (the settings
// file, relaycfg's backups). A write never leaves a half-written file: the text goes to a
// temporary file beside the target, is flushed to the disk and then renamed into place. The
// target keeps its permissions, a symbolic link stays a link (the file it points to is
// written), and a file that is itself read-only is never replaced. The one exception: a writable
// file in a folder that takes no new files is rewritten in place.
#pragma once

#include <cstddef>
#include <string>

enum class FileRead {
    Read,     // content holds the whole file
    Missing,  // no file of that name
    Failed,   // error holds the reason: unreadable, no regular file, or larger than the limit
};

// Reads the whole regular file at path, at most maxSize bytes. Never blocks on a pipe.
FileRead ReadWholeFile(const std::string &path, std::string &content, std::string &error,
                       std::size_t maxSize = static_cast<std::size_t>(-1));

struct AtomicWrite {
    unsigned newMode = 0666;  // permissions of a new file (before the umask)
};

struct WriteResult {
    bool ok = false;
    std::string error;  // "<path>: <reason>" when not ok
};

// Writes content to path as a whole (see above).
WriteResult WriteFileAtomically(const std::string &path, const std::string &content, AtomicWrite how = {});
