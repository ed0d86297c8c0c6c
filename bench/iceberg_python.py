"""Icebergs from Python against pyfim's eclat, in one process (CPU time, best of three): the
transactions already in memory for eclat (target 'c'), the context already parsed for quorlan;
`iceberg` alone and with `concepts()` (lists of names, as eclat returns item tuples).

    python bench/iceberg_python.py DATA     # quorlan and pyfim importable
"""

import math
import os
import sys

import fim
from timing import best  # bench/timing.py, beside this file

import quorlan
import quorlan_tools as qt

CELLS = [("mushroom.dat", 0.01), ("retail.dat", 0.001), ("T10I4D100K.dat", 0.001)]


def cell(path, name, fraction):
    """One data set at one support: eclat, the iceberg alone, and with its concepts."""
    raw = open(path, "rb").read()
    rows = [line.split() for line in raw.decode().splitlines() if line.strip()]
    ctx = quorlan.parse_context(raw, name)
    count = math.ceil(fraction * ctx.n_objects)
    t_eclat, found = best(lambda: fim.eclat(rows, target="c", supp=-count, zmin=0))
    t_alone, lat = best(lambda: qt.iceberg(ctx, count))
    t_with, _ = best(lambda: qt.iceberg(ctx, count).concepts())
    assert lat.n_concepts == len(found) + 1  # eclat leaves out the empty top item set
    print(
        f"{name:<16} {fraction:>8.2%} {t_eclat:>7.3f} {t_alone:>8.3f} {t_with:>10.3f} "
        f"{t_alone / t_eclat:>12.2f} {t_with / t_eclat:>11.2f}",
        flush=True,
    )


def main():
    paths = [(os.path.join(sys.argv[1], "fimi", name), name, f) for name, f in CELLS]
    print(
        f"{'data set':<16} {'support':>8} {'eclat':>7} {'iceberg':>8} {'+concepts':>10} "
        f"{'alone/eclat':>12} {'with/eclat':>11}"
    )
    for path, name, fraction in paths:
        if os.path.exists(path):
            cell(path, name, fraction)


if __name__ == "__main__":
    main()
