"""Times the quorlan module from Python: parsing (per file, with peak memory), concept
enumeration and lattice construction per algorithm, the canonical base, rendering (first and
repeated svg()), the results as dicts against the bare enumeration and against pyfim's eclat
(fresh processes, with peak memory), and the pure-Python peer package `concepts`.

    python3 bench/python_bench.py [data-dir] [--quick | --results-only | --parse-only]

Inputs that are absent are skipped; the peer packages are used only when they are installed in
the benchmark's own environment (pip install concepts pyfim); neither is a dependency of
quorlan.
"""

import pathlib
import random
import subprocess
import sys
import time

from fresh_process import timed_call

import quorlan

DATA = (
    pathlib.Path(sys.argv[1])
    if len(sys.argv) > 1 and not sys.argv[1].startswith("--")
    else pathlib.Path(__file__).resolve().parent.parent.parent / "shared" / "data"
)
QUICK = "--quick" in sys.argv


def timed(f, repeat=1):
    best = None
    result = None
    for _ in range(repeat):
        t0 = time.perf_counter()
        result = f()
        dt = time.perf_counter() - t0
        best = dt if best is None else min(best, dt)
    return best, result


PARSE_CHILD = """
import sys, time, quorlan
def hwm_mb():
    # The high-water mark of this process's own memory (ru_maxrss would include the parent's
    # resident size at fork).
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
data = open(sys.argv[1], 'rb').read()
before = hwm_mb() * 1024
t0 = time.perf_counter()
ctx = quorlan.parse_context(data, sys.argv[1])
dt = time.perf_counter() - t0
peak = hwm_mb() * 1024
print(dt, ctx.n_objects, ctx.n_attributes, before / 1024, peak / 1024)
"""


# Over a million intents and far more pseudo-intents: the canonical base takes hours here.
IMPLICATIONS_SKIPPED = {"rand_1000x100_d20.dat"}


def parse_table():
    print("\n== parsing (each file in a fresh process; peak RSS of that process)")
    print(f"{'file':28} {'objects x attributes':>22} {'seconds':>9} {'peak MB':>9} {'start MB':>9}")
    for rel in [
        "fimi/mushroom.dat",
        "fimi/chess.dat",
        "fimi/T10I4D100K.dat",
        "fimi/retail.dat",
        "cxt-concepts/mushroom.cxt",
        "cxt-concepts/bob-ross.cxt",
    ]:
        path = DATA / rel
        if not path.exists():
            print(f"{rel:28} skipped (absent)")
            continue
        out = subprocess.run(
            [sys.executable, "-c", PARSE_CHILD, str(path)],
            capture_output=True,
            text=True,
            check=True,
        ).stdout.split()
        dt, n, m, before, peak = float(out[0]), out[1], out[2], float(out[3]), float(out[4])
        print(f"{rel:28} {n + ' x ' + m:>22} {dt:9.3f} {peak:9.1f} {before:9.1f}")


def results_table(files):
    """Enumeration with and without the conversion to dicts, each call in a fresh process; on
    mushroom also Borgelt's eclat from the PyPI package pyfim (closed itemsets with their
    supports, as Python tuples), when it is installed (pip install pyfim)."""
    print("\n== results (each call in a fresh process; peak RSS of that process)")
    print(f"{'file':18} {'call':34} {'concepts':>9} {'seconds':>9} {'peak MB':>9} {'ratio':>7}")
    try:
        import fim  # noqa: F401

        have_fim = True
    except ImportError:
        have_fim = False
    for rel in files:
        path = DATA / rel
        if not path.exists():
            print(f"{rel:18} skipped (absent)")
            continue
        runs = [
            ("lattice", "next-closure"),
            ("concepts", "next-closure"),
            ("lattice.concepts", "next-closure"),
        ]
        if path.name != "mushroom.dat":
            runs += [("lattice", "fcbo"), ("lattice", "in-close-5")]
        if path.name == "mushroom.dat":
            runs.append(("eclat", "-") if have_fim else ("no pyfim", "-"))
        lattice_s = None
        for call, algo in runs:
            label = {
                "lattice": f"compute_lattice({algo})",
                "concepts": f"compute_concepts({algo})",
                "lattice.concepts": "Lattice.concepts()",
                "eclat": "pyfim eclat (closed)",
                "no pyfim": "pyfim not installed: skipped",
            }[call]
            if call == "no pyfim":
                print(f"{path.name:18} {label}")
                continue
            timing = timed_call(path, call, algo)
            dt, n, peak = timing.seconds, timing.results, timing.peak_mb
            if call == "lattice" and algo == "next-closure":
                lattice_s = dt
            ratio = f"{dt / lattice_s:6.2f}x" if lattice_s and call != "lattice" else ""
            print(f"{path.name:18} {label:34} {n:>9} {dt:9.3f} {peak:9.1f} {ratio:>7}")


