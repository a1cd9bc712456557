#include "LookupOptions.h"

#include "Csv.h"

namespace wk::tools {

const char* const kLookupUsage =
    "usage: wikabay-lookup [--alias NAME] [--password P] [--limit N] [--json | --html] [--] "
    "WORD...\n"
    "       wikabay-lookup -h | --help | --version\n"
    "  Looks each WORD up in the dictionary table Tagalog of the alias (default Wikabay, with\n"
    "  the program's own password). An option's value may also follow it after '='\n"
    "  (--limit=5); the words after -- may begin with '-'.\n"
    "  Exit status: 0 when every word found an entry, 1 when one did not, 2 on a usage error\n"
    "  (a word that is not UTF-8 is one) or when the dictionary cannot be read. With --html a\n"
    "  word without an entry prints nothing at all and leaves the status 0, as GoldenDict shows\n"
    "  any other status as a query error; text and --json exit 1 when a word found nothing.\n";

namespace {

size_t limitFrom(const std::string& v) {
    if (v.empty() || v.size() > 6 || v.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(v) == 0)
        throw LookupUsageError("--limit needs a whole number from 1 to 999999, not '" + v + "'");
    return std::stoul(v);
}

bool isFlag(const std::string& name) {
    for (const char* flag : {"-h", "--help", "--version", "--json", "--html"})
        if (name == flag)
            return true;
    return false;
}

} // namespace

LookupOptions LookupOptions::parse(const std::vector<std::string>& args) {
    LookupOptions o;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            // The word is written back in every format; bytes that are not UTF-8 would make
            // the JSON invalid and the text unreadable.
            if (!isValidUtf8(a))
                throw LookupUsageError("argument " + std::to_string(i + 1) + " is not valid UTF-8");
            o.words.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = a.starts_with("--") ? a.find('=') : std::string::npos;
        const std::string name = a.substr(0, eq);
        const std::optional<std::string> attached =
            eq == std::string::npos ? std::nullopt : std::optional(a.substr(eq + 1));
        const auto value = [&]() -> std::string {
            if (attached)
                return *attached;
            if (i + 1 >= args.size())
                throw LookupUsageError(name + " needs a value");
            return args[++i];
        };
        if (isFlag(name) && attached)
            throw LookupUsageError(name + " takes no value");
        if (name == "-h" || name == "--help" || name == "--version") {
            o.action = name == "--version" ? Action::Version : Action::Help;
            return o;
        }
        if (name == "--alias")
            o.alias = value();
        else if (name == "--password")
            o.password = value();
        else if (name == "--limit")
            o.limit = limitFrom(value());
        else if (name == "--json")
            o.format = Format::Json;
        else if (name == "--html")
            o.format = Format::Html;
        else
            throw LookupUsageError("unknown option '" + name +
                                   "' (put -- before a word that begins with '-')");
    }
    if (o.words.empty())
        throw LookupUsageError("a word to look up is required");
    return o;
}

} // namespace wk::tools
