#pragma once

// Reading and writing a whole file as bytes, for tests that compare files before and after.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace wk::testing {

/// The file's bytes; empty when it cannot be read.
inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/// Replaces the file with `bytes`, creating its folder when needed.
inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace wk::testing
