// What this process holds: open file descriptors and resident memory, read from /proc.
#pragma once

#include <dirent.h>

#include <fstream>
#include <string>

// Open descriptors, the one used for counting not included; -1 when /proc is not there.
inline long OpenDescriptorCount() {
    DIR *dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    long count = 0;
    while (const dirent *entry = ::readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count - 1;
}

// Resident set size in KiB (VmRSS); -1 when unknown.
inline long ResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}
