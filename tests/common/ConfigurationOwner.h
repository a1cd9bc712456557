#pragma once

// For tests that run as root and take an ordinary user's identity to see the permissions of
// table files count: the engine's configuration is readable by its owner alone, so that user must
// own it, as whoever runs the program owns theirs.

#include "engine/config/EnginePaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace wk::testing {

/// Hands the engine's configuration folder of this process (see paths::configDir) and every file
/// in it to user `uid`. Call it as root, before taking that user's identity.
inline void giveConfigurationTo(uid_t uid) {
    const std::filesystem::path folder = wk::engine::paths::configDir();
    std::error_code ec;
    EXPECT_EQ(::chown(folder.c_str(), uid, static_cast<gid_t>(-1)), 0) << folder;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        EXPECT_EQ(::lchown(it->path().c_str(), uid, static_cast<gid_t>(-1)), 0) << it->path();
}

} // namespace wk::testing