def random_cxt(n, m, density, seed):
    rng = random.Random(seed)
    rows = ["".join("X" if rng.random() < density else "." for _ in range(m)) for _ in range(n)]
    names = [f"o{i}" for i in range(n)] + [f"a{j}" for j in range(m)]
    return ("\n".join(["B", "", str(n), str(m), ""] + names + rows) + "\n").encode()


def compute_table(inputs):
    print("\n== computing (best of 3 for small inputs)")
    print(f"{'input':24} {'step':28} {'result':>9} {'seconds':>9}")
    for name, data in inputs:
        ctx = quorlan.parse_context(data, name)
        small = ctx.n_objects * ctx.n_attributes < 200_000
        for algo in quorlan.supported_algorithms():
            dt, lat = timed(lambda: quorlan.compute_lattice(ctx, algo), 3 if small else 1)
            print(f"{name:24} {'compute_lattice ' + algo:28} {lat.n_concepts:9} {dt:9.3f}")
            del lat
        dt, cs = timed(lambda: quorlan.compute_concepts(ctx, "fcbo"), 3 if small else 1)
        print(f"{name:24} {'compute_concepts fcbo':28} {len(cs):9} {dt:9.3f}")
        del cs
        if name in IMPLICATIONS_SKIPPED or (QUICK and not small):
            print(f"{name:24} {'compute_implications':28} {'skipped':>9}")
        else:
            dt, imps = timed(lambda: quorlan.compute_implications(ctx))
            print(f"{name:24} {'compute_implications':28} {len(imps):9} {dt:9.3f}")


def render_table(inputs):
    print("\n== rendering: first svg() (covers + layout + writing), then a repeated svg()")
    print(f"{'input':24} {'concepts':>9} {'first s':>9} {'again s':>9} {'MB of SVG':>10}")
    for name, data in inputs:
        lat = quorlan.compute_lattice(quorlan.parse_context(data, name), "fcbo")
        first, svg = timed(lat.svg)
        again, _ = timed(lat.svg)
        print(f"{name:24} {lat.n_concepts:9} {first:9.3f} {again:9.3f} {len(svg) / 1e6:10.1f}")


def peer_table(inputs):
    try:
        import concepts
    except ImportError:
        print("\n== peer package `concepts` not installed: skipped")
        return
    print(f"\n== against the pure-Python package concepts {concepts.__version__}")
    print(
        f"{'input':24} {'concepts s':>11} {'quorlan s':>10} {'ratio':>8}   "
        "(all concepts as extent/intent names)"
    )
    for name, data in inputs:

        def peer():
            c = concepts.Context.fromstring(data.decode(), frmat="cxt")
            return [(e, i) for e, i in c.lattice]

        def ours():
            return quorlan.compute_lattice(quorlan.parse_context(data, name), "fcbo").concepts()

        t_ours, r_ours = timed(ours)
        t_peer, r_peer = timed(peer)
        assert len(r_ours) == len(r_peer), (name, len(r_ours), len(r_peer))
        print(f"{name:24} {t_peer:11.3f} {t_ours:10.3f} {t_peer / t_ours:8.0f}x")


def main():
    if "--sparse-only" in sys.argv or "--results-only" in sys.argv:
        results_table(["fimi/mushroom.dat", "fimi/T10I4D100K.dat", "fimi/retail.dat"])
        return
    if "--parse-only" in sys.argv:
        parse_table()
        return
    parse_table()
    files = []
    for rel in [
        "cxt-concepts/bob-ross.cxt",
        "cxt-concepts/segments.cxt",
        "fimi/mushroom.dat",
        "synthetic/rand_1000x100_d10.dat",
        "synthetic/rand_1000x100_d20.dat",
    ]:
        if (DATA / rel).exists() and not (QUICK and "d20" in rel):
            files.append((pathlib.Path(rel).name, (DATA / rel).read_bytes()))
    compute_table(files)
    sized = [
        ("random ~1k concepts", random_cxt(150, 14, 0.4, 1)),
        ("random ~20k concepts", random_cxt(500, 24, 0.3, 2)),
    ]
    sized += [f for f in files if f[0] in ("bob-ross.cxt", "segments.cxt", "mushroom.dat")]
    render_table(sized)
    peers = [f for f in files if f[0].endswith(".cxt")] + sized[:2]
    peer_table(peers)
    if not QUICK:
        results_table(["fimi/mushroom.dat", "fimi/T10I4D100K.dat", "fimi/retail.dat"])


if __name__ == "__main__":
    main()
