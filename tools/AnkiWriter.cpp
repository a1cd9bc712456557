#include "AnkiWriter.h"

#include "engine/base/FileUtil.h"

#include <ostream>
#include <vector>

namespace wk::tools {

namespace fs = std::filesystem;

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string ankiField(std::string_view text) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && isSpace(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && isSpace(line.back()))
            line.remove_suffix(1);
        if (!line.empty()) {
            if (!out.empty())
                out += " / ";
            for (char c : line)
                out += c == '\t' ? ' ' : c;
        }
        start = end + 1;
    }
    if (out.find('"') == std::string::npos && !out.starts_with('#'))
        return out;
    std::string quoted = "\"";
    for (char c : out) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string ankiTag(std::string_view topic) {
    std::string tag;
    bool gap = false;
    for (char c : topic) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/') {
            gap = true;
            continue;
        }
        if (gap && !tag.empty())
            tag += '_';
        gap = false;
        tag += c;
    }
    return ankiField(tag);
}

void exportAnki(const ExportSource& source, const fs::path& file, std::ostream& messages) {
    const bool dictionary = source.kind() == ExportSource::Kind::Dictionary;
    std::string text = "#separator:tab\n#html:false\n";
    if (!dictionary)
        text += "#tags column:3\n";
    long long notes = 0;
    long long empty = 0;
    for (long long r = 0; r < source.count(); ++r) {
        std::vector<std::string> fields;
        if (dictionary) {
            const DictionaryEntry e = source.entry(r);
            fields = {ankiField(e.headword), ankiField(e.english), ankiField(e.examples)};
        } else {
            const Phrase p = source.phrase(r);
            fields = {ankiField(p.english), ankiField(p.tagalog), ankiTag(p.topic)};
        }
        if (fields[0].empty()) {
            ++empty;
            continue;
        }
        text += fields[0] + '\t' + fields[1] + '\t' + fields[2] + '\n';
        ++notes;
    }

    // Made anew beside its place and renamed there: a file or link that another user put in a
    // shared folder under a name this writes to is replaced, never followed.
    wk::engine::fileutil::writeFileAtomically(file, text);
    messages << "wikabay-admin: " << notes << " notes written to '" << file.string() << "'\n";
    if (empty > 0)
        messages << "wikabay-admin: " << empty << (empty == 1 ? " record" : " records")
                 << " without " << (dictionary ? "a headword" : "an English text") << " left out\n";
}

void exportAnki(const std::string& session, const std::string& alias, const std::string& table,
                const fs::path& file, std::ostream& messages) {
    exportAnki(ExportSource(session, alias, table), file, messages);
}

} // namespace wk::tools
