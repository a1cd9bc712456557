// wikabay-admin: makes and inspects what the program uses but does not make itself: the engine's
// configuration, aliases, and the table files (imported from and exported to CSV).

#include "AnkiWriter.h"
#include "Csv.h"
#include "StarDictExport.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/config/ConfigTree.h"
#include "engine/server/PgConnInfo.h"
#include "engine/sql/Query.h"
#include "engine/sql/Table.h"
#include "engine/storage/Database.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"
#include "engine/storage/TableFiles.h"
#include "engine/storage/TableMaintenance.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace wk::engine;
using wk::tools::CsvError;
using wk::tools::CsvReader;

constexpr const char* kUsage =
    "usage:\n"
    "  wikabay-admin alias set NAME FOLDER|postgresql://USER@HOST/DATABASE|'host=HOST "
    "dbname=DATABASE ...'\n"
    "  wikabay-admin alias list\n"
    "  wikabay-admin alias remove NAME\n"
    "  wikabay-admin config get NODEPATH ENTRY\n"
    "  wikabay-admin config set NODEPATH ENTRY VALUE\n"
    "  wikabay-admin config show\n"
    "  wikabay-admin import --alias NAME [--password P] [--search-fields F,F...] TABLE "
    "FILE.csv\n"
    "  wikabay-admin export --alias NAME [--password P] TABLE\n"
    "  wikabay-admin export --alias NAME [--password P] --format "
    "stardict TABLE FOLDER\n"
    "  wikabay-admin export --alias NAME [--password P] --format anki "
    "TABLE FILE\n"
    "  wikabay-admin query --alias NAME [--password P] STATEMENT\n"
    "  wikabay-admin check --alias NAME [--password P] [TABLE]\n"
    "  wikabay-admin reindex --alias NAME [--password P] TABLE\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The options --alias and --password, and the words that remain.
struct TableArgs {
    std::string alias;
    std::optional<std::string> password;
    std::vector<std::string> words;
};

TableArgs parseTableArgs(const std::vector<std::string>& args, size_t from, size_t wordCount,
                         size_t mostWords = 0) {
    TableArgs t;
    for (size_t i = from; i < args.size(); ++i) {
        if (args[i] == "--alias" || args[i] == "--password") {
            if (i + 1 >= args.size())
                throw UsageError(args[i] + " needs a value");
            if (args[i] == "--alias")
                t.alias = args[i + 1];
            else
                t.password = args[i + 1];
            ++i;
        } else {
            t.words.push_back(args[i]);
        }
    }
    if (t.alias.empty())
        throw UsageError("--alias NAME is required");
    if (t.words.size() < wordCount || t.words.size() > std::max(wordCount, mostWords))
        throw UsageError("wrong number of arguments");
    return t;
}

// A session of this tool holding the given password.
Session& toolSession(const TableArgs& t) {
    static Session session("wikabay-admin");
    if (t.password)
        session.addPassword(*t.password);
    else
        session.open();
    return session;
}

std::string escapeForQuery(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A value of the configuration as the tool prints it: a server's address without the password
// written in it.
std::string shown(const std::string& value) {
    return aliases::isServerAddress(value) ? pgconninfo::maskedAddress(value) : value;
}

int aliasCommand(const std::vector<std::string>& a) {
    ConfigStore store;
    if (a.size() == 4 && a[1] == "set") {
        std::string folder = a[3];
        const bool drivePath = folder.size() >= 2 && folder[1] == ':';
        if (aliases::isServerAddress(folder))
            pgconninfo::check(folder);
        else if (!drivePath)
            folder = std::filesystem::absolute(folder).lexically_normal().string();
        store.update([&](ConfigTree& t) { aliases::set(t, a[2], folder); });
        return 0;
    }
    if (a.size() == 2 && a[1] == "list") {
        // A password written in a server's address is not shown.
        for (const auto& [name, folder] : aliases::list(store.load()))
            std::cout << name << '\t' << shown(folder) << '\n';
        return 0;
    }
    if (a.size() == 3 && a[1] == "remove") {
        bool removed = false;
        store.update([&](ConfigTree& t) {
            removed = aliases::exists(t, a[2]) && t.removeNode("\\DATABASES\\" + a[2]);
        });
        if (!removed)
            throw EngineError(ErrorCode::NotFound, "Alias '" + a[2] + "' not found");
        return 0;
    }
    throw UsageError("alias takes 'set NAME FOLDER', 'list' or 'remove NAME'");
}

int configCommand(const std::vector<std::string>& a) {
    ConfigStore store;
    if (a.size() == 4 && a[1] == "get") {
        const auto value = store.load().get(a[2], a[3]);
        if (!value)
            throw EngineError(ErrorCode::NotFound,
                              "Entry '" + a[3] + "' not found in node '" + a[2] + "'");
        std::cout << shown(*value) << '\n';
        return 0;
    }
    if (a.size() == 5 && a[1] == "set") {
        store.update([&](ConfigTree& t) { t.set(a[2], a[3], a[4]); });
        return 0;
    }
    if (a.size() == 2 && a[1] == "show") {
        // Passwords in servers' addresses are not shown.
        ConfigTree tree = store.load();
        const std::vector<ConfigNode> nodes = tree.nodes();
        for (const ConfigNode& node : nodes)
            for (const ConfigEntry& entry : node.entries)
                if (const std::string value = shown(entry.value); value != entry.value)
                    tree.set(node.path, entry.name, value);
        std::cout << tree.serialize();
        return 0;
    }
    throw UsageError("config takes 'get NODEPATH ENTRY', 'set NODEPATH ENTRY VALUE' or 'show'");
}

// Takes `--search-fields NAME,NAME...` out of the arguments: the fields the search index covers.
std::optional<std::string> takeSearchFields(std::vector<std::string>& a) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != "--search-fields")
            continue;
        if (i + 1 >= a.size())
            throw UsageError("--search-fields needs a list of field names");
        std::string list = a[i + 1];
        a.erase(a.begin() + static_cast<std::ptrdiff_t>(i),
                a.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return list;
    }
    return std::nullopt;
}

