// wikabay-bench: times the dictionary window's search through the engine, interleaved with a plain
// text search (ripgrep) over the same entries, and prints one line per text.
//
//   wikabay-bench --alias NAME --password P --tsv SEARCHED.tsv --n N [--rounds R] [--plain]
//                 [--no-rg] [--lookup WORD,WORD...] TEXT...
//
// For each text: `search N=<n> text=<t> hits=<count> ms=<median> rg_ms=<median> ratio=<ms/rg_ms>`,
// where ms runs the window's search statement and holds the record count and the first 20
// records, and rg_ms is `rg -c -i -F TEXT SEARCHED.tsv`. Then `open-all N=<n> ms=<median>` for the
// statement the window opens with, and `memory N=<n> peak_rss_mb=<peak resident size>`. --plain
// switches the search index off, so that every statement runs as written; --no-rg leaves ripgrep
// out (rg_ms and ratio are then 0), for profiling the engine alone. --lookup times the learner's
// lookup (the first 10 entries, and the suggestions when there are none) of each word, as one
// open program does it: `lookup N=<n> word=<w> entries=<count> ms=<median> rg_ms=<median>
// ratio=<ms/rg_ms>`.

#include "engine/EngineError.h"
#include "engine/search/UnicodeText.h"
#include "engine/sql/Query.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/tagalog/Lookup.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace wk::engine;
using Clock = std::chrono::steady_clock;

constexpr int kShownRecords = 20;

struct Options {
    std::string alias;
    std::string password;
    std::string tsv;
    std::string n;
    int rounds = 7;
    bool plain = false;
    bool ripgrep = true;
    std::vector<std::string> texts;
    std::vector<std::string> lookups;
};

// The statement the dictionary window builds for a search text (TFormMain::searchStatement): the
// text as its edit gives it, in capitals, with a double quote doubled.
std::string searchStatement(const std::string& text) {
    std::string quoted;
    for (char c : toUpperUtf8(text))
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    const std::string pattern = "\"%" + quoted + "%\"";
    std::string line = "SELECT * FROM Tagalog WHERE Upper(Tagalo) like " + pattern;
    for (const char* field : {"English", "ActiveVerb", "PassiveVerb", "L2Definition", "Examples"})
        line += std::string(" OR Upper(") + field + ") like " + pattern;
    return line;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Opens the query on `lines` as the window does and holds the count and the first records.
long long openAndShow(Query& query, const std::vector<std::string>& lines, size_t& bytesSeen) {
    query.clearSql();
    for (const std::string& line : lines)
        query.addSql(line);
    query.open();
    const long long count = query.recordCount();
    const int fields = static_cast<int>(query.fieldNames().size());
    for (long long r = 0; r < std::min<long long>(count, kShownRecords); ++r)
        for (int f = 0; f < fields; ++f)
            bytesSeen += query.valueAt(r, f).size();
    return count;
}

// Runs `rg -c -i -F -- TEXT FILE` and returns the time it took, in milliseconds.
double timeRipgrep(const std::string& text, const std::string& file) {
    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {"rg", "-c", "-i", "-F", "--", text, file};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "rg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("cannot run rg: " + std::string(std::strerror(rc)));
    }
    char buffer[256];
    while (read(out[0], buffer, sizeof buffer) > 0) {
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = msSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) // 1: no line matched
        throw std::runtime_error("rg failed on '" + text + "'");
    return ms;
}

double peakRssMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0; // kB
    return 0;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--alias")
            o.alias = value();
        else if (a == "--password")
            o.password = value();
        else if (a == "--tsv")
            o.tsv = value();
        else if (a == "--n")
            o.n = value();
        else if (a == "--rounds")
            o.rounds = std::max(1, std::stoi(value()));
        else if (a == "--plain")
            o.plain = true;
        else if (a == "--no-rg")
            o.ripgrep = false;
        else if (a == "--lookup")
            for (std::string words = value(); !words.empty();) {
                const size_t comma = words.find(',');
                o.lookups.push_back(words.substr(0, comma));
                words = comma == std::string::npos ? "" : words.substr(comma + 1);
            }
        else
            o.texts.push_back(a);
    }
    if (o.alias.empty() || o.tsv.empty() || o.n.empty())
        throw std::runtime_error("usage: wikabay-bench --alias NAME --password P --tsv FILE --n N "
                                 "[--rounds R] [--plain] [--no-rg] TEXT...");
    return o;
}

int run(const Options& o) {
    Session session("Bench");
    session.addPassword(o.password);
    session.database(o.alias).setSearchIndexEnabled(!o.plain);
    Query query;
    query.setName("Query1");
    query.setSessionName(session.name());
    query.setDatabaseName(o.alias);
    const std::vector<std::string> openAll = {"SELECT *", "FROM Tagalog"};
    size_t bytesSeen = 0;

    // One round first to attach the table and warm the caches, as a window that is already open.
    openAndShow(query, openAll, bytesSeen);
    for (const std::string& text : o.texts)
        openAndShow(query, {searchStatement(text)}, bytesSeen);

    std::vector<std::vector<double>> ms(o.texts.size()), rgMs(o.texts.size());
    std::vector<long long> hits(o.texts.size());
    std::vector<double> openMs;
    for (int round = 0; round < o.rounds; ++round) {
        for (size_t t = 0; t < o.texts.size(); ++t) {
            const std::string statement = searchStatement(o.texts[t]);
            auto start = Clock::now();
            hits[t] = openAndShow(query, {statement}, bytesSeen);
            ms[t].push_back(msSince(start));
            rgMs[t].push_back(o.ripgrep ? timeRipgrep(o.texts[t], o.tsv) : 0.0);
        }
        auto start = Clock::now();
        openAndShow(query, openAll, bytesSeen);
        openMs.push_back(msSince(start));
    }
    for (size_t t = 0; t < o.texts.size(); ++t) {
        const double m = median(ms[t]), r = median(rgMs[t]);
        std::printf("search N=%s text=%s hits=%lld ms=%.2f rg_ms=%.2f ratio=%.3f\n", o.n.c_str(),
                    o.texts[t].c_str(), hits[t], m, r, r > 0 ? m / r : 0.0);
    }
    std::printf("open-all N=%s ms=%.2f\n", o.n.c_str(), median(openMs));
    if (!o.lookups.empty()) {
        wk::engine::tagalog::Lookup lookup(session.database(o.alias));
        for (const std::string& word : o.lookups) {
            std::vector<double> lookupMs, lookupRgMs;
            size_t entries = 0;
            for (int round = 0; round < o.rounds; ++round) {
                const auto start = Clock::now();
                entries = lookup.find(word, 10).size();
                if (entries == 0)
                    lookup.suggest(word, 3);
                lookupMs.push_back(msSince(start));
                lookupRgMs.push_back(o.ripgrep ? timeRipgrep(word, o.tsv) : 0.0);
            }
            const double m = median(lookupMs), r = median(lookupRgMs);
            std::printf("lookup N=%s word=%s entries=%zu ms=%.2f rg_ms=%.2f ratio=%.3f\n",
                        o.n.c_str(), word.c_str(), entries, m, r, r > 0 ? m / r : 0.0);
        }
    }
    std::printf("memory N=%s peak_rss_mb=%.1f\n", o.n.c_str(), peakRssMb());
    std::fprintf(stderr, "wikabay-bench: %zu bytes of records shown\n", bytesSeen);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "wikabay-bench: " << e.what() << '\n';
        return 1;
    }
}
