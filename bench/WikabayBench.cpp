// wikabay-bench: times the dictionary window's search through the engine, interleaved with a plain
// text search (ripgrep) over the same entries, and prints one line per text and a summary.
//
//   wikabay-bench --alias NAME --password P --tsv SEARCHED.tsv --n N [--rounds R] [--plain]
//                 [--no-rg] [--lookup WORD,WORD...] [--class NAME] [--text TEXT] TEXT...
//
// The texts are the remaining arguments; `--text TEXT` takes the next argument as a text even
// when it begins with "-", and `--class NAME` names the class of the texts that follow it (the
// class is "given" until then). For each text:
//
//   search N=<n> text=<t> hits=<count> ms=<median> rg_ms=<median> ratio=<ms/rg_ms> class=<c>
//          rg_hits=<count>
//
// (one line), where ms runs the window's search statement and holds the record count and the
// first 20 records, and rg_ms runs ripgrep for the same text over SEARCHED.tsv (one entry per
// line, the searched fields tab-separated): `rg -c -i -F TEXT` for a text without wildcards, and
// for a text holding the statement's wildcards % (any run of characters) or _ (one character)
// `rg -c -i REGEX`, where % becomes [^\t]*, _ becomes [^\t] and every other character stands for
// itself. rg_hits is the number of lines ripgrep counted, which should be close to hits: the
// statement upper-cases with the simple mapping and ripgrep folds case its own way, and a line
// break inside a field is a space in the file. After the texts:
//
//   summary N=<n> texts=<k> p50_ms=<> p95_ms=<> slowest=<t> slowest_ms=<> slowest_ratio=<>
//           worst_ratio_text=<t> worst_ratio=<> path=<index|plain|server>
//
// (one line), the percentiles by nearest rank over the texts' medians; path is server for an alias
// on a PostgreSQL server, whose statements run there whatever --plain says. Then `open-all N=<n>
// ms=<median>` for the statement the window opens with, and `memory N=<n> peak_rss_mb=<peak
// resident size> peak_private_mb=<largest private resident size>` (the table files are read
// through a memory map, whose pages count as resident but stay the system's file cache). --plain
// switches the search index off, so that every statement runs as written;
// --no-rg leaves ripgrep out (rg_ms, ratio and rg_hits are then 0), for profiling the engine
// alone. --lookup times the learner's lookup (the first 10 entries, and the suggestions when there
// are none) of each word, as one open program does it: `lookup N=<n> word=<w> entries=<count>
// ms=<median> rg_ms=<median> ratio=<ms/rg_ms>`. All times are medians over the rounds.

#include "engine/base/EngineError.h"
#include "engine/base/UnicodeText.h"
#include "engine/sql/Query.h"
#include "engine/storage/Database.h"
#include "engine/storage/ServerDatabase.h"
#include "engine/storage/Session.h"
#include "engine/tagalog/Lookup.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

struct Text {
    std::string text;
    std::string cls;
};

struct Options {
    std::string alias;
    std::string password;
    std::string tsv;
    std::string n;
    int rounds = 7;
    bool plain = false;
    bool ripgrep = true;
    std::vector<Text> texts;
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

bool hasWildcard(const std::string& text) {
    return text.find_first_of("%_") != std::string::npos;
}

// The regular expression that matches, within one field of a line of the searched file, what the
// statement's like pattern "%text%" matches: % is any run of characters but a tab, _ any one
// character but a tab, and ripgrep's special characters stand for themselves. The pattern's own
// % at both ends needs nothing, as ripgrep finds a match anywhere in the line.
std::string likeRegex(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%')
            out += "[^\\t]*";
        else if (c == '_')
            out += "[^\\t]";
        else {
            // Exactly ripgrep's special characters: it refuses the escape of any other one.
            if (std::strchr("\\.+*?()|[]{}^$#&-~", c) != nullptr)
                out += '\\';
            out += c;
        }
    }
    return out;
}

// ripgrep's arguments for searching `file` for what the statement finds for `text`.
std::vector<std::string> ripgrepArgs(const std::string& text, const std::string& file) {
    if (hasWildcard(text))
        return {"rg", "-c", "-i", "--", likeRegex(text), file};
    return {"rg", "-c", "-i", "-F", "--", text, file};
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

struct RipgrepRun {
    double ms = 0;
    long long lines = 0; // the count `rg -c` printed, 0 when no line matched
};

// Runs ripgrep with `args` (no shell in between) and returns the time it took, in milliseconds,
// and the number of matching lines it printed.
RipgrepRun runRipgrep(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
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
    std::string printed;
    char buffer[256];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        printed.append(buffer, static_cast<size_t>(got));
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    RipgrepRun run;
    run.ms = msSince(start);
    const std::string pattern = args[args.size() - 2];
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) // 1: no line matched
        throw std::runtime_error("rg failed on '" + pattern + "'");
    if (WEXITSTATUS(status) == 0) {
        size_t used = 0;
        try {
            run.lines = std::stoll(printed, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || printed.find_first_not_of("\n", used) != std::string::npos)
            throw std::runtime_error("rg printed no count for '" + pattern + "': " + printed);
    }
    return run;
}

// A size from /proc/self/status (`VmHWM:`, `RssAnon:`), in MB.
double statusMb(const char* key) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = key;
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0; // kB
    return 0;
}