// Which of the header's fields a list of names ("Tagalo,English") picks; every field without one.
std::vector<bool> pickFields(const std::vector<std::string>& header,
                             const std::optional<std::string>& list, const std::string& file) {
    if (!list)
        return {};
    std::vector<bool> picked(header.size(), false);
    std::istringstream names(*list);
    for (std::string name; std::getline(names, name, ',');) {
        const auto at = std::find_if(header.begin(), header.end(), [&](const std::string& h) {
            return equalsIgnoreCase(h, name);
        });
        if (at == header.end())
            throw UsageError("--search-fields: '" + name + "' is not a field of " + file);
        picked[static_cast<size_t>(at - header.begin())] = true;
    }
    return picked;
}

// The reader takes a byte order mark off the start of the file only. One at the start of an
// unquoted field name is a second mark (a file saved twice with one, or files joined) that would
// hide in the name, so that the field is not found by the name it shows: the file is refused. A
// quoted name keeps the character, as the export writes it.
void refuseHiddenByteOrderMarks(const CsvReader& csv, const std::vector<std::string>& header,
                                const std::string& file) {
    for (size_t i = 0; i < header.size(); ++i)
        if (!csv.quoted(i) && header[i].starts_with("\xEF\xBB\xBF"))
            throw CsvError(file + ", line " + std::to_string(csv.line()) + ": field " +
                           std::to_string(i + 1) + " of the header begins with a byte order mark" +
                           (i == 0 ? " after the file's own" : "") +
                           " (U+FEFF), which would hide in its name; remove it, or quote the "
                           "name to keep the character");
}

int importCommand(std::vector<std::string> a) {
    const std::optional<std::string> searchFields = takeSearchFields(a);
    const TableArgs t = parseTableArgs(a, 1, 2);
    const std::string& table = t.words[0];
    const std::string& file = t.words[1];
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw EngineError(ErrorCode::Io, "Cannot read '" + file + "'");
    CsvReader csv(in, file);
    std::vector<std::string> header;
    if (!csv.next(header))
        throw CsvError(file + ": the file is empty; it needs a header row of field names");
    refuseHiddenByteOrderMarks(csv, header, file);
    const std::vector<bool> searched = pickFields(header, searchFields, file);
    const auto started = std::chrono::steady_clock::now();
    long long rows = 0;
    const tablefile::RowReader read = [&](std::vector<std::string>& row) {
        if (!csv.next(row))
            return false;
        if (row.size() != header.size())
            throw CsvError(file + ", line " + std::to_string(csv.line()) + ": " +
                           std::to_string(row.size()) + " fields, but the header has " +
                           std::to_string(header.size()));
        ++rows;
        return true;
    };
    const auto progress = [&](long long n) {
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(2))
            std::cerr << "wikabay-admin: " << n << " records imported...\n";
    };
    // The table, its search index and, for a dictionary in table files, the keys of the
    // learner's lookup are made in one transaction.
    Database& db = toolSession(t).database(t.alias);
    const std::string remark = db.replace(table, header, read, t.password, progress, searched);
    if (!remark.empty())
        std::cerr << "wikabay-admin: " << remark << "\n";
    std::cerr << "wikabay-admin: " << rows << " records imported into table '"
              << tablefile::baseName(table) << "' in " << db.place() << "\n";
    return 0;
}

