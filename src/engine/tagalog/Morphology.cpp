#include "engine/tagalog/Morphology.h"

#include "engine/base/AsciiText.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <queue>
#include <unordered_map>
#include <utility>

namespace wk::engine::tagalog {
namespace {

#include "engine/tagalog/AffixRules.inc"

constexpr size_t kMaxWordBytes = 64;
constexpr int kMaxSteps = 5;         // affixes and changes combined on one path
constexpr size_t kMaxVisits = 1200;  // forms expanded per word
constexpr size_t kMaxStates = 20000; // forms generated per word
constexpr size_t kMinStemBytes = 3;

bool isVowel(char c) {
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
}

/// The sound units of a stem: one ASCII letter, "ng" as one consonant, or one whole multi-byte
/// character (ñ), so that no step ever cuts a character in two.
std::vector<std::string_view> unitsOf(std::string_view s) {
    std::vector<std::string_view> units;
    size_t i = 0;
    while (i < s.size()) {
        size_t len = 1;
        if (s[i] == 'n' && i + 1 < s.size() && s[i + 1] == 'g') {
            len = 2;
        } else if (static_cast<unsigned char>(s[i]) >= 0x80) {
            while (i + len < s.size() && (static_cast<unsigned char>(s[i + len]) & 0xC0) == 0x80)
                ++len;
        }
        units.push_back(s.substr(i, len));
        i += len;
    }
    return units;
}

bool isVowelUnit(std::string_view u) {
    return u.size() == 1 && isVowel(u[0]);
}
bool isConsonantUnit(std::string_view u) {
    return !isVowelUnit(u) && u != "-" && u != "'";
}

int vowelCount(std::string_view s) {
    return static_cast<int>(std::count_if(s.begin(), s.end(), isVowel));
}

/// Whether a stem may begin with its first units: a vowel, one consonant, or a two-consonant onset
/// of the loanwords (plano, prito, tsaa, dyip, kwento).
bool beginsWell(const std::vector<std::string_view>& u) {
    if (u.size() < 2 || !isConsonantUnit(u[0]) || !isConsonantUnit(u[1]))
        return true;
    return u[1] == "l" || u[1] == "r" || u[1] == "y" || u[1] == "w" || (u[0] == "t" && u[1] == "s");
}

/// Whether every hyphen of `s` joins two parts of two sounds or more (nag-aral, not g-aral).
bool hyphensJoinParts(std::string_view s) {
    const auto units = unitsOf(s);
    size_t sinceHyphen = 0;
    for (const auto u : units) {
        if (u == "-") {
            if (sinceHyphen < 2)
                return false;
            sinceHyphen = 0;
        } else {
            ++sinceHyphen;
        }
    }
    return sinceHyphen >= 2;
}

/// The byte offset where unit `k` of `units` (taken from `s`) begins.
size_t offsetOf(std::string_view s, const std::vector<std::string_view>& units, size_t k) {
    return k < units.size() ? static_cast<size_t>(units[k].data() - s.data()) : s.size();
}

bool fitsBefore(Before before, std::string_view rest) {
    const auto units = unitsOf(rest);
    if (units.empty())
        return false;
    const std::string_view u = units.front();
    switch (before) {
    case Before::Any:
        return true;
    case Before::Consonant:
        return isConsonantUnit(u);
    case Before::Coronal:
        return u == "d" || u == "l" || u == "r" || u == "s" || u == "t";
    case Before::Labial:
        return u == "b" || u == "p";
    case Before::LorY:
        return u == "l" || u == "y";
    }
    return false;
}

/// The vowels to try where one was lost, the one heard just before first.
std::string vowelsToTry(char preferred) {
    std::string order;
    const auto take = [&order](char v) {
        if (order.find(v) == std::string::npos)
            order += v;
    };
    if (isVowel(preferred))
        take(preferred);
    if (preferred == 'u' || preferred == 'o') // one sound in native roots: sunod, sundin
        take(preferred == 'u' ? 'o' : 'u');
    for (const char v : std::string_view("aioue"))
        take(v);
    return order;
}

/// What it would cost to take off a first syllable said twice that a stem still seems to begin
/// with, leaving two syllables or more (kakain, aaral, darasal), or 0.
double reduplicationLook(std::string_view stem) {
    const auto u = unitsOf(stem);
    size_t cut = 0;
    double cost = kReduplication;
    if (u.size() >= 3 && isVowelUnit(u[0]) && u[1] == u[0]) {
        cut = 1;
    } else if (u.size() >= 4 && isConsonantUnit(u[0]) && isVowelUnit(u[1]) && u[3] == u[1]) {
        if (u[2] == u[0])
            cut = 2;
        else if (u[0] == "d" && u[2] == "r")
            cut = 2, cost += kSoundChange;
    }
    return cut > 0 && vowelCount(stem.substr(offsetOf(stem, u, cut))) >= 2 ? cost : 0.0;
}

/// The stem without the -in- or -um- it still seems to hold, when two syllables are left (kinaka,
/// not rinig), or empty.
std::string withoutInfix(std::string_view stem) {
    const auto u = unitsOf(stem);
    std::string inner;
    if (u.size() > 4 && isConsonantUnit(u[0]) && (u[1] == "i" || u[1] == "u") &&
        (u[2] == "n" || u[2] == "m") && isVowelUnit(u[3]))
        inner = std::string(u[0]) + std::string(stem.substr(offsetOf(stem, u, 3)));
    else if (u.size() > 3 && u[0] == "u" && u[1] == "m" && isVowelUnit(u[2]))
        inner = std::string(stem.substr(2));
    return vowelCount(inner) >= 2 ? inner : std::string();
}

/// The cost of the longest prefix a stem still seems to begin with (nagkaibig, pag-aralan), or 0.
double prefixLook(std::string_view stem) {
    double cost = 0;
    for (const auto& p : kPrefixes) {
        if (!stem.starts_with(p.text) || stem.size() <= p.text.size())
            continue;
        const std::string_view rest = stem.substr(p.text.size());
        const bool hyphen = rest.front() == '-' && p.text.size() > 1;
        if (hyphen || (p.text.size() >= 3 && p.before == Before::Any && vowelCount(rest) >= 2 &&
                       beginsWell(unitsOf(rest))))
            cost = std::max(cost, p.cost);
    }
    return cost;
}

/// A form on the way from the word to a root, with what was taken off to reach it.
struct State {
    std::string stem;
    std::string how;
    double cost = 0;
    int steps = 0;
    int prefixes = 0;
    int redups = 0;
    bool infixIn = false;
    bool infixUm = false;
    bool suffix = false;
    bool maNa = false;  // ma-/na- taken; the root may begin with pa-
    bool nasal = false; // a nasal that may have taken the root's first sound is still in front

