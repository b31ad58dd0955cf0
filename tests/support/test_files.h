// Files for tests: whole-file reads and writes, and the private folder they go in
// (temp_folder.h).
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "temp_folder.h"

inline std::string ReadFileOrEmpty(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline bool FileExists(const std::string &path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}
