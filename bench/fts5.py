#!/usr/bin/env python3
"""Times the dictionary window's searches over SQLite's FTS5 with the trigram tokenizer, as a yard
stick for the engine's own search index, on the same entries the engine searches.

    fts5.py --tsv SEARCHED.tsv --n N --db FILE [--rounds R] [--no-rg] [--class NAME]
            [--text TEXT] TEXT...

SEARCHED.tsv is gendict.py's file of the six searched fields, one entry per line. FILE is made
anew: an FTS5 table Tagalog(Tagalo, English, ActiveVerb, PassiveVerb, L2Definition, Examples)
with tokenize='trigram', holding each field upper-cased one character at a time (the simple
mapping, as the engine's Upper does), so that a like pattern in capitals finds exactly what the
window's `Upper(field) like` finds. Texts and classes are given as to wikabay-bench.

For each text the search is the pattern '%TEXT%' (TEXT in capitals) with `like` on each of the six
columns, the row ids of the six joined by UNION, then the first 20 records read, as the window
holds the count and shows the first records. The six joined by OR in one condition would give the
same rows, but SQLite 3.40 then reads the whole table instead of asking the trigram index. The
index serves a pattern with a run of at least 3 characters between wildcards; for any other
pattern FTS5 reads every row (indexed=no). Like wikabay-bench, each search is interleaved with
ripgrep over SEARCHED.tsv for the same text. Prints

    fts5-load N=<n> s=<seconds> db_bytes=<size of FILE>
    fts5 N=<n> text=<t> hits=<count> ms=<median> rg_ms=<median> ratio=<ms/rg_ms> class=<c>
         indexed=<yes|no> rg_hits=<count>
    summary N=<n> texts=<k> p50_ms=<> p95_ms=<> slowest=<t> slowest_ms=<> slowest_ratio=<>
            worst_ratio_text=<t> worst_ratio=<> path=fts5

(each one line), times in milliseconds, medians over the rounds after one round to warm up.
"""

import math
import os
import sqlite3
import subprocess
import sys
import time

FIELDS = ["Tagalo", "English", "ActiveVerb", "PassiveVerb", "L2Definition", "Examples"]
SHOWN_RECORDS = 20
RIPGREP_SPECIAL = set("\\.+*?()|[]{}^$#&-~")


def upper(text):
    """Each character's simple upper-case mapping; one that maps to several is kept as it is."""
    out = []
    for c in text:
        u = c.upper()
        out.append(u if len(u) == 1 else c)
    return "".join(out)


def has_wildcard(text):
    return "%" in text or "_" in text


def like_regex(text):
    """What the like pattern '%text%' matches within one tab-separated field, as a regex."""
    out = []
    for c in text:
        if c == "%":
            out.append("[^\\t]*")
        elif c == "_":
            out.append("[^\\t]")
        else:
            out.append("\\" + c if c in RIPGREP_SPECIAL else c)
    return "".join(out)


def ripgrep(text, tsv):
    """(milliseconds, lines counted) of ripgrep searching `tsv` for what the statement finds."""
    if has_wildcard(text):
        args = ["rg", "-c", "-i", "--", like_regex(text), tsv]
    else:
        args = ["rg", "-c", "-i", "-F", "--", text, tsv]
    start = time.perf_counter()
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    ms = (time.perf_counter() - start) * 1000
    if done.returncode == 1:  # no line matched
        return ms, 0
    if done.returncode != 0:
        raise RuntimeError("rg failed on %r: %s" % (args[-2], done.stderr.decode(errors="replace")))
    return ms, int(done.stdout)


def indexed(pattern):
    """Whether the trigram index can narrow `pattern`: a run of 3 characters between wildcards."""
    run = longest = 0
    for c in pattern:
        run = 0 if c in "%_" else run + 1
        longest = max(longest, run)
    return longest >= 3


def load(tsv, db):
    for path in (db, db + "-journal", db + "-wal"):
        if os.path.exists(path):
            os.remove(path)
    con = sqlite3.connect(db)
    start = time.perf_counter()
    con.execute(
        "CREATE VIRTUAL TABLE Tagalog USING fts5(%s, tokenize='trigram')" % ", ".join(FIELDS)
    )

    def rows():
        with open(tsv, encoding="utf-8", newline="\n") as f:
            for number, line in enumerate(f, 1):
                values = line.rstrip("\n").split("\t")
                if len(values) != len(FIELDS):
                    raise RuntimeError("%s:%d: %d fields" % (tsv, number, len(values)))
                yield [upper(v) for v in values]

    with con:
        con.executemany("INSERT INTO Tagalog VALUES (?, ?, ?, ?, ?, ?)", rows())
    seconds = time.perf_counter() - start
    return con, seconds


