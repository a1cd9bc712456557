#pragma once

// Runs the real wikabay-admin (or another of the program's tools) as a child process, for the
// suites that test the tools, the bundled data and the tools on a server. Every test gets a fresh
// EngineHome; the child runs inside it, with the engine's configuration and data there, so that
// nothing touches the real configuration or data of whoever runs the tests.

#include "common/Contains.h"
#include "common/EngineHome.h"
#include "common/FileBytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace wk::tools::test {

namespace fs = std::filesystem;

using wk::testing::contains;
using wk::testing::readBytes;
using wk::testing::writeBytes;

/// What one run of the tool gave. `code` is the exit status, or minus the signal that ended it.
struct RunResult {
    std::string out;
    std::string err;
    int code = -1000;

    /// An error exit (not a success, and not a crash).
    bool failed() const { return code > 0; }
};

inline std::ostream& operator<<(std::ostream& os, const RunResult& r) {
    return os << "exit " << r.code << "\n--- stdout:\n" << r.out << "--- stderr:\n" << r.err;
}

class AdminToolTest : public ::testing::Test {
protected:
    /// The test's folder, where the tools run: config/, data/ and tables/ are in it.
    const fs::path& dir() const { return home_.root(); }

    /// Makes the alias `alias` over the folder tables/ of the test's folder.
    void aliasOverTables(const std::string& alias) const { ok({"alias", "set", alias, "tables"}); }

    /// Runs wikabay-admin with `args` in the test's folder; stdin is empty.
    RunResult run(const std::vector<std::string>& args) const {
        return runProgram(WIKABAY_ADMIN, args);
    }

    /// Runs `program` with `args` in the test's folder, with the test's configuration and data
    /// folders; stdin is empty.
    RunResult runProgram(const std::string& program, const std::vector<std::string>& args) const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string_view v(*e);
            if (!v.starts_with("XDG_CONFIG_HOME=") && !v.starts_with("XDG_DATA_HOME="))
                env.emplace_back(v);
        }
        for (const std::string& e : home_.environment())
            env.push_back(e);
        std::vector<std::string> argStrings{program};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv, envp;
        for (std::string& a : argStrings)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string outFile = (dir() / ".stdout").string();
        const std::string errFile = (dir() / ".stderr").string();
        const std::string folder = dir().string();

        RunResult r;
        const pid_t pid = ::fork();
        if (pid < 0) {
            ADD_FAILURE() << "fork failed";
            return r;
        }
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
                ::dup2(err, 2) < 0 || ::chdir(folder.c_str()) != 0)
                ::_exit(127);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) {
                ADD_FAILURE() << "waitpid failed";
                return r;
            }
        }
        r.out = readBytes(outFile);
        r.err = readBytes(errFile);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return r;
    }

    /// Runs the tool and fails the test unless it succeeds.
    RunResult ok(const std::vector<std::string>& args) const {
        RunResult r = run(args);
        EXPECT_EQ(r.code, 0) << r;
        return r;
    }

private:
    wk::testing::EngineHome home_{"wikabay-admin-test"};
};

} // namespace wk::tools::test
