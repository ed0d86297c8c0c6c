"""Icebergs against LCM and eclat, whole processes with parsing, interleaved round by round
(CPU time from os.wait4, medians): quorlan's `quorlan_iceberg` driver, LCM 5.3's closed item
sets (`lcm C FILE SUPPORT`) and pyfim's eclat (target 'c'), at three supports on mushroom,
retail and T10I4D100K. Closed sets are counted as LCM counts them: with the top, and without an
empty bottom, as an iceberg of a positive support holds them.

    python bench/iceberg_peers.py DATA QUORLAN_ICEBERG LCM PYTHON_WITH_PYFIM [ROUNDS]
"""

import math
import os
import statistics
import subprocess
import sys

CELLS = [
    ("mushroom.dat", 0.10),
    ("mushroom.dat", 0.01),
    ("mushroom.dat", 0.001),
    ("retail.dat", 0.01),
    ("retail.dat", 0.001),
    ("retail.dat", 0.0001),
    ("T10I4D100K.dat", 0.01),
    ("T10I4D100K.dat", 0.001),
    ("T10I4D100K.dat", 0.0001),
]
ECLAT = (
    "import fim, sys\nrows = [l.split() for l in open(sys.argv[1]) if l.strip()]\n"
    "print(len(fim.eclat(rows, target='c', supp=-int(sys.argv[2]), zmin=0)))"
)


def cpu(argv):
    p = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = p.stdout.read().decode().split("\n")[0].strip()
    _, status, usage = os.wait4(p.pid, 0)
    if status != 0:
        raise SystemExit(f"{argv[0]} failed on {argv[1:]}")
    return usage.ru_utime + usage.ru_stime, out


def main():
    data, quorlan, lcm, python = sys.argv[1:5]
    rounds = int(sys.argv[5]) if len(sys.argv) > 5 else 5
    print(
        f"{'data set':<16} {'support':>8} {'closed':>8} {'quorlan':>8} {'LCM':>8} "
        f"{'eclat':>8} {'q/best':>7}"
    )
    for name, fraction in CELLS:
        path = os.path.join(data, "fimi", name)
        if not os.path.exists(path):
            continue
        n = sum(1 for line in open(path) if line.strip())
        count = math.ceil(fraction * n)
        commands = {
            "quorlan": [quorlan, path, str(count)],
            "lcm": [lcm, "C", path, str(count)],
            "eclat": [python, "-c", ECLAT, path, str(count)],
        }
        times = {k: [] for k in commands}
        results = {}
        for _ in range(rounds):
            for k, argv in commands.items():
                t, results[k] = cpu(argv)
                times[k].append(t)
        m = {k: statistics.median(v) for k, v in times.items()}
        if len(set(results.values())) != 1:
            print(f"  counts differ: {results}")
        print(
            f"{name:<16} {fraction:>8.2%} {results['quorlan']:>8} {m['quorlan']:>8.3f} "
            f"{m['lcm']:>8.3f} {m['eclat']:>8.3f} {m['quorlan'] / min(m['lcm'], m['eclat']):>7.2f}",
            flush=True,
        )


if __name__ == "__main__":
    main()
