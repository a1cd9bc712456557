#include "server/PgCluster.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace wk::engine::test {

namespace fs = std::filesystem;

namespace {

// The bin folder of the newest PostgreSQL under /usr/lib/postgresql (Debian keeps one folder
// per major version there).
fs::path findBinFolder() {
    const fs::path root = "/usr/lib/postgresql";
    fs::path best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        const int version = std::atoi(name.c_str());
        if (version > bestVersion && fs::exists(entry.path() / "bin" / "initdb")) {
            bestVersion = version;
            best = entry.path() / "bin";
        }
    }
    if (best.empty())
        throw std::runtime_error("No PostgreSQL server in " + root.string() +
                                 "/<version>/bin (Debian: apt-get install postgresql)");
    return best;
}

std::string percentEncoded(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || std::strchr("-._~/", c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// A text for postgresql.conf: in single quotes, a quote doubled.
std::string confText(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

void appendTo(const fs::path& file, const std::string& text, bool replace = false) {
    std::ofstream out(file, replace ? std::ios::trunc : std::ios::app);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("Cannot write " + file.string());
}

std::unique_ptr<PgCluster> shared;

class ClusterEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        try {
            shared = std::make_unique<PgCluster>();
        } catch (const std::exception& e) {
            FAIL() << "The throw-away PostgreSQL cluster did not start: " << e.what();
        }
    }
    void TearDown() override { shared.reset(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

} // namespace

PgCluster& sharedCluster() {
    if (!shared)
        throw std::runtime_error("The throw-away PostgreSQL cluster is not running");
    return *shared;
}

PgCluster::PgCluster() {
    asRoot_ = ::geteuid() == 0;
    if (asRoot_) {
        const passwd* pw = ::getpwnam("postgres");
        if (!pw)
            throw std::runtime_error("Running as root, but there is no user 'postgres' to run "
                                     "the PostgreSQL server as");
        uid_ = pw->pw_uid;
        gid_ = pw->pw_gid;
    }
    bin_ = findBinFolder();
    std::string pattern = (fs::temp_directory_path() / "wikabay-pg-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("Cannot make a folder " + pattern + ": " + std::strerror(errno));
    folder_ = pattern;
    data_ = folder_ / "data";
    // Each cluster has its own socket folder, so no port can clash; one from the process id
    // keeps the numbers apart in logs and process lists as well.
    port_ = 20000 + static_cast<int>(::getpid() % 40000);
    try {
        if (asRoot_ && ::chown(folder_.c_str(), uid_, gid_) != 0)
            throw std::runtime_error("Cannot give " + folder_.string() +
                                     " to the user 'postgres': " + std::strerror(errno));
        startWatchdog();
        run("initdb", {"-D", data_.string(), "-U", kRole, "--auth=trust", "--locale=C.UTF-8",
                       "--encoding=UTF8", "--no-sync", "--no-instructions"});
        appendTo(data_ / "postgresql.conf",
                 "\n# Throw-away test cluster: a Unix socket only, no waiting for the disk.\n"
                 "listen_addresses = ''\n"
                 "unix_socket_directories = " +
                     confText(folder_.string()) + "\nport = " + std::to_string(port_) +
                     "\nfsync = off\nfull_page_writes = off\nshared_buffers = 16MB\n");
        appendTo(data_ / "pg_hba.conf",
                 std::string("local all ") + kRole + " trust\nlocal all all scram-sha-256\n", true);
        start();
        run("createdb",
            {"-h", folder_.string(), "-p", std::to_string(port_), "-U", kRole, kDatabase});
    } catch (...) {
        cleanUp();
        throw;
    }
}

PgCluster::~PgCluster() {
    cleanUp();
}

std::string PgCluster::uriFor(const std::string& role, const std::string& password,
                              const std::string& database) const {
    std::string uri = "postgresql:///" + percentEncoded(database) +
                      "?host=" + percentEncoded(folder_.string()) +
                      "&port=" + std::to_string(port_) + "&user=" + percentEncoded(role);
    if (!password.empty())
        uri += "&password=" + percentEncoded(password);
    return uri;
}

void PgCluster::stop() {
    run("pg_ctl", {"stop", "-D", data_.string(), "-m", "fast", "-w"});
    running_ = false;
}

void PgCluster::start() {
    const Output out = runStatus("pg_ctl", {"start", "-D", data_.string(), "-l",
                                            (folder_ / "server.log").string(), "-w", "-t", "60"});
    if (out.status != 0)
        throw std::runtime_error("pg_ctl start failed (exit status " + std::to_string(out.status) +
                                 "): " + out.text + "\nThe server's log ends:\n" + logTail());
    running_ = true;
}

std::string PgCluster::logTail() const {
    std::ifstream in(folder_ / "server.log");
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

std::string PgCluster::run(const std::string& program, const std::vector<std::string>& args) const {
    Output out = runStatus(program, args);
    if (out.status != 0)
        throw std::runtime_error(program + " failed (exit status " + std::to_string(out.status) +
                                 "): " + out.text);
    return out.text;
}

PgCluster::Output PgCluster::runStatus(const std::string& program,
                                       const std::vector<std::string>& args) const {
    // Everything the child needs is made before fork: between fork and exec it may only make
    // system calls.
    const std::string path = (bin_ / program).string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string cannotRun = "cannot run " + path + " as the server's user\n";

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {-1, std::string("cannot make a pipe: ") + std::strerror(errno)};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {-1, std::string("cannot fork: ") + std::strerror(errno)};
    }
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(fds[1], 1) < 0 ||
            ::dup2(fds[1], 2) < 0 || ::close_range(3, ~0U, 0) != 0 ||
            ::chdir(folder_.c_str()) != 0 ||
            (asRoot_ &&
             (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0))) {
            [[maybe_unused]] auto n = ::write(2, cannotRun.data(), cannotRun.size());
            ::_exit(126);
        }
        ::execv(path.c_str(), argv.data());
        [[maybe_unused]] auto n = ::write(2, cannotRun.data(), cannotRun.size());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), text};
}

void PgCluster::startWatchdog() {
    // A shell that waits for the end of this process (the end of the pipe) and then stops the
    // server and removes the folder. After the destructor has done that itself it finds nothing.
    const std::string script = "trap '' INT HUP; read -r _; "
                               "\"$1\" stop -D \"$2\" -m immediate -w >/dev/null 2>&1; "
                               "rm -rf -- \"$3\"";
    const std::string pgCtl = (bin_ / "pg_ctl").string();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("Cannot make a pipe: ") + std::strerror(errno));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::runtime_error(std::string("Cannot fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull < 0 || ::dup2(fds[0], 0) < 0 || ::dup2(devNull, 1) < 0 ||
            ::dup2(devNull, 2) < 0 || ::close_range(3, ~0U, 0) != 0 || ::setsid() < 0 ||
            ::chdir("/") != 0 ||
            (asRoot_ &&
             (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0)))
            ::_exit(126);
        ::execl("/bin/sh", "sh", "-c", script.c_str(), "wikabay-pg-watchdog", pgCtl.c_str(),
                data_.c_str(), folder_.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[0]);
    watchdog_ = pid;
    watchdogPipe_ = fds[1];
}

void PgCluster::cleanUp() noexcept {
    std::error_code ec;
    if (fs::exists(data_ / "postmaster.pid", ec))
        runStatus("pg_ctl", {"stop", "-D", data_.string(), "-m", "immediate", "-w"});
    fs::remove_all(folder_, ec);
    if (watchdogPipe_ >= 0)
        ::close(watchdogPipe_);
    if (watchdog_ > 0) {
        int status = 0;
        while (::waitpid(watchdog_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    watchdogPipe_ = -1;
    watchdog_ = -1;
}

} // namespace wk::engine::test