int exportCommand(const std::vector<std::string>& a) {
    // --format stardict or anki writes a dictionary or note file for another program at a path
    // given after the table; without it, or with csv, the table goes to stdout as CSV.
    std::vector<std::string> rest;
    std::string format = "csv";
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != "--format") {
            rest.push_back(a[i]);
        } else if (i + 1 < a.size()) {
            format = a[++i];
        } else {
            throw UsageError("--format needs a value");
        }
    }
    if (format == "stardict" || format == "anki") {
        const TableArgs t = parseTableArgs(rest, 1, 2);
        const std::string& session = toolSession(t).name();
        if (format == "stardict")
            wk::tools::exportStarDict(session, t.alias, t.words[0], t.words[1], std::cerr);
        else
            wk::tools::exportAnki(session, t.alias, t.words[0], t.words[1], std::cerr);
        return 0;
    }
    if (format != "csv")
        throw UsageError("--format takes csv, stardict or anki");
    const TableArgs t = parseTableArgs(rest, 1, 1);
    Table table;
    table.setName("export");
    table.setSessionName(toolSession(t).name());
    table.setDatabaseName(t.alias);
    table.setTableName(t.words[0]);
    table.open();
    wk::tools::writeCsvRecord(std::cout, table.fieldNames());
    std::vector<std::string> row(table.fieldNames().size());
    for (long long r = 0; r < table.recordCount(); ++r) {
        for (size_t f = 0; f < row.size(); ++f)
            row[f] = table.valueAt(r, static_cast<int>(f));
        wk::tools::writeCsvRecord(std::cout, row);
    }
    return 0;
}

int queryCommand(const std::vector<std::string>& a) {
    const TableArgs t = parseTableArgs(a, 1, 1);
    Query query;
    query.setName("query");
    query.setSessionName(toolSession(t).name());
    query.setDatabaseName(t.alias);
    query.addSql(t.words[0]);
    query.open();
    const auto& fields = query.fieldNames();
    for (size_t f = 0; f < fields.size(); ++f)
        std::cout << (f ? "\t" : "") << escapeForQuery(fields[f]);
    std::cout << '\n';
    for (long long r = 0; r < query.recordCount(); ++r) {
        for (size_t f = 0; f < fields.size(); ++f)
            std::cout << (f ? "\t" : "") << escapeForQuery(query.valueAt(r, static_cast<int>(f)));
        std::cout << '\n';
    }
    std::cout << query.recordCount() << " records\n";
    return 0;
}

// Checks one table and prints what was found, each thing on a line that begins with the table's
// name. Returns whether all is well.
bool checkTable(TableFiles& db, const std::string& tableName) {
    const tablefile::CheckReport report = tablefile::check(db, tableName);
    for (const std::string& finding : report.findings)
        std::cout << report.table << ": " << finding << '\n';
    return report.well;
}

int checkCommand(const std::vector<std::string>& a) {
    const TableArgs t = parseTableArgs(a, 1, 0, 1);
    // A server keeps its own indexes.
    TableFiles& db = requireTableFiles(toolSession(t).database(t.alias), "wikabay-admin check");
    std::vector<std::string> tables;
    if (t.words.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(db.folder()))
            if (entry.is_regular_file() &&
                equalsIgnoreCase(entry.path().extension().string(), ".db"))
                tables.push_back(entry.path().stem().string());
        std::sort(tables.begin(), tables.end());
    } else {
        tables.push_back(t.words[0]);
    }
    bool well = true;
    for (const std::string& table : tables)
        well = checkTable(db, table) && well;
    return well ? 0 : 1;
}

int reindexCommand(const std::vector<std::string>& a) {
    const TableArgs t = parseTableArgs(a, 1, 1);
    TableFiles& db = requireTableFiles(toolSession(t).database(t.alias), "wikabay-admin reindex");
    const tablefile::RebuildReport report = tablefile::rebuild(db, t.words[0]);
    // "the search index of 'Tagalog' is made anew, and its lookup keys"
    std::string said;
    for (const tablefile::RebuildReport::Made& made : report.features) {
        if (!said.empty())
            said += made.inStep ? ", and its " + made.name : "; ";
        else if (made.inStep)
            said += "the " + made.name + " of '" + report.table + "' is made anew";
        if (!made.inStep)
            said += "'" + report.table + "' can have no " + made.name + "; " + made.withoutIt;
    }
    if (!said.empty())
        std::cerr << "wikabay-admin: " << said << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.empty())
            throw UsageError("a command is required");
        const std::string& cmd = args[0];
        if (cmd == "alias")
            return aliasCommand(args);
        if (cmd == "config")
            return configCommand(args);
        if (cmd == "import")
            return importCommand(args);
        if (cmd == "export")
            return exportCommand(args);
        if (cmd == "query")
            return queryCommand(args);
        if (cmd == "check")
            return checkCommand(args);
        if (cmd == "reindex")
            return reindexCommand(args);
        if (cmd == "--help" || cmd == "help") {
            std::cout << kUsage;
            return 0;
        }
        throw UsageError("unknown command '" + cmd + "'");
    } catch (const UsageError& e) {
        std::cerr << "wikabay-admin: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "wikabay-admin: " << e.what() << '\n';
        return 1;
    }
}
