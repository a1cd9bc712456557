// wikabay-lookup: looks words up in the dictionary as a learner would (roots of inflected verbs,
// stress marks, common spellings, ranked answers) and prints the entries as text, JSON lines or
// an HTML fragment.

#include "HtmlText.h"
#include "LookupOptions.h"

#include "engine/base/EngineError.h"
#include "engine/storage/Session.h"
#include "engine/tagalog/Lookup.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace wk::engine;
using namespace wk::engine::tagalog;
using wk::tools::htmlText;
using wk::tools::LookupOptions;
using Format = LookupOptions::Format;

// The password the program gives its session for the bundled tables.
constexpr const char* kProgramPassword = "58rmrm31";

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

// The entries found for a word, of which there is at least one.
void printHtml(const std::vector<LookupEntry>& entries) {
    std::cout << "<div class=\"wikabay\">\n";
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
        const LookupOptions o =
            LookupOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
        if (o.action == LookupOptions::Action::Help) {
            std::cout << wk::tools::kLookupUsage;
            return 0;
        }
        if (o.action == LookupOptions::Action::Version) {
            std::cout << "wikabay-lookup " WIKABAY_VERSION "\n";
            return 0;
        }
        Session session("wikabay-lookup");
        session.addPassword(o.password ? *o.password : kProgramPassword);
        Lookup lookup(session.database(o.alias));
        bool allFound = true;
        for (const std::string& word : o.words) {
            const std::vector<LookupEntry> entries = lookup.find(word, o.limit);
            // A dictionary program shows the fragment of each of its dictionaries that has one,
            // and takes a status other than 0 for a failure: a miss is silent and no failure.
            if (entries.empty() && o.format == Format::Html)
                continue;
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
                printHtml(entries);
                break;
            }
        }
        std::cout.flush();
        return allFound ? 0 : 1;
    } catch (const wk::tools::LookupUsageError& e) {
        std::cerr << "wikabay-lookup: " << e.what() << '\n' << wk::tools::kLookupUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "wikabay-lookup: " << e.what() << '\n';
        return 2;
    }
}
