#pragma once

// A throw-away PostgreSQL cluster for the server tests: its own data folder, a server that
// listens only on a Unix socket inside that folder, and one database.

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace wk::engine::test {

/// Makes a temporary folder, runs initdb there, starts the server and creates the database
/// kDatabase; the destructor stops the server and removes the folder.
///
/// The PostgreSQL programs come from the newest /usr/lib/postgresql/<version>/bin. initdb and the
/// server refuse to run as root, so a test run as root runs them as the system user `postgres`
/// (Debian's postgresql package makes it), which then owns the folder; otherwise they run as the
/// current user. Either way the cluster's superuser is the role kRole, which may connect through
/// the socket without a password; every other role must give its password (scram-sha-256).
///
/// A watchdog process stops the server and removes the folder when this process ends without
/// the destructor (a crash, an abort by a sanitizer, a kill).
///
/// Every failure raises std::runtime_error naming the program that failed with its output.
class PgCluster {
public:
    static constexpr const char* kRole = "wikabay";
    static constexpr const char* kDatabase = "wikabay_test";

    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    /// libpq URI of kDatabase as kRole.
    std::string uri() const { return uriFor(kRole, "", kDatabase); }
    /// libpq URI of `database` as `role`, with `password` unless that is empty.
    std::string uriFor(const std::string& role, const std::string& password,
                       const std::string& database) const;

    /// Stops the server (fast shutdown: its connections are ended) and waits until it is down.
    void stop();
    /// Starts the server again on the same data and waits until it accepts connections.
    void start();

    /// Whether the server was started last rather than stopped.
    bool running() const { return running_; }
    const std::filesystem::path& folder() const { return folder_; }
    int port() const { return port_; }

private:
    struct Output {
        int status;
        std::string text;
    };
    /// Runs `program` (a file of the PostgreSQL bin folder) with `args` as the server's user;
    /// raises unless it exits with 0.
    std::string run(const std::string& program, const std::vector<std::string>& args) const;
    Output runStatus(const std::string& program, const std::vector<std::string>& args) const;
    void startWatchdog();
    void cleanUp() noexcept;
    std::string logTail() const;

    std::filesystem::path bin_;
    std::filesystem::path folder_;
    std::filesystem::path data_;
    int port_ = 0;
    bool asRoot_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    pid_t watchdog_ = -1;
    int watchdogPipe_ = -1;
    bool running_ = false;
};

/// The cluster of this test program, started once before its first test by a GoogleTest global
/// environment (server/PgCluster.cpp) and stopped after its last. A cluster that did not start
/// fails the program with the reason before any test runs.
PgCluster& sharedCluster();

} // namespace wk::engine::test
