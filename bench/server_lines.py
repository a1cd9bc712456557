#!/usr/bin/env python3
"""Puts the searches of a server alias beside those of the table files: reads wikabay-bench's
output for the table files (the index path) and for the server, each a file, the same texts in
the same order, and prints for each text

    server N=<n> text=<t> hits=<count> ms=<median> local_ms=<median> ratio=<ms/local_ms> class=<c>

(one line), where ms is the server's time and local_ms that of the table files, then

    summary N=<n> texts=<k> p50_ms=<> p95_ms=<> slowest=<t> slowest_ms=<> slowest_ratio=<>
            worst_ratio_text=<t> worst_ratio=<> path=server

(one line), the percentiles by nearest rank over the server's times, the ratios to the table
files' times.

    server_lines.py LOCAL.out SERVER.out
"""

import math
import re
import sys

SEARCH = re.compile(
    r"^search N=(?P<n>\d+) text=(?P<text>.*) hits=(?P<hits>\d+) ms=(?P<ms>[0-9.]+) "
    r"rg_ms=[0-9.]+ ratio=[0-9.]+ class=(?P<cls>\S+) rg_hits=\d+$"
)


def searches(path):
    out = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = SEARCH.match(line.rstrip("\n"))
            if m:
                out.append(m)
    return out


def nearest_rank(sorted_values, percent):
    rank = math.ceil(len(sorted_values) * percent / 100)
    return sorted_values[max(rank, 1) - 1]


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: server_lines.py LOCAL.out SERVER.out")
    local, server = searches(sys.argv[1]), searches(sys.argv[2])
    if len(local) != len(server):
        sys.exit("server_lines.py: %d texts on the table files, %d on the server"
                 % (len(local), len(server)))
    results = []
    for here, there in zip(local, server):
        if (here["n"], here["text"]) != (there["n"], there["text"]):
            sys.exit("server_lines.py: the texts differ: %r and %r" % (here["text"], there["text"]))
        ms, local_ms = float(there["ms"]), float(here["ms"])
        ratio = ms / local_ms if local_ms > 0 else 0.0
        results.append((there["text"], ms, ratio))
        print("server N=%s text=%s hits=%s ms=%.2f local_ms=%.2f ratio=%.3f class=%s"
              % (there["n"], there["text"], there["hits"], ms, local_ms, ratio, there["cls"]))
    if not results:
        return
    n = server[0]["n"]
    slowest = max(range(len(results)), key=lambda t: (results[t][1], -t))
    worst = max(range(len(results)), key=lambda t: (results[t][2], -t))
    sorted_ms = sorted(ms for _, ms, _ in results)
    print("summary N=%s texts=%d p50_ms=%.2f p95_ms=%.2f slowest=%s slowest_ms=%.2f "
          "slowest_ratio=%.3f worst_ratio_text=%s worst_ratio=%.3f path=server"
          % (n, len(results), nearest_rank(sorted_ms, 50), nearest_rank(sorted_ms, 95),
             results[slowest][0], results[slowest][1], results[slowest][2], results[worst][0],
             results[worst][2]))


if __name__ == "__main__":
    main()
