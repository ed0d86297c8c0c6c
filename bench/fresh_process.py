"""One call timed in a fresh Python process: quorlan's enumeration or lattice (from a given
build or the one on the path), or Borgelt's eclat from the PyPI package pyfim (closed itemsets
with their supports, as Python tuples), on a FIMI file. A fresh process keeps the caches and the
heap of one call from flattering the next, and gives each call its own peak memory."""

import subprocess
import sys
from dataclasses import dataclass

CHILD = r"""
import sys, time
def hwm_mb():
    # The high-water mark of this process's own memory (ru_maxrss would include the parent's
    # resident size at fork).
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
path, call, algo, build = sys.argv[1:5]
if call == "eclat":
    import fim
    transactions = [list(map(int, line.split())) for line in open(path)]
    t0, c0 = time.perf_counter(), time.process_time()
    n = len(fim.eclat(transactions, target="c", supp=-1, zmin=0))
else:
    if build:
        sys.path.insert(0, build)
    import quorlan
    ctx = quorlan.parse_context(open(path, "rb").read(), path)
    t0, c0 = time.perf_counter(), time.process_time()
    if call == "concepts":
        n = len(quorlan.compute_concepts(ctx, algo))
    elif call == "lattice":
        n = quorlan.compute_lattice(ctx, algo).n_concepts
    else:
        lattice = quorlan.compute_lattice(ctx, algo)
        t0, c0 = time.perf_counter(), time.process_time()
        n = len(lattice.concepts())
print(time.perf_counter() - t0, time.process_time() - c0, n, hwm_mb())
"""


@dataclass
class Timing:
    seconds: float  # wall clock
    cpu_seconds: float  # of the process
    results: int
    peak_mb: float  # the process's high-water mark


def timed_call(path, call, algo="-", build=""):
    """call: "eclat", "concepts" (compute_concepts), "lattice" (compute_lattice) or
    "lattice.concepts" (Lattice.concepts() of a lattice computed first, untimed)."""
    out = subprocess.run(
        [sys.executable, "-c", CHILD, str(path), call, algo, build],
        capture_output=True,
        text=True,
        check=True,
    ).stdout.split()
    return Timing(float(out[0]), float(out[1]), int(out[2]), float(out[3]))
