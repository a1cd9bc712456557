#include "StarDictExport.h"

#include "HtmlText.h"
#include "StarDictWriter.h"

#include "engine/tagalog/Spelling.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>

namespace wk::tools {

namespace tagalog = engine::tagalog;

namespace {

// English words too common to lead anywhere useful: looking up "to" should not list every verb.
const char* const kCommonWords[] = {
    "a",    "an",      "and",       "are",       "as",   "at", "be",  "by",
    "etc",  "for",     "from",      "in",        "into", "is", "it",  "its",
    "of",   "on",      "one's",     "oneself",   "or",   "sb", "sth", "so",
    "some", "someone", "someone's", "something", "the",  "to", "up",  "with"};

bool isCommonWord(const std::string& w) {
    return std::find(std::begin(kCommonWords), std::end(kCommonWords), w) != std::end(kCommonWords);
}

bool allDigits(const std::string& w) {
    return std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1));
}

// The forms in a verb field: usually one, but "kumain, kakain" or "kumain/kakain" hold two.
std::vector<std::string> verbForms(std::string_view field) {
    std::vector<std::string> forms;
    size_t start = 0;
    for (size_t i = 0; i <= field.size(); ++i) {
        if (i == field.size() || field[i] == ',' || field[i] == ';' || field[i] == '/') {
            std::string f = trimmed(field.substr(start, i - start));
            if (!f.empty())
                forms.push_back(std::move(f));
            start = i + 1;
        }
    }
    return forms;
}

// `text` without the punctuation that closes a sentence.
std::string withoutClosingPunctuation(std::string_view text) {
    std::string s = trimmed(text);
    while (!s.empty() && (s.back() == '.' || s.back() == '!' || s.back() == '?' || s.back() == ' '))
        s.pop_back();
    if (s.ends_with("\xE2\x80\xA6")) // …
        return withoutClosingPunctuation(s.substr(0, s.size() - 3));
    return s;
}

// The spellings of `word` in lower case, without stress marks and without them and ñ, where
// they differ from it. Readers such as sdcv match a headword with its letter case but a synonym
// without, so "Bahay" needs "bahay" among its synonyms.
void addSpellings(std::vector<std::string>& out, const std::string& word) {
    for (std::string s : {tagalog::plainSpelling(word), tagalog::looseSpelling(word)})
        if (s != word)
            out.push_back(std::move(s));
}

std::string tableFileName(const std::string& table) {
    std::string name = "wikabay-";
    for (unsigned char c : table)
        name += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '-';
    return name;
}

} // namespace

std::string dictionaryArticle(const DictionaryEntry& e) {
    std::vector<std::string> blocks{"<b>" + htmlText(trimmed(e.headword)) + "</b>"};
    std::string verbs;
    if (!trimmed(e.activeVerb).empty())
        verbs = "<i>Active verb:</i> " + htmlText(trimmed(e.activeVerb));
    if (!trimmed(e.passiveVerb).empty())
        verbs += (verbs.empty() ? "" : " &nbsp; ") + std::string("<i>Passive verb:</i> ") +
                 htmlText(trimmed(e.passiveVerb));
    if (!verbs.empty())
        blocks.push_back(verbs);
    if (!trimmed(e.english).empty())
        blocks.push_back(htmlText(trimmed(e.english)));
    if (!trimmed(e.definition).empty())
        blocks.push_back("<i>" + htmlText(trimmed(e.definition)) + "</i>");
    if (!trimmed(e.examples).empty())
        blocks.push_back("<br>" + htmlText(trimmed(e.examples)));
    if (!trimmed(e.notes).empty())
        blocks.push_back("<br><small>" + htmlText(trimmed(e.notes)) + "</small>");
    std::string article;
    for (size_t i = 0; i < blocks.size(); ++i)
        article += (i ? "<br>\n" : "") + blocks[i];
    return article;
}

std::string phraseArticle(const Phrase& p) {
    std::string article = "<b>" + htmlText(trimmed(p.tagalog)) + "</b>";
    if (!trimmed(p.topic).empty())
        article += "<br>\n<i>Topic:</i> " + htmlText(trimmed(p.topic));
    return article;
}

std::vector<std::string> dictionarySynonyms(const DictionaryEntry& e) {
    std::vector<std::string> out;
    const std::string headword = trimmed(e.headword);
    addSpellings(out, headword);
    for (const std::string* field : {&e.activeVerb, &e.passiveVerb})
        for (const std::string& form : verbForms(*field)) {
            out.push_back(form);
            addSpellings(out, form);
        }
    for (const std::string& w : tagalog::englishWords(e.english))
        if (!isCommonWord(w) && !allDigits(w))
            out.push_back(w);
    return out;
}

