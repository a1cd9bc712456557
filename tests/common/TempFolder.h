#pragma once

// A fresh folder of one test's own under the system's temporary folder.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace wk::testing {

/// Makes "<temporary folder>/<prefix>-XXXXXX" when constructed (raising std::runtime_error when
/// it cannot) and removes it with everything in it when destroyed.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder " + pattern);
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace wk::testing
