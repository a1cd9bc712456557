#!/usr/bin/env python3
"""Writes a made-up Tagalog/English dictionary of N entries for the search benchmark.

The output is deterministic for a given N: the same files come out on every machine that has the
same word lists. Tagalog words come from Debian's myspell-tl list, English words from wamerican;
words are drawn with a Zipf-like frequency, so that a few words are very common (as "ang", "ng"
and "the" are in real text) and most are rare. Field lengths and blank fields follow the bundled
data/Tagalog.csv: each field's length is that of the same field in a randomly chosen real entry.
A few percent of the entries carry an accented headword (á, é, í, ó, ú) or a word with ñ.

    gendict.py N TABLE.csv SEARCHED.tsv

TABLE.csv has the fields of data/Tagalog.csv and is what `wikabay-admin import` reads.
SEARCHED.tsv holds the six fields the dictionary window searches, one entry per line (tabs and
line breaks inside a value become spaces), for the baseline text search.
"""

import bisect
import csv
import itertools
import os
import random
import sys

TAGALOG_LIST = "/usr/share/hunspell/tl.dic"
ENGLISH_LIST = "/usr/share/dict/american-english"
SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "Tagalog.csv")

FIELDS = ["Tagalo", "ActiveVerb", "PassiveVerb", "English", "L2Definition", "Examples", "Notes"]
SEARCHED = ["Tagalo", "English", "ActiveVerb", "PassiveVerb", "L2Definition", "Examples"]

# The most frequent words of each language lead the ranking, as they do in running text.
TAGALOG_COMMON = ["ang", "ng", "sa", "na", "mga", "ay", "at", "si", "ko", "mo", "niya", "siya",
                  "ito", "hindi", "may", "para", "kung", "ka", "din", "pa", "nang", "ni", "ako"]
ENGLISH_COMMON = ["the", "a", "to", "of", "and", "is", "in", "it", "you", "that", "he", "was",
                  "for", "on", "are", "with", "as", "his", "they", "at", "be", "this", "from"]

ACCENTED = {"a": "á", "e": "é", "i": "í", "o": "ó", "u": "ú"}


def tagalog_words():
    words = []
    with open(TAGALOG_LIST, encoding="latin-1") as f:
        next(f)  # the first line holds the number of words
        for line in f:
            word = line.strip().split("/", 1)[0]
            if word and not word.isdigit():
                words.append(word)
    return words


def english_words():
    with open(ENGLISH_LIST, encoding="utf-8") as f:
        return [w for w in (line.strip() for line in f) if w and not w.endswith("'s")]


def sample_lengths():
    """Per field, the lengths of that field over the real entries (0 for a blank field)."""
    with open(SAMPLE, encoding="utf-8", newline="") as f:
        rows = list(csv.DictReader(f))
    return [{name: len(row[name]) for name in FIELDS} for row in rows]


class Vocabulary:
    """Words drawn with weight 1/rank over a fixed shuffled order."""

    def __init__(self, words, common, rng):
        rest = sorted(set(words) - set(common))
        rng.shuffle(rest)
        self.words = common + rest
        self.cumulative = list(itertools.accumulate(1.0 / (rank + 1) for rank in range(len(self.words))))

    def draw(self, rng, k):
        return rng.choices(self.words, cum_weights=self.cumulative, k=k)


def with_enye(word):
    """The word spelled with ñ where Tagalog spelling writes "ny" before a vowel (baño, not banyo)."""
    i = word.find("ny")
    if i >= 0 and i + 2 < len(word) and word[i + 2] in "aeiou":
        return word[:i] + "ñ" + word[i + 2 :]
    return None


def accented(word, rng):
    vowels = [i for i, c in enumerate(word) if c in ACCENTED]
    if not vowels:
        return word
    i = vowels[-1] if rng.random() < 0.7 else rng.choice(vowels)
    return word[:i] + ACCENTED[word[i]] + word[i + 1 :]


def text_of_length(vocab, rng, length, capital=True, end="."):
    """Words from `vocab` up to about `length` characters, as a sentence."""
    if length <= 0:
        return ""
    words, size = [], 0
    while size < length:
        for w in vocab.draw(rng, 6):
            if size and size + len(w) + 1 > length + 3:
                size = length
                break
            words.append(w)
            size += len(w) + (1 if len(words) > 1 else 0)
            if size >= length:
                break
    text = " ".join(words)
    if capital:
        text = text[:1].upper() + text[1:]
    return text + end


class Generator:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.tl = Vocabulary(tagalog_words(), TAGALOG_COMMON, self.rng)
        self.en = Vocabulary(english_words(), ENGLISH_COMMON, self.rng)
        self.lengths = sample_lengths()
        self.enye = [w for w in (with_enye(w) for w in self.tl.words) if w]
        self.enye.append("Malacañang")

    def tagalog_text(self, length, end="."):
        text = text_of_length(self.tl, self.rng, length, end=end)
        if text and self.rng.random() < 0.01:
            words = text.split(" ")
            words[self.rng.randrange(len(words))] = self.rng.choice(self.enye)
            text = " ".join(words)
        return text

    def example(self, length):
        """One or two lines "Tagalog sentence. — English sentence."."""
        if length <= 0:
            return ""
        lines = 2 if length > 110 and self.rng.random() < 0.6 else 1
        out = []
        for _ in range(lines):
            half = max(8, length // lines // 2 - 2)
            out.append(self.tagalog_text(half) + " — " + text_of_length(self.en, self.rng, half))
        return "\n".join(out)

    def entry(self):
        rng = self.rng
        shape = rng.choice(self.lengths)
        head = self.tl.draw(rng, 1)[0]
        if rng.random() < 0.01:
            head = rng.choice(self.enye)
        elif rng.random() < 0.02:
            head = accented(head, rng)
        if head[:1] in "aeiou":
            active, passive = "mag-" + head, head + "in"
        else:
            active, passive = head[0] + "um" + head[1:], head + "in"
        return {
            "Tagalo": head,
            "ActiveVerb": active if shape["ActiveVerb"] else "",
            "PassiveVerb": passive if shape["PassiveVerb"] else "",
            "English": text_of_length(self.en, rng, shape["English"], capital=False, end="")
            .replace(" ", ", ", 1 if rng.random() < 0.4 else 0),
            "L2Definition": self.tagalog_text(shape["L2Definition"]),
            "Examples": self.example(shape["Examples"]),
            "Notes": text_of_length(self.en, rng, shape["Notes"]),
        }


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: gendict.py N TABLE.csv SEARCHED.tsv")
    n = int(sys.argv[1])
    gen = Generator(seed=20240601)
    with open(sys.argv[2], "w", encoding="utf-8", newline="") as table, open(
        sys.argv[3], "w", encoding="utf-8", newline="\n"
    ) as searched:
        out = csv.writer(table, lineterminator="\n")
        out.writerow(FIELDS)
        for _ in range(n):
            e = gen.entry()
            out.writerow([e[f] for f in FIELDS])
            searched.write(
                "\t".join(e[f].replace("\t", " ").replace("\n", " ") for f in SEARCHED) + "\n"
            )


if __name__ == "__main__":
    main()
