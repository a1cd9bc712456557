#pragma once

// Taking the identity of an ordinary user for a while, for tests of what permissions forbid.

#include "common/ConfigurationOwner.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace wk::testing {

/// While it lives, a process running as root acts as an ordinary user (root may write any file,
/// so read-only files and folders count only for another identity); the folders from `folder` up
/// to `top` are opened for reading and searching first, so that the user reaches what is below
/// them. Elsewhere it changes nothing.
class OrdinaryUser {
public:
    OrdinaryUser(const std::filesystem::path& folder, const std::filesystem::path& top) {
        if (::geteuid() != 0)
            return;
        for (std::filesystem::path p = folder;; p = p.parent_path()) {
            ::chmod(p.c_str(), 0755);
            if (p == top || p == p.parent_path())
                break;
        }
        // The engine's configuration is its owner's alone: the user takes it over, as whoever
        // runs the program owns theirs.
        giveConfigurationTo(65534);
        switched_ = ::seteuid(65534) == 0;
        unavailable_ = !switched_;
    }
    ~OrdinaryUser() { end(); }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

    /// Takes back the identity the process had.
    void end() {
        if (switched_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
        switched_ = false;
    }
    /// Running as root without the right to take another identity: the test cannot be made.
    bool unavailable() const { return unavailable_; }

private:
    bool switched_ = false;
    bool unavailable_ = false;
};

} // namespace wk::testing
