#pragma once

// The bundled dictionary (data/Tagalog.csv) as the tagalog tests read it, and a small conjugator
// that makes the regular forms of its verbs.

#include "common/Csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace wk::engine::tagalog::test {

using Headwords = std::set<std::string, std::less<>>;
using wk::testing::readCsvFile;

inline std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

struct Dictionary {
    Headwords headwords;
    struct Verb {
        std::string root, active, passive;
    };
    std::vector<Verb> verbs;
    std::vector<std::string> others; // headwords that are no verb's root
};

inline Dictionary loadDictionary() {
    const auto records =
        readCsvFile(std::filesystem::path(WIKABAY_SOURCE_DIR) / "data" / "Tagalog.csv");
    Dictionary d;
    if (records.empty() || records.front().size() < 3 || records.front()[0] != "Tagalo" ||
        records.front()[1] != "ActiveVerb" || records.front()[2] != "PassiveVerb") {
        ADD_FAILURE() << "data/Tagalog.csv does not begin with Tagalo,ActiveVerb,PassiveVerb";
        return d;
    }
    for (size_t i = 1; i < records.size(); ++i) {
        const auto& r = records[i];
        if (r.size() < 3 || r[0].empty())
            continue;
        const std::string head = lower(r[0]);
        d.headwords.insert(head);
        if (!r[1].empty() && !r[2].empty())
            d.verbs.push_back({head, lower(r[1]), lower(r[2])});
        else if (r[1].empty() && r[2].empty())
            d.others.push_back(head);
    }
    return d;
}

// A small conjugator of the tests' own, from a verb's root and its two given forms, written
// independently of the analyzer.

inline bool vowel(char c) {
    return std::string_view("aeiou").find(c) != std::string_view::npos;
}

// The syllable said twice: the first consonant ("ng" counts as one) and the first vowel.
inline std::string redup(const std::string& w) {
    std::string head;
    size_t i = 0;
    if (w.starts_with("ng"))
        head = "ng", i = 2;
    else if (!w.empty() && !vowel(w[0]))
        head = w.substr(0, 1), i = 1;
    while (i < w.size() && !vowel(w[i]))
        ++i;
    return head + (i < w.size() ? std::string(1, w[i]) : "") + w;
}

inline std::string withInfix(const std::string& w, const std::string& infix) {
    if (w.empty() || vowel(w[0]))
        return infix + w;
    if (infix == "in" && (w[0] == 'l' || w[0] == 'y'))
        return "ni" + w;
    const size_t k = w.starts_with("ng") ? 2 : 1;
    return w.substr(0, k) + infix + w.substr(k);
}

// The completed, ongoing and contemplated forms of `prefix` + `y` for a prefix whose completed
// form begins with n- (mag-, ma-, maka-, man-...).
inline void nPrefixed(std::vector<std::string>& out, const std::string& prefix, std::string y) {
    std::string hyphen;
    if (y.starts_with("-"))
        hyphen = "-", y = y.substr(1);
    const std::string done = "n" + prefix.substr(1) + hyphen;
    out.push_back(done + y);
    out.push_back(done + redup(y));
    out.push_back(prefix + hyphen + redup(y));
    if (prefix == "maka") { // colloquial: the prefix's ka- said twice
        out.push_back("nakaka" + y);
        out.push_back("makaka" + y);
    }
}

inline std::vector<std::string> activeForms(const std::string& root, const std::string& active) {
    std::vector<std::string> out = {active};
    if (active == withInfix(root, "um")) {
        out.push_back(withInfix(redup(root), "um"));
        out.push_back(redup(root));
        return out;
    }
    std::string prefix;
    for (const std::string p : {"makapag", "makipag", "maka", "mag", "man", "ma"}) {
        std::string rest = active.substr(std::min(p.size(), active.size()));
        if (rest.starts_with("-"))
            rest = rest.substr(1);
        if (active.starts_with(p) && rest == root) {
            prefix = p;
            break;
        }
    }
    if (prefix.empty()) // the root changed inside the verb: makaramdam, mamili, makinig
        for (const std::string p : {"makapag", "makipag", "maka", "mag", "ma"})
            if (active.starts_with(p)) {
                prefix = p;
                break;
            }
    if (prefix.empty())
        return out;
    if (prefix == "makapag" || prefix == "makipag") { // nakakapag-, nakikipag-
        const std::string y = active.substr(prefix.size());
        const std::string again = prefix.substr(2, 2) + prefix.substr(2);
        out.insert(out.end(), {"na" + prefix.substr(2) + y, "na" + again + y, "ma" + again + y});
        return out;
    }
    nPrefixed(out, prefix, active.substr(prefix.size()));
    return out;
}