std::vector<std::string> phraseSynonyms(const Phrase& p) {
    std::vector<std::string> out;
    const std::string english = withoutClosingPunctuation(p.english);
    if (english != trimmed(p.english))
        out.push_back(english);
    const std::string tagalog = trimmed(p.tagalog);
    out.push_back(tagalog);
    if (withoutClosingPunctuation(tagalog) != tagalog)
        out.push_back(withoutClosingPunctuation(tagalog));
    return out;
}

void exportStarDict(const ExportSource& source,
                    const std::vector<std::pair<std::string, std::string>>& variants,
                    const std::filesystem::path& folder, std::ostream& messages) {
    const bool dictionary = source.kind() == ExportSource::Kind::Dictionary;
    StarDictWriter writer;
    size_t replaced = 0;
    size_t shortened = 0;
    size_t empty = 0;
    // The entries of each headword, by its spelling without stress marks, for the variants.
    std::map<std::string, std::vector<size_t>> byPlainHeadword;
    for (long long r = 0; r < source.count(); ++r) {
        DictionaryEntry e;
        Phrase p;
        if (dictionary)
            e = source.entry(r);
        else
            p = source.phrase(r);
        const StarDictWord word = stardictWord(dictionary ? e.headword : p.english);
        if (word.text.empty()) {
            ++empty;
            continue;
        }
        replaced += word.replaced;
        shortened += word.shortened;
        const size_t entry =
            writer.addEntry(word.text, dictionary ? dictionaryArticle(e) : phraseArticle(p));
        for (const std::string& s : dictionary ? dictionarySynonyms(e) : phraseSynonyms(p))
            writer.addSynonym(s, entry);
        if (dictionary)
            byPlainHeadword[tagalog::plainSpelling(word.text)].push_back(entry);
    }
    if (dictionary)
        for (const auto& [variant, headword] : variants) {
            const auto it = byPlainHeadword.find(tagalog::plainSpelling(trimmed(headword)));
            if (it != byPlainHeadword.end())
                for (const size_t entry : it->second)
                    writer.addSynonym(variant, entry);
        }

    const std::string name = tableFileName(source.name());
    StarDictInfo info;
    if (dictionary) {
        info.bookName = "Wikabay Tagalog–English";
        info.description = "Tagalog–English dictionary of Wikabay: each Tagalog word with its "
                           "verb forms, its English meaning, a definition in Tagalog, examples "
                           "and notes. Verb forms, English words and other spellings lead to "
                           "the entry.";
    } else {
        info.bookName = "Wikabay phrase book (English–Tagalog)";
        info.description = "Everyday expressions in English with their Tagalog, by topic, from "
                           "Wikabay's phrase book. The Tagalog leads to its expression too.";
    }
    // Another table of the alias is told apart from the bundled one in the reader's list.
    if (source.name() != (dictionary ? "Tagalog" : "Expressions1"))
        info.bookName += " (" + source.name() + ")";
    const StarDictCounts counts = writer.write(folder, name, info);
    messages << "wikabay-admin: " << counts.words << " entries and " << counts.synonyms
             << " further words written to '" << (folder / (name + ".ifo")).string() << "'\n";
    if (replaced > 0)
        messages << "wikabay-admin: " << replaced << (replaced == 1 ? " headword" : " headwords")
                 << " held a tab or line break, which StarDict does not allow: replaced by a "
                    "space\n";
    if (shortened > 0)
        messages << "wikabay-admin: " << shortened
                 << (shortened == 1 ? " headword was" : " headwords were") << " longer than "
                 << kStarDictMaxWord << " bytes, which StarDict does not allow: shortened\n";
    if (empty > 0)
        messages << "wikabay-admin: " << empty << (empty == 1 ? " record" : " records")
                 << " without " << (dictionary ? "a headword" : "an English text") << " left out\n";
}

void exportStarDict(const std::string& session, const std::string& alias, const std::string& table,
                    const std::filesystem::path& folder, std::ostream& messages) {
    const ExportSource source(session, alias, table);
    const auto variants = source.kind() == ExportSource::Kind::Dictionary
                              ? readVariants(session, alias, messages)
                              : std::vector<std::pair<std::string, std::string>>();
    exportStarDict(source, variants, folder, messages);
}

} // namespace wk::tools