// The largest private memory seen (RssAnon: resident, not file pages the system can take back),
// sampled after each search.
double peakPrivateMb = 0;
void samplePrivate() {
    peakPrivateMb = std::max(peakPrivateMb, statusMb("RssAnon:"));
}

Options parse(int argc, char** argv) {
    Options o;
    std::string cls = "given";
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
        else if (a == "--class")
            cls = value();
        else if (a == "--text")
            o.texts.push_back({value(), cls});
        else if (a == "--lookup")
            for (std::string words = value(); !words.empty();) {
                const size_t comma = words.find(',');
                o.lookups.push_back(words.substr(0, comma));
                words = comma == std::string::npos ? "" : words.substr(comma + 1);
            }
        else
            o.texts.push_back({a, cls});
    }
    if (o.alias.empty() || o.tsv.empty() || o.n.empty())
        throw std::runtime_error("usage: wikabay-bench --alias NAME --password P --tsv FILE --n N "
                                 "[--rounds R] [--plain] [--no-rg] [--lookup WORD,WORD...] "
                                 "[--class NAME] [--text TEXT] TEXT...");
    return o;
}

struct Result {
    long long hits = 0;
    long long rgHits = 0;
    double ms = 0;
    double rgMs = 0;
    double ratio() const { return rgMs > 0 ? ms / rgMs : 0.0; }
};

// The value at `percent` of sorted `v` by nearest rank: the smallest value that at least that
// share of the values does not exceed.
double nearestRank(const std::vector<double>& sorted, int percent) {
    const size_t rank = (sorted.size() * static_cast<size_t>(percent) + 99) / 100;
    return sorted[std::max<size_t>(rank, 1) - 1];
}

void printSummary(const Options& o, const std::vector<Result>& results, const char* path) {
    if (results.empty())
        return;
    std::vector<double> ms;
    size_t slowest = 0, worst = 0;
    for (size_t t = 0; t < results.size(); ++t) {
        ms.push_back(results[t].ms);
        if (results[t].ms > results[slowest].ms)
            slowest = t;
        if (results[t].ratio() > results[worst].ratio())
            worst = t;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("summary N=%s texts=%zu p50_ms=%.2f p95_ms=%.2f slowest=%s slowest_ms=%.2f "
                "slowest_ratio=%.3f worst_ratio_text=%s worst_ratio=%.3f path=%s\n",
                o.n.c_str(), results.size(), nearestRank(ms, 50), nearestRank(ms, 95),
                o.texts[slowest].text.c_str(), results[slowest].ms, results[slowest].ratio(),
                o.texts[worst].text.c_str(), results[worst].ratio(), path);
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
    for (const Text& text : o.texts)
        openAndShow(query, {searchStatement(text.text)}, bytesSeen);

    const size_t count = o.texts.size();
    std::vector<std::vector<double>> ms(count), rgMs(count);
    std::vector<Result> results(count);
    std::vector<double> openMs;
    for (int round = 0; round < o.rounds; ++round) {
        for (size_t t = 0; t < count; ++t) {
            const std::string statement = searchStatement(o.texts[t].text);
            auto start = Clock::now();
            results[t].hits = openAndShow(query, {statement}, bytesSeen);
            ms[t].push_back(msSince(start));
            samplePrivate();
            if (o.ripgrep) {
                const RipgrepRun rg = runRipgrep(ripgrepArgs(o.texts[t].text, o.tsv));
                rgMs[t].push_back(rg.ms);
                results[t].rgHits = rg.lines;
            } else {
                rgMs[t].push_back(0.0);
            }
        }
        auto start = Clock::now();
        openAndShow(query, openAll, bytesSeen);
        openMs.push_back(msSince(start));
    }
    for (size_t t = 0; t < count; ++t) {
        Result& r = results[t];
        r.ms = median(ms[t]);
        r.rgMs = median(rgMs[t]);
        std::printf("search N=%s text=%s hits=%lld ms=%.2f rg_ms=%.2f ratio=%.3f class=%s "
                    "rg_hits=%lld\n",
                    o.n.c_str(), o.texts[t].text.c_str(), r.hits, r.ms, r.rgMs, r.ratio(),
                    o.texts[t].cls.c_str(), r.rgHits);
    }
    printSummary(o, results,
                 dynamic_cast<wk::engine::ServerDatabase*>(&session.database(o.alias)) ? "server"
                 : o.plain                                                             ? "plain"
                                                                                       : "index");
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
                lookupRgMs.push_back(
                    o.ripgrep ? runRipgrep({"rg", "-c", "-i", "-F", "--", word, o.tsv}).ms : 0.0);
            }
            const double m = median(lookupMs), r = median(lookupRgMs);
            std::printf("lookup N=%s word=%s entries=%zu ms=%.2f rg_ms=%.2f ratio=%.3f\n",
                        o.n.c_str(), word.c_str(), entries, m, r, r > 0 ? m / r : 0.0);
        }
    }
    std::printf("memory N=%s peak_rss_mb=%.1f peak_private_mb=%.1f\n", o.n.c_str(),
                statusMb("VmHWM:"), peakPrivateMb);
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