    std::string key() const {
        const char flags = static_cast<char>('A' + (infixIn || infixUm) + 2 * suffix + 4 * maNa +
                                             8 * nasal + 16 * (redups > 0));
        return stem + '\0' + flags;
    }
};

/// How much less likely `stem`, reached by `s`, is as a root than as a stem on the way to one;
/// below zero when it cannot be a root at all. Each penalty for a stem that still looks affixed
/// is a little above the cost of taking that affix off, so that the root comes first.
double rootPenalty(const std::string& stem, const State& s) {
    const auto units = unitsOf(stem);
    const size_t n = units.size();
    const int vowels = vowelCount(stem);
    if (vowels < 2 && n <= 3)
        return -1; // the short words of one syllable are particles
    double penalty = vowels < 2 ? 1.0 : 0.0;
    if (n >= 2 && isConsonantUnit(units[n - 1]) && isConsonantUnit(units[n - 2]))
        penalty += 1.6; // roots end in one consonant at most: sasaky is no root
    if (stem.back() == 'h')
        penalty += 1.0;
    if (!beginsWell(units))
        penalty += 0.5;
    const double reduplication = reduplicationLook(stem);
    const bool reduplicated = reduplication > 0;
    if (reduplicated)
        penalty += reduplication + 0.1;
    const bool endsLikeSuffix =
        !s.suffix && vowels >= 3 && (stem.ends_with("in") || stem.ends_with("an"));
    if (endsLikeSuffix)
        penalty += 1.4; // long roots seldom end in -in or -an: bayaran is bayad's
    if (endsLikeSuffix && (s.redups > 0 || reduplicated))
        penalty += 1.5; // a reduplicated form mostly has its suffix too: sasakyan
    if (!s.suffix && (stem.ends_with("in") || stem.ends_with("an")) && n >= 4 &&
        isConsonantUnit(units[n - 3]) && isConsonantUnit(units[n - 4]))
        penalty += 1.7; // a vowel dropped before a suffix: sakyan is sakay's
    if (const std::string inner = withoutInfix(stem); !inner.empty())
        penalty +=
            kInfix + 0.1 + (reduplicationLook(inner) > 0 ? reduplicationLook(inner) + 0.1 : 0.0);
    if (const double prefix = prefixLook(stem); prefix > 0)
        penalty += prefix + 0.1;
    if (std::any_of(std::begin(kIrregulars), std::end(kIrregulars),
                    [&](const IrregularForm& f) { return f.form == stem && !f.afterAffix; }))
        penalty += kIrregular + 0.1; // kunin is kuha's
    return penalty;
}

/// Whether the first of two consonants after prefix `p` rather ends a longer prefix: ipinag-luto,
/// never ipina-gluto.
bool longerPrefixFits(const PrefixRule& p, const std::vector<std::string_view>& rest) {
    if (rest.size() < 2 || !isConsonantUnit(rest[0]) || !isConsonantUnit(rest[1]))
        return false;
    const std::string longer = std::string(p.text) + std::string(rest[0]);
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](const PrefixRule& q) { return q.text == longer; });
}