// The d of a root after its reduplicated syllable is also written r: dumarating beside
// dumadating, nagdarasal beside nagdadasal.
inline void addDBecomesR(std::vector<std::string>& forms, const std::string& root) {
    if (!root.starts_with("d"))
        return;
    const size_t n = forms.size();
    for (size_t i = 0; i < n; ++i) {
        const std::string& f = forms[i];
        const size_t at = f.find(root, 1);
        if (at == std::string::npos || at < 2 || !vowel(f[at - 1]))
            continue;
        if (f[at - 2] == 'd' || (at >= 4 && (f.compare(at - 4, 3, "dum") == 0))) {
            std::string r = forms[i];
            r[at] = 'r';
            forms.push_back(std::move(r));
        }
    }
}

inline std::vector<std::string> passiveForms(const std::string& root, const std::string& passive) {
    std::vector<std::string> out = {passive};
    // the passive has prefix `p`, which is not the beginning of the root itself
    const auto starts = [&](const std::string& p) {
        return passive.starts_with(p) && !root.starts_with(p[0] == 'i' ? p.substr(1) : p);
    };
    const bool an = passive.ends_with("an");
    const bool in = passive.ends_with("in");
    if (starts("ma")) {
        nPrefixed(out, "ma", passive.substr(2));
    } else if (starts("ipag") || starts("ika")) {
        const size_t n = passive.starts_with("ipag") ? 4 : 3;
        const std::string y = passive.substr(n);
        const std::string done = "i" + withInfix(passive.substr(1, n - 1), "in");
        out.insert(out.end(), {done + y, done + redup(y), passive.substr(0, n) + redup(y)});
    } else if (passive.starts_with("i") && !root.starts_with("i")) {
        const std::string y = passive.substr(1);
        const bool ini = vowel(y[0]) || y[0] == 'h' || y[0] == 'l' || y[0] == 'y';
        const auto done = [&](const std::string& z) {
            return ini ? "ini" + z : "i" + withInfix(z, "in");
        };
        out.insert(out.end(), {done(y), done(redup(y)), "i" + redup(y)});
    } else if (starts("pag")) {
        std::string y = passive.substr(3);
        std::string hyphen;
        if (y.starts_with("-"))
            hyphen = "-", y = y.substr(1);
        out.insert(out.end(),
                   {"pinag" + hyphen + y, "pinag" + hyphen + redup(y), "pag" + hyphen + redup(y)});
    } else if (an) {
        out.insert(out.end(),
                   {withInfix(passive, "in"), withInfix(redup(passive), "in"), redup(passive)});
    } else if (in) {
        const std::string base = starts("pa") ? "pa" + root : root; // panoorin: pa- + nood
        out.insert(out.end(),
                   {withInfix(base, "in"), withInfix(redup(base), "in"), redup(passive)});
    }
    return out;
}

/// Every regular form of a verb (root, actor-focus and object-focus forms as the dictionary
/// gives them), each once, the root itself left out.
inline std::vector<std::string> conjugations(const Dictionary::Verb& verb) {
    auto all = activeForms(verb.root, verb.active);
    addDBecomesR(all, verb.root);
    for (auto& f : passiveForms(verb.root, verb.passive))
        all.push_back(std::move(f));
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    all.erase(std::remove(all.begin(), all.end(), verb.root), all.end());
    return all;
}

} // namespace wk::engine::tagalog::test
