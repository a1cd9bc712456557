#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wk::engine {

class Database;

/// A database session: the passwords of protected tables, the network control directory, and the
/// connections to aliases that its datasets have opened.
///
/// Sessions register themselves by name; datasets find theirs with `find`. The default session
/// always exists. Setting the network directory on an inactive session only records it; the
/// session applies it when it starts. A session starts on `open`, on the first `addPassword`, or
/// when a dataset first uses it; a named session starts the default session first. A connection,
/// once made, stays until the session is destroyed.
class Session {
public:
    explicit Session(std::string name);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    /// The session every program has, named "Default".
    static Session& defaultSession();
    /// The session of that name (letter case ignored), or nullptr.
    static Session* find(const std::string& name);

    const std::string& name() const { return name_; }

    /// The network control directory, as configured (for example `C:\BdeNetDir`). On an active
    /// session the new directory is applied at once.
    void setNetFileDir(const std::string& dir);
    const std::string& netFileDir() const { return netFileDir_; }

    /// Adds a password for protected tables, starting the session first if it is inactive.
    void addPassword(const std::string& password);
    const std::vector<std::string>& passwords() const { return passwords_; }

    bool active() const { return active_; }

    /// Starts the session: the default session first, then this one, then the network directory
    /// is applied (created when missing). On failure raises EngineError naming the directory and
    /// the session stays inactive.
    void open();

    /// The connection to `alias`, made on first use. Raises EngineError when the alias does not
    /// exist or its folder cannot be used.
    Database& database(const std::string& alias);

private:
    void applyNetDir(const std::string& dir) const;

    std::string name_;
    std::string netFileDir_;
    std::vector<std::string> passwords_;
    bool active_ = false;
    std::map<std::string, std::unique_ptr<Database>> databases_; // keyed by upper-case alias
};

} // namespace wk::engine
