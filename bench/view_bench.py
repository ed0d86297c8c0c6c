"""How long quorlan_view takes to make its pictures (CPU time, the lattice already computed):
the first view of a lattice, which includes the lattice's own first drawing, and the best of
four more. On the classic contexts, a random context of some 600 concepts and 500 labels,
parts of bob-ross's lattice, and mushroom's iceberg at 1,000 objects (3,427 concepts) when the
data folder is given.

    python bench/view_bench.py [DATA]     # with quorlan and quorlan_view on the path
"""

import pathlib
import random
import sys
import time

import quorlan
import quorlan_view

ROOT = pathlib.Path(__file__).resolve().parent.parent


def read(path):
    return quorlan.compute_lattice(quorlan.parse_context(path.read_bytes(), path.name))


def random_lattice(n, m, density, seed):
    rng = random.Random(seed)
    rows = [" ".join(str(j) for j in range(m) if rng.random() < density) for _ in range(n)]
    return quorlan.compute_lattice(quorlan.parse_context("\n".join(rows).encode(), "r.dat"))


def timed(f):
    times = []
    for _ in range(5):
        t = time.process_time()
        out = f()
        times.append(time.process_time() - t)
    return times[0], min(times[1:]), out


def main():
    bob = read(ROOT / "docs" / "data" / "bob-ross.cxt")
    cases = [
        ("polygons", quorlan_view.labelled, read(ROOT / "examples" / "polygons.cxt")),
        (
            "animals_en",
            quorlan_view.labelled,
            read(ROOT / "tests" / "data" / "cxt" / "animals_en.cxt"),
        ),
        ("music_en", quorlan_view.labelled, read(ROOT / "tests" / "data" / "cxt" / "music_en.cxt")),
        ("random 300 x 200", quorlan_view.labelled, random_lattice(300, 200, 0.02, 1)),
        ("bob-ross, 60 objects", lambda whole: quorlan_view.part(whole, min_extent=60), bob),
        ("bob-ross, around 100", lambda whole: quorlan_view.part(whole, around=100, depth=2), bob),
    ]
    if len(sys.argv) > 1:
        import quorlan_tools

        path = pathlib.Path(sys.argv[1]) / "fimi" / "mushroom.dat"
        iceberg = quorlan_tools.iceberg(quorlan.parse_context(path.read_bytes(), path.name), 1000)
        cases.append(("mushroom, 1,000 objects", quorlan_view.labelled, iceberg))
    print(f"{'view':<24} {'concepts':>8} {'labels':>7} {'width':>7} {'first s':>8} {'then s':>8}")
    for name, make, lattice in cases:
        first, then, view = timed(lambda: make(lattice))
        print(
            f"{name:<24} {view.n_concepts:>8} {view.n_labels:>7} {view.width:>7.0f} "
            f"{first:>8.3f} {then:>8.3f}"
        )


if __name__ == "__main__":
    main()