def search(con, pattern):
    ids = [
        r[0]
        for r in con.execute(
            " UNION ".join("SELECT rowid FROM Tagalog WHERE %s LIKE ?1" % f for f in FIELDS)
            + " ORDER BY 1",
            (pattern,),
        )
    ]
    shown = 0
    for rowid in ids[:SHOWN_RECORDS]:
        for value in con.execute("SELECT * FROM Tagalog WHERE rowid = ?", (rowid,)).fetchone():
            shown += len(value)
    return len(ids), shown


def median(values):
    v = sorted(values)
    m = len(v) // 2
    return v[m] if len(v) % 2 else (v[m - 1] + v[m]) / 2


def nearest_rank(sorted_values, percent):
    rank = math.ceil(len(sorted_values) * percent / 100)
    return sorted_values[max(rank, 1) - 1]


def parse(argv):
    options = {"rounds": 7, "ripgrep": True, "texts": []}
    cls = "given"
    i = 0
    while i < len(argv):
        a = argv[i]
        if a in ("--tsv", "--n", "--db", "--rounds", "--class", "--text"):
            if i + 1 >= len(argv):
                raise SystemExit("fts5.py: %s needs a value" % a)
            value = argv[i + 1]
            i += 2
            if a == "--rounds":
                options["rounds"] = max(1, int(value))
            elif a == "--class":
                cls = value
            elif a == "--text":
                options["texts"].append((value, cls))
            else:
                options[a[2:]] = value
            continue
        if a == "--no-rg":
            options["ripgrep"] = False
        else:
            options["texts"].append((a, cls))
        i += 1
    if not all(k in options for k in ("tsv", "n", "db")):
        raise SystemExit(
            "usage: fts5.py --tsv SEARCHED.tsv --n N --db FILE [--rounds R] [--no-rg] "
            "[--class NAME] [--text TEXT] TEXT..."
        )
    return options


def main():
    o = parse(sys.argv[1:])
    n = o["n"]
    con, seconds = load(o["tsv"], o["db"])
    print("fts5-load N=%s s=%.1f db_bytes=%d" % (n, seconds, os.path.getsize(o["db"])), flush=True)

    texts = o["texts"]
    patterns = ["%" + upper(text) + "%" for text, _ in texts]
    for pattern in patterns:  # one round to warm the caches
        search(con, pattern)
    ms = [[] for _ in texts]
    rg_ms = [[] for _ in texts]
    hits = [0] * len(texts)
    rg_hits = [0] * len(texts)
    for _ in range(o["rounds"]):
        for t, (text, _) in enumerate(texts):
            start = time.perf_counter()
            hits[t], _ = search(con, patterns[t])
            ms[t].append((time.perf_counter() - start) * 1000)
            if o["ripgrep"]:
                took, rg_hits[t] = ripgrep(text, o["tsv"])
                rg_ms[t].append(took)
            else:
                rg_ms[t].append(0.0)

    results = []
    for t, (text, cls) in enumerate(texts):
        m, r = median(ms[t]), median(rg_ms[t])
        ratio = m / r if r > 0 else 0.0
        results.append((m, ratio))
        print(
            "fts5 N=%s text=%s hits=%d ms=%.2f rg_ms=%.2f ratio=%.3f class=%s indexed=%s rg_hits=%d"
            % (n, text, hits[t], m, r, ratio, cls, "yes" if indexed(patterns[t]) else "no",
               rg_hits[t])
        )
    if results:
        slowest = max(range(len(results)), key=lambda t: (results[t][0], -t))
        worst = max(range(len(results)), key=lambda t: (results[t][1], -t))
        sorted_ms = sorted(m for m, _ in results)
        print(
            "summary N=%s texts=%d p50_ms=%.2f p95_ms=%.2f slowest=%s slowest_ms=%.2f "
            "slowest_ratio=%.3f worst_ratio_text=%s worst_ratio=%.3f path=fts5"
            % (n, len(results), nearest_rank(sorted_ms, 50), nearest_rank(sorted_ms, 95),
               texts[slowest][0], results[slowest][0], results[slowest][1], texts[worst][0],
               results[worst][1])
        )
    con.close()


if __name__ == "__main__":
    main()
