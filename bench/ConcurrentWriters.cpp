// Ten programs change one table file at once, each its own record, one change every 100 ms, and
// the changes refused are counted by their error: a change that waits its turn for the file is
// stored; one told "locked" at once is a false error for the user.
//
//   wikabay-writers-bench [WRITERS] [POSTS_EACH] [INTERVAL_MS]
//
// Prints one line: writers=<n> posts=<total> stored=<n> refused=<n> locked=<n> other=<n> ms=<wall>

#include "engine/base/EngineError.h"
#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/config/ConfigTree.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace wk::engine;

struct Counts {
    int stored = 0;
    int locked = 0;
    int other = 0;
};

// One writer: its own session and table, on record `record`, `posts` changes `interval` apart.
Counts write(int record, int posts, std::chrono::milliseconds interval) {
    Counts c;
    Session session("Writer");
    Table t;
    t.setSessionName("Writer");
    t.setDatabaseName("Bench");
    t.setTableName("Sites");
    t.open();
    t.moveTo(record);
    for (int n = 0; n < posts; ++n) {
        try {
            t.setFieldText("Description",
                           "writer " + std::to_string(record) + " change " + std::to_string(n));
            t.post();
            ++c.stored;
        } catch (const EngineError& e) {
            (e.code() == ErrorCode::Locked ? c.locked : c.other)++;
            if (c.locked + c.other == 1)
                std::fprintf(stderr, "writer %d, change %d: %s\n", record, n, e.what());
            t.cancel();
        }
        std::this_thread::sleep_for(interval);
    }
    return c;
}

} // namespace

int main(int argc, char** argv) {
    const int writers = argc > 1 ? std::atoi(argv[1]) : 10;
    const int posts = argc > 2 ? std::atoi(argv[2]) : 50;
    const std::chrono::milliseconds interval(argc > 3 ? std::atoi(argv[3]) : 100);
    char pattern[] = "/tmp/wikabay-writers-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::filesystem::path home(pattern);
    std::filesystem::create_directories(home / "tables");
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    ConfigStore().update(
        [&](ConfigTree& tree) { aliases::set(tree, "Bench", (home / "tables").string()); });
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < writers; ++i)
        rows.push_back(
            {"Site " + std::to_string(i), "", "https://example.org/" + std::to_string(i)});
    size_t next = 0;
    tablefile::replace(
        home / "tables", "Sites", {"Name", "Description", "URL"},
        [&](std::vector<std::string>& row) {
            if (next == rows.size())
                return false;
            row = rows[next++];
            return true;
        },
        std::nullopt);

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<pid_t, int>> children; // pid, the pipe's reading end
    for (int i = 0; i < writers; ++i) {
        int fds[2];
        if (::pipe(fds) != 0)
            return 1;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            Counts c;
            try {
                c = write(i, posts, interval);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "writer %d: %s\n", i, e.what());
                c.other = posts;
            }
            [[maybe_unused]] auto n = ::write(fds[1], &c, sizeof c);
            ::_exit(0);
        }
        ::close(fds[1]);
        children.emplace_back(pid, fds[0]);
    }
    Counts total;
    for (const auto& [pid, fd] : children) {
        Counts c;
        if (::read(fd, &c, sizeof c) == static_cast<ssize_t>(sizeof c)) {
            total.stored += c.stored;
            total.locked += c.locked;
            total.other += c.other;
        }
        ::close(fd);
        ::waitpid(pid, nullptr, 0);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("writers=%d posts=%d stored=%d refused=%d locked=%d other=%d ms=%lld\n", writers,
                writers * posts, total.stored, total.locked + total.other, total.locked,
                total.other, static_cast<long long>(ms));
    std::filesystem::remove_all(home);
    return 0;
}
