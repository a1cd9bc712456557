// wikabay-lookup: looks words up in the dictionary as a learner would (roots of inflected verbs,
// stress marks, common spellings, ranked answers) and prints the entries as text, JSON lines or
// an HTML fragment.

#include "HtmlText.h"

#include "engine/base/EngineError.h"
#include "engine/storage/Session.h"
#include "engine/tagalog/Lookup.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace wk::engine;
using namespace wk::engine::tagalog;
using wk::tools::htmlText;

constexpr const char* kUsage =
    "usage: wikabay-lookup [--alias NAME] [--password P] [--limit N] [--json | --html] WORD...\n"
    "  Looks each WORD up in the dictionary table Tagalog of the alias (default Wikabay, with\n"
    "  the program's own password). Exit status: 0 when every word found an entry, 1 when\n"
    "  one did not, 2 on a usage error or when the dictionary cannot be read.\n";

// The password the program gives its session for the bundled tables.
constexpr const char* kProgramPassword = "58rmrm31";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Format { Text, Json, Html };

struct Options {
    std::string alias = "Wikabay";
    std::optional<std::string> password;
    size_t limit = 10;
    Format format = Format::Text;
    std::vector<std::string> words;
};

Options parse(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--alias") {
            o.alias = value();
        } else if (a == "--password") {
            o.password = value();
        } else if (a == "--limit") {
            const std::string& v = value();
            if (v.empty() || v.size() > 6 ||
                v.find_first_not_of("0123456789") != std::string::npos || std::stoul(v) == 0)
                throw UsageError("--limit needs a whole number from 1 to 999999, not '" + v + "'");
            o.limit = std::stoul(v);
        } else if (a == "--json") {
            o.format = Format::Json;
        } else if (a == "--html") {
            o.format = Format::Html;
        } else if (a == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            throw UsageError("unknown option '" + a + "'");
        } else {
            o.words.push_back(a);
        }
    }
    if (o.words.empty())
        throw UsageError("a word to look up is required");
    return o;
}

std::string jsonText(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                static const char* hex = "0123456789abcdef";
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// The lines of a field, each indented.
std::string indented(const std::string& text, const std::string& indent) {
    std::string out = indent;
    for (char c : text) {
        out += c;
        if (c == '\n')
            out += indent;
    }
    return out;
}

void printText(const std::string& word, const std::vector<LookupEntry>& entries,
               const std::vector<Suggestion>& suggestions) {
    std::cout << "== " << word << " ==\n";
    if (entries.empty()) {
        std::cout << "Nothing found.";
        for (size_t i = 0; i < suggestions.size(); ++i)
            std::cout << (i ? ", " : " Did you mean ") << suggestions[i].headword << " ("
                      << suggestions[i].why << ")";
        std::cout << (suggestions.empty() ? "\n" : "?\n");
    }
    for (const LookupEntry& e : entries) {
        const auto& f = e.fields;
        std::cout << '\n' << f[0] << "  [" << e.how << "]\n";
        if (!f[1].empty() || !f[2].empty())
            std::cout << "  Verb: " << f[1] << ", " << f[2] << '\n';
        std::cout << "  English: " << f[3] << '\n';
        if (!f[4].empty())
            std::cout << "  Definition: " << f[4] << '\n';
        if (!f[5].empty())
            std::cout << "  Examples:\n" << indented(f[5], "    ") << '\n';
        if (!f[6].empty())
            std::cout << "  Notes: " << f[6] << '\n';
    }
    std::cout << '\n';
}

void printJson(const std::string& word, const std::vector<LookupEntry>& entries,
               const std::vector<Suggestion>& suggestions) {
    std::cout << "{\"query\":" << jsonText(word) << ",\"entries\":[";
    for (size_t i = 0; i < entries.size(); ++i) {
        std::cout << (i ? ",{" : "{");
        for (size_t f = 0; f < std::size(kDictionaryFields); ++f)
            std::cout << jsonText(kDictionaryFields[f]) << ':' << jsonText(entries[i].fields[f])
                      << ',';
        std::cout << "\"match\":" << jsonText(entries[i].how) << '}';
    }
    std::cout << "],\"suggestions\":[";
    for (size_t i = 0; i < suggestions.size(); ++i)
        std::cout << (i ? "," : "") << "{\"headword\":" << jsonText(suggestions[i].headword)
                  << ",\"why\":" << jsonText(suggestions[i].why) << '}';
    std::cout << "]}\n";
}

void printHtml(const std::string& word, const std::vector<LookupEntry>& entries,
               const std::vector<Suggestion>& suggestions) {
    std::cout << "<div class=\"wikabay\">\n";
    if (entries.empty()) {
        std::cout << "<p>No entry for <b>" << htmlText(word) << "</b>.";
        for (size_t i = 0; i < suggestions.size(); ++i)
            std::cout << (i ? ", " : " Did you mean ") << "<b>" << htmlText(suggestions[i].headword)
                      << "</b> (" << htmlText(suggestions[i].why) << ")";
        std::cout << (suggestions.empty() ? "</p>\n" : "?</p>\n");
    }
    for (const LookupEntry& e : entries) {
        const auto& f = e.fields;
        std::cout << "<div class=\"entry\"><h3>" << htmlText(f[0]) << " <small>(" << htmlText(e.how)
                  << ")</small></h3>\n";
        if (!f[1].empty() || !f[2].empty())
            std::cout << "<p class=\"verb\"><i>" << htmlText(f[1]) << ", " << htmlText(f[2])
                      << "</i></p>\n";
        std::cout << "<p class=\"english\"><b>" << htmlText(f[3]) << "</b></p>\n";
        if (!f[4].empty())
            std::cout << "<p class=\"definition\">" << htmlText(f[4]) << "</p>\n";
        if (!f[5].empty())
            std::cout << "<p class=\"examples\">" << htmlText(f[5]) << "</p>\n";
        if (!f[6].empty())
            std::cout << "<p class=\"notes\"><small>" << htmlText(f[6]) << "</small></p>\n";
        std::cout << "</div>\n";
    }
    std::cout << "</div>\n";
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options o = parse(std::vector<std::string>(argv + 1, argv + argc));
        Session session("wikabay-lookup");
        session.addPassword(o.password ? *o.password : kProgramPassword);
        Lookup lookup(session.database(o.alias));
        bool allFound = true;
        for (const std::string& word : o.words) {
            const std::vector<LookupEntry> entries = lookup.find(word, o.limit);
            const std::vector<Suggestion> suggestions =
                entries.empty() ? lookup.suggest(word, 3) : std::vector<Suggestion>{};
            allFound = allFound && !entries.empty();
            switch (o.format) {
            case Format::Text:
                printText(word, entries, suggestions);
                break;
            case Format::Json:
                printJson(word, entries, suggestions);
                break;
            case Format::Html:
                printHtml(word, entries, suggestions);
                break;
            }
        }
        std::cout.flush();
        return allFound ? 0 : 1;
    } catch (const UsageError& e) {
        std::cerr << "wikabay-lookup: " << e.what() << '\n' << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "wikabay-lookup: " << e.what() << '\n';
        return 2;
    }
}
