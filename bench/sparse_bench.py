"""compute_concepts with each algorithm on the sparse FIMI files, against Borgelt's eclat from
the PyPI package pyfim (closed itemsets with their supports, as Python tuples): CPU seconds of
the call, each in a fresh process, rounds interleaved so that a busy machine slows every side
alike; the median of the rounds and its ratio to eclat's.

    python bench/sparse_bench.py DATA [ROUNDS] [label=DIR ...]

A DIR holds a built module (quorlan.abi3.so); without one, the quorlan on the path is timed.
pyfim is needed in the benchmark's environment (pip install pyfim); it is no dependency.
"""

import pathlib
import statistics
import sys

from fresh_process import timed_call

ALGORITHMS = ["next-closure", "fcbo", "in-close-5"]


def run(build, path, call):
    timing = timed_call(path, "eclat" if call == "eclat" else "concepts", call, build)
    return timing.cpu_seconds, timing.results


def main():
    data = pathlib.Path(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 and "=" not in sys.argv[2] else 3
    builds = [a.split("=", 1) for a in sys.argv[2:] if "=" in a] or [["quorlan", ""]]
    print(f"{'file':16} {'call':28} {'concepts':>9} {'CPU s':>8} {'x eclat':>8}")
    for name in ["retail.dat", "T10I4D100K.dat"]:
        path = data / "fimi" / name
        if not path.exists():
            print(f"{name:16} skipped (absent)")
            continue
        calls = [("pyfim eclat", "", "eclat")]
        calls += [(f"{label} {a}", build, a) for label, build in builds for a in ALGORITHMS]
        times = {label: [] for label, _, _ in calls}
        counts = {}
        for _ in range(rounds):
            for label, build, call in calls:
                seconds, counts[label] = run(build, path, call)
                times[label].append(seconds)
        eclat = statistics.median(times["pyfim eclat"])
        for label, _, _ in calls:
            t = statistics.median(times[label])
            print(f"{name:16} {label:28} {counts[label]:>9} {t:8.3f} {t / eclat:8.2f}")


if __name__ == "__main__":
    main()