class Search {
public:
    explicit Search(std::string word) : word_(std::move(word)) {}

    std::vector<RootCandidate> run() {
        State start;
        start.stem = word_;
        add(std::move(start));
        size_t visits = 0;
        while (!queue_.empty() && visits < kMaxVisits) {
            const auto [cost, index] = queue_.top();
            queue_.pop();
            if (best_[states_[index].key()] < cost)
                continue; // reached more cheaply since
            ++visits;
            const State s = states_[index];
            if (s.steps > 0)
                emit(s);
            if (s.steps < kMaxSteps)
                expand(s);
        }
        std::vector<std::pair<const std::string*, const Found*>> ranked;
        for (const auto& [root, found] : found_)
            ranked.push_back({&root, &found});
        std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
            return std::pair(a.second->score, a.second->order) <
                   std::pair(b.second->score, b.second->order);
        });
        std::vector<RootCandidate> out;
        for (const auto& [root, found] : ranked)
            out.push_back({*root, found->how});
        return out;
    }

private:
    struct Found {
        double score;
        size_t order;
        std::string how;
    };

    static State child(const State& s, std::string stem, double cost, std::string_view how) {
        State c = s;
        c.stem = std::move(stem);
        c.cost = s.cost + cost;
        c.steps = s.steps + 1;
        c.how = s.how.empty() ? std::string(how) : s.how + ", " + std::string(how);
        c.maNa = c.nasal = false; // only a reduplication keeps them open
        return c;
    }

    void add(State&& s) {
        if (s.stem.size() < kMinStemBytes || vowelCount(s.stem) == 0 ||
            states_.size() >= kMaxStates || !hyphensJoinParts(s.stem))
            return;
        const std::string key = s.key();
        const auto it = best_.find(key);
        if (it != best_.end() && it->second <= s.cost)
            return;
        best_[key] = s.cost;
        queue_.push({s.cost, states_.size()});
        states_.push_back(std::move(s));
    }

    void emit(const State& s) {
        if (s.stem == word_)
            return;
        const double penalty = rootPenalty(s.stem, s);
        if (penalty < 0)
            return;
        const double score = s.cost + penalty;
        const auto it = found_.find(s.stem);
        if (it != found_.end() && it->second.score <= score)
            return;
        found_[s.stem] = Found{score, it != found_.end() ? it->second.order : found_.size(), s.how};
    }

    void expand(const State& s) {
        prefixes(s);
        if (!s.infixIn && !s.infixUm && s.redups == 0)
            infixes(s); // an infix goes into the first syllable, before one said twice
        if (s.redups < 2)
            reduplication(s);
        if (!s.suffix)
            suffixes(s);
        // the root's own first sound comes after any reduplication: nakikinig, namimili
        const bool reduplicated = reduplicationLook(s.stem) > 0;
        if (s.maNa && !reduplicated)
            add(child(s, "pa" + s.stem, kPaRoot, "root with pa-"));
        if (s.nasal && !reduplicated)
            nasalSound(s);
        for (const auto& irregular : kIrregulars) {
            if (s.stem == irregular.form && (!irregular.afterAffix || s.steps > 0))
                add(child(s, std::string(irregular.root), kIrregular, irregular.how));
        }
    }

    void prefixes(const State& s) {
        if (s.prefixes >= 3)
            return;
        for (const auto& p : kPrefixes) {
            if (!s.stem.starts_with(p.text))
                continue;
            std::string_view rest = std::string_view(s.stem).substr(p.text.size());
            const bool hyphen = rest.starts_with('-');
            if (hyphen)
                rest.remove_prefix(1);
            const auto restUnits = unitsOf(rest);
            if (!fitsBefore(p.before, rest) || !beginsWell(restUnits) ||
                longerPrefixFits(p, restUnits) || rest.starts_with(p.text) ||
                (s.redups > 0 && p.text.starts_with('i')))
                continue; // a prefix said twice is a reduplication: papasukin; i- never is
            State c = child(s, std::string(rest), p.cost, p.how);
            c.prefixes = s.prefixes + 1;
            const bool outermost = s.prefixes == 0 && !s.infixIn && !s.infixUm;
            c.maNa = outermost && p.flow == Flow::MaNa;
            c.nasal = outermost && p.flow != Flow::Plain;
            // d becomes r after a prefix that ends in a vowel: makaramdam, from damdam
            if (!hyphen && isVowel(p.text.back()) && rest.size() > 1 && rest[0] == 'r' &&
                isVowel(rest[1])) {
                State d = c;
                d.stem.assign(1, 'd');
                d.stem.append(rest.substr(1));
                d.cost += kInitialDToR;
                d.how += " (d became r)";
                add(std::move(d));
            }
            add(std::move(c));
        }
    }

    /// -um- and -in- after the first consonant (or a two-consonant onset such as pr), or at the
    /// very front before a vowel.
    void infixes(const State& s) {
        const std::string_view stem = s.stem;
        const auto u = unitsOf(stem);
        std::vector<size_t> positions = {0};
        if (!u.empty() && isConsonantUnit(u[0]))
            positions = {1};
        if (u.size() > 1 && isConsonantUnit(u[0]) &&
            (u[1] == "l" || u[1] == "r" || u[1] == "y" || u[1] == "w"))
            positions.push_back(2);
        for (const size_t k : positions) {
            if (k + 2 >= u.size())
                continue;
            // after the infix comes a vowel, or the rest of an onset: p-in-rito, t-in-rabaho
            const bool onset = k == 1 && k + 3 < u.size() && isConsonantUnit(u[k + 2]) &&
                               beginsWell({u[0], u[k + 2]}) && isVowelUnit(u[k + 3]);
            if (!isVowelUnit(u[k + 2]) && !onset)
                continue;
            const bool um = u[k] == "u" && u[k + 1] == "m";
            const bool in = u[k] == "i" && u[k + 1] == "n";
            if (!um && !in)
                continue;
            std::string stripped = std::string(stem.substr(0, offsetOf(stem, u, k))) +
                                   std::string(stem.substr(offsetOf(stem, u, k + 2)));
            State c = child(s, std::move(stripped), kInfix, um ? "-um-" : "-in- completed");
            (um ? c.infixUm : c.infixIn) = true;
            add(std::move(c));
        }
    }

    /// The first syllable said twice (kakain, aaral, piprito, darating with d become r), or a whole
    /// word said twice across a hyphen (sira-sira, halu-halo).
    void reduplication(const State& s) {
        const std::string_view stem = s.stem;
        const auto u = unitsOf(stem);
        const auto drop = [&](size_t k, std::string front, double extra, std::string_view how) {
            State c = child(s, front + std::string(stem.substr(offsetOf(stem, u, k))),
                            kReduplication + extra, how);
            c.redups = s.redups + 1;
            c.maNa = s.maNa;
            c.nasal = s.nasal;
            add(std::move(c));
        };
        const auto at = [&](size_t i) { return i < u.size() ? u[i] : std::string_view(); };
        if (isVowelUnit(at(0)) && at(1) == at(0))
            drop(1, "", 0, "reduplicated");
        if (isConsonantUnit(at(0)) && isVowelUnit(at(1))) {
            if (at(2) == at(0) && at(3) == at(1))
                drop(2, "", 0, "reduplicated");
            else if (at(2) == at(0) && isConsonantUnit(at(3)) && at(4) == at(1))
                drop(2, "", 0, "reduplicated");
            else if (at(0) == "d" && at(2) == "r" && at(3) == at(1))
                drop(3, "d", kSoundChange, "reduplicated (d became r)");
        }
        if (isConsonantUnit(at(0)) && isConsonantUnit(at(1)) && isVowelUnit(at(2)) &&
            at(3) == at(0) && at(4) == at(1) && at(5) == at(2))
            drop(3, "", 0, "reduplicated");
        const size_t hyphen = stem.find('-');
        if (hyphen != std::string_view::npos &&
            stem.find('-', hyphen + 1) == std::string_view::npos) {
            const std::string_view first = stem.substr(0, hyphen);
            const std::string_view second = stem.substr(hyphen + 1);
            const bool same = first == second;
            const bool uToO =
                first.size() == second.size() && first.ends_with('u') && second.ends_with('o') &&
                first.substr(0, first.size() - 1) == second.substr(0, second.size() - 1);
            if (same || uToO) {
                State c = child(s, std::string(second), kReduplication, "repeated");
                c.redups = s.redups + 1;
                add(std::move(c));
            }
        }
    }

    void suffixes(const State& s) {
        for (const auto& sf : kSuffixes) {
            if (!s.stem.ends_with(sf.text) || s.stem.size() <= sf.text.size())
                continue;
            const std::string base = s.stem.substr(0, s.stem.size() - sf.text.size());
            const auto u = unitsOf(base);
            if (vowelCount(base) == 0 || !(isVowelUnit(u.back()) || isConsonantUnit(u.back())))
                continue;
            const auto variant = [&](std::string root, double extra, std::string_view change) {
                std::string how(sf.how);
                if (!change.empty())
                    how += " (" + std::string(change) + ")";
                State c = child(s, std::move(root), sf.cost + extra, how);
                c.suffix = true;
                add(std::move(c));
            };
            const bool vowelFinal = isVowelUnit(u.back());
            const size_t lastVowel = base.find_last_of("aeiou");
            const bool uBeforeSuffix = base[lastVowel] == 'u';
            std::string oForU = base;
            oForU[lastVowel] = 'o';
            if (sf.kind == SuffixKind::OnlyAfterVowel && !vowelFinal)
                continue;
            const bool rFinal =
                base.size() > 1 && base.back() == 'r' && isVowel(base[base.size() - 2]);
            const double keptU = uBeforeSuffix ? kUnchanged : 0.0;
            const double keptR = rFinal && !vowelFinal ? kUnchanged : 0.0;
            if (vowelFinal || sf.kind == SuffixKind::AfterConsonant) {
                // -in and -an after a vowel: only roots that end in a glottal stop (sirain)
                const double glottal =
                    vowelFinal && sf.kind == SuffixKind::AfterConsonant ? 0.2 : 0.0;
                variant(base, keptU + keptR + glottal, "");
                if (uBeforeSuffix)
                    variant(oForU, kExpectedChange + keptR + glottal, "o became u");
            }
            if (vowelFinal)
                continue;
            if (sf.kind == SuffixKind::AfterVowel) { // bilhin, labhan: a last vowel dropped
                double extra = kRestoredVowel;
                for (const char v : vowelsToTry(base[lastVowel]))
                    variant(base + v, extra += kVowelStep, "dropped vowel");
                continue;
            }
            if (rFinal) {
                std::string dForR = base;
                dForR.back() = 'd';
                variant(dForR, kExpectedChange + keptU, "d became r");
                if (uBeforeSuffix) {
                    std::string both = oForU;
                    both.back() = 'd';
                    variant(both, 2 * kExpectedChange, "o became u, d became r");
                }
            }
            const size_t n = u.size();
            if (n >= 3 && isConsonantUnit(u[n - 1]) && isConsonantUnit(u[n - 2])) {
                // buksan, tingnan, sundin: a vowel between the last two consonants dropped;
                // dinggin and pakinggan write "ng" for the n before g
                const bool ngg = u[n - 2] == "ng" && u[n - 1] == "g";
                const std::string head = base.substr(0, offsetOf(base, u, n - 2));
                double extra = kRestoredVowel;
                for (const char v : vowelsToTry(base[lastVowel]))
                    variant(head + std::string(ngg ? "n" : u[n - 2]) + v + std::string(u[n - 1]),
                            extra += kVowelStep, "dropped vowel");
            }
            // simulan: the last vowel of a long root merged into the suffix
            if (n >= 2 && isVowelUnit(u[n - 2]) && vowelCount(base) >= 2) {
                double extra = kMergedVowel;
                for (const char v : vowelsToTry('a'))
                    variant(base + v, extra += kVowelStep, "merged vowel");
            }
        }
    }

    /// The nasal of maN-/paN- took the root's first sound: mamili (pili, bili), manahi (tahi),
    /// mangisda (isda).
    void nasalSound(const State& s) {
        const auto u = unitsOf(s.stem);
        if (u.size() < 2 || !isVowelUnit(u[1]))
            return;
        const std::string rest = s.stem.substr(u[0].size());
        std::vector<std::pair<std::string, std::string_view>> sounds;
        if (u[0] == "m")
            sounds = {{"p", "mang-, p became m"}, {"b", "mang-, b became m"}};
        else if (u[0] == "n")
            sounds = {
                {"t", "mang-, t became n"}, {"s", "mang-, s became n"}, {"d", "mang-, d became n"}};
        else if (u[0] == "ng")
            sounds = {{"", "mang-"}, {"k", "mang-, k became ng"}};
        double extra = 0.6;
        for (const auto& [sound, how] : sounds) {
            add(child(s, sound + rest, extra, how));
            extra += 0.05;
        }
    }

    std::string word_;
    std::vector<State> states_;
    std::unordered_map<std::string, double> best_;
    std::priority_queue<std::pair<double, size_t>, std::vector<std::pair<double, size_t>>,
                        std::greater<>>
        queue_;
    std::map<std::string, Found> found_;
};

/// The word in lower case, or nothing when it holds a character no Tagalog word has.
std::optional<std::string> normalized(std::string_view word) {
    if (word.empty() || word.size() > kMaxWordBytes)
        return std::nullopt;
    std::string out;
    for (const char c : word) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 'A' && b <= 'Z')
            out += asciiLower(c);
        else if ((b >= 'a' && b <= 'z') || b >= 0x80 || c == '-' || c == '\'')
            out += c;
        else
            return std::nullopt;
    }
    return out;
}

} // namespace

std::vector<RootCandidate> candidateRoots(std::string_view word) {
    const auto w = normalized(word);
    if (!w)
        return {};
    return Search(*w).run();
}

std::vector<RootCandidate> rootsAmong(std::string_view word,
                                      const std::function<bool(std::string_view)>& isHeadword) {
    std::vector<RootCandidate> out;
    for (auto& candidate : candidateRoots(word))
        if (isHeadword(candidate.root))
            out.push_back(std::move(candidate));
    return out;
}

} // namespace wk::engine::tagalog
