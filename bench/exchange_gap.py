#!/usr/bin/env python3
"""Where two of Parvel's decompositions of one day differ, and how small a
piece of the difference turns the first into a better one.

    python3 bench/exchange_gap.py DAY.csv FIRST.xml SECOND.xml [--threshold H] [--orders K]

FIRST and SECOND are reports (--outpath) of the same day, typically a
search's best and the certificate's optimum. Prints the passages with
another successor and the terminals of the changed connections; the pieces
that share passages (rotations of either side joined when they share one),
with their rotations, passages, terminals and counts on both sides; the
alternating cycles of the two matchings (each lies at one terminal) with the
change of counts when one alone is applied to FIRST; and, over K random
orders (default 20), the smallest set of cycles found that still makes FIRST
better when applied together (cycles dropped one at a time while the counts
stay above FIRST's), with the rotations of FIRST it touches.
"""

import argparse
import collections
import csv
import random
import re


def read_day(path):
    passages = {}
    with open(path, newline="") as f:
        for row in csv.reader(f):
            try:
                number = int(row[0])
            except ValueError:
                continue  # header
            passages[number] = (row[1], row[2], float(row[3]), float(row[4]))
    return passages


def read_chains(path):
    text = open(path).read()
    start = text.find("<opt_decomp>")
    text = text[start:text.find("</opt_decomp>")]
    return [[int(p) for p in c.split(",")] for c in re.findall(r"<chain>([^<]*)</chain>", text)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("day")
    parser.add_argument("first")
    parser.add_argument("second")
    parser.add_argument("--threshold", type=float, default=11.0)
    parser.add_argument("--orders", type=int, default=20)
    args = parser.parse_args()
    day = read_day(args.day)
    first, second = read_chains(args.first), read_chains(args.second)

    def score(chain):
        a, b = day[chain[0]], day[chain[-1]]
        return (int(b[1] == a[0]), int(24.0 - b[3] + a[2] >= args.threshold))

    def counts(chains):
        return tuple(sum(score(c)[k] for c in chains) for k in (0, 1))

    def successors(chains):
        return {a: b for c in chains for a, b in zip(c, c[1:])}

    def chains_of(succ):
        pred = {b: a for a, b in succ.items()}
        out = []
        for p in day:
            if p in pred:
                continue
            chain = [p]
            while chain[-1] in succ:
                chain.append(succ[chain[-1]])
            out.append(chain)
        covered = sum(len(c) for c in out)
        return out if covered == len(day) else None  # None: a loop

    succ1, succ2 = successors(first), successors(second)
    base = counts(first)
    print("counts: first %d / %d, second %d / %d" % (base + counts(second)))
    changed = [p for p in day if succ1.get(p) != succ2.get(p)]
    print("passages with another successor: %d" % len(changed))
    print("terminals of the changed connections:",
          dict(collections.Counter(day[p][1] for p in changed if p in succ1 or p in succ2)))

    # Pieces: rotations of both sides joined when they share a passage.
    chain1 = {p: i for i, c in enumerate(first) for p in c}
    chain2 = {p: i for i, c in enumerate(second) for p in c}
    parent = {}

    def find(x):
        while parent.setdefault(x, x) != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    for p in day:
        parent[find((1, chain1[p]))] = find((2, chain2[p]))
    pieces = collections.defaultdict(lambda: (set(), set()))
    for p in day:
        ones, twos = pieces[find((1, chain1[p]))]
        ones.add(chain1[p])
        twos.add(chain2[p])
    print("pieces that differ (rotations, passages, terminals, first counts, second counts):")
    for ones, twos in sorted(pieces.values(), key=lambda v: len(v[0])):
        if len(ones) == 1 and first[next(iter(ones))] == second[next(iter(twos))]:
            continue
        members = [p for i in ones for p in first[i]]
        terminals = {day[p][1] for p in members if succ1.get(p) != succ2.get(p)}
        print("  %d, %d, %d, %s, %s" % (len(ones), len(members), len(terminals),
                                        counts([first[i] for i in ones]),
                                        counts([second[i] for i in twos])))

    # Alternating cycles of the two matchings.
    edges1, edges2 = set(succ1.items()), set(succ2.items())
    difference = edges1 ^ edges2
    touching = collections.defaultdict(list)
    for e in difference:
        touching[("row", e[0])].append(e)
        touching[("column", e[1])].append(e)
    cycles, seen = [], set()
    for e in difference:
        if e in seen:
            continue
        seen.add(e)
        stack, cycle = [e], []
        while stack:
            x = stack.pop()
            cycle.append(x)
            for y in touching[("row", x[0])] + touching[("column", x[1])]:
                if y not in seen:
                    seen.add(y)
                    stack.append(y)
        cycles.append(cycle)

    def applied(indices):
        succ = dict(succ1)
        for i in indices:
            for a, b in cycles[i]:
                if (a, b) in edges1:
                    del succ[a]
        for i in indices:
            for a, b in cycles[i]:
                if (a, b) in edges2:
                    succ[a] = b
        chains = chains_of(succ)
        if chains is None or len(chains) != len(first):
            return None
        c = counts(chains)
        return (c[0] - base[0], c[1] - base[1])

    alone = collections.Counter(applied([i]) for i in range(len(cycles)))
    print("alternating cycles: %d; change of counts of each alone: %s" %
          (len(cycles), dict(sorted(alone.items(), key=lambda kv: str(kv[0])))))
    smallest = None
    for order in range(args.orders):
        keep = list(range(len(cycles)))
        random.Random(order).shuffle(keep)
        if (applied(keep) or (0, 0)) <= (0, 0):
            break
        dropped = True
        while dropped:
            dropped = False
            for i in list(keep):
                rest = [j for j in keep if j != i]
                if (applied(rest) or (0, 0)) > (0, 0):
                    keep, dropped = rest, True
        rotations = {chain1[p] for i in keep for e in cycles[i] for p in e}
        terminals = {day[a][1] for i in keep for a, _ in cycles[i]}
        found = (len(rotations), len(keep), len(terminals), applied(keep))
        smallest = found if smallest is None or found < smallest else smallest
    if smallest is None:
        print("the second is not better than the first")
    else:
        print("smallest improving set found: %d rotations of the first, %d cycles, %d terminals, "
              "change %s" % smallest)


if __name__ == "__main__":
    main()
