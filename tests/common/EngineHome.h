#pragma once

// A temporary folder that holds everything the engine keeps: its configuration (config/), its
// data (data/) and the tests' table files (tables/), so that a test touches nothing of the real
// home of whoever runs it.

#include "common/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace wk::testing {

/// The folder and its three subfolders are made when constructed and removed when destroyed.
class EngineHome {
public:
    explicit EngineHome(const std::string& prefix) : folder_(prefix) {
        for (const auto& sub : {config(), data(), tables()})
            std::filesystem::create_directories(sub);
    }

    const std::filesystem::path& root() const { return folder_.path(); }
    std::filesystem::path config() const { return root() / "config"; }
    std::filesystem::path data() const { return root() / "data"; }
    std::filesystem::path tables() const { return root() / "tables"; }

    /// The environment entries that point the engine here, for a child process.
    std::vector<std::string> environment() const {
        return {"XDG_CONFIG_HOME=" + config().string(), "XDG_DATA_HOME=" + data().string()};
    }

    /// Points the engine of this process here, until another home is made current.
    void makeCurrent() const {
        ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        ::setenv("XDG_DATA_HOME", data().c_str(), 1);
    }

private:
    TempFolder folder_;
};

} // namespace wk::testing
