"""What the Python benchmarks share: CPU seconds, best of a few rounds."""

import time


def best(f, rounds=3):
    """The least CPU time of `rounds` calls of f, and what the last call returned."""
    times, out = [], None
    for _ in range(rounds):
        t = time.process_time()
        out = f()
        times.append(time.process_time() - t)
    return min(times), out
