"""The lattice's structure from Python on mushroom (CPU time in one process, peak memory above
compute_lattice's): quorlan_tools' covers and neighbours, and quorlan_view's parts and its
refusal of a whole picture. Each step runs on a fresh lattice, so that first calls pay for what
they fill. With BEFORE, a folder holding an earlier quorlan_view (its parts drawn from the SVG
document), the same parts are timed with it too, interleaved.

    python bench/structure_bench.py DATA [BEFORE]   # DATA/fimi/mushroom.dat
"""

import importlib
import pathlib
import resource
import sys
import time

import quorlan
import quorlan_tools as qt


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0


def step(name, lattice_of, call, rounds=3, before=None):
    """The best of `rounds` calls, each on a fresh lattice after `before` ran on it."""
    times = []
    for _ in range(rounds):
        lat = lattice_of()
        if before is not None:
            before(lat)
        t = time.process_time()
        try:
            call(lat)
        except ValueError:
            pass  # the refusal is what is timed
        times.append(time.process_time() - t)
        del lat
    print(f"{name:<52} {min(times):8.3f} s {peak_mb():9.1f} MB", flush=True)


def old_view(folder):
    sys.path.insert(0, str(folder))
    for name in [m for m in sys.modules if m.startswith("quorlan_view")]:
        del sys.modules[name]
    old = importlib.import_module("quorlan_view")
    sys.path.pop(0)
    for name in [m for m in sys.modules if m.startswith("quorlan_view")]:
        del sys.modules[name]
    return old


def main():
    data = pathlib.Path(sys.argv[1])
    path = data / "fimi" / "mushroom.dat"
    ctx = quorlan.parse_context(path.read_bytes(), path.name)
    lattice_of = lambda: quorlan.compute_lattice(ctx, "fcbo")  # noqa: E731
    t = time.process_time()
    lattice_of()
    print(f"{'compute_lattice (fcbo)':<52} {time.process_time() - t:8.3f} s {peak_mb():9.1f} MB")
    import quorlan_view as view

    before = old_view(pathlib.Path(sys.argv[2])) if len(sys.argv) > 2 else None
    # The parts first, so that the peak they reach is theirs.
    for label, module in (("now", view), ("before", before)):
        if module is None:
            continue
        step(
            f"part(min_extent=4000), {label}",
            lattice_of,
            lambda lat: module.part(lat, min_extent=4000),
            rounds=1 if label == "before" else 3,
        )
        step(
            f"part(around=5000), {label}",
            lattice_of,
            lambda lat: module.part(lat, around=5000),
            rounds=1 if label == "before" else 3,
        )
    step("covers, first call", lattice_of, qt.covers)
    step("covers, second call", lattice_of, qt.covers, before=qt.covers)
    step(
        "upper_covers of concept 5000, no covers yet",
        lattice_of,
        lambda lat: qt.upper_covers(lat, 5000),
    )
    step(
        "lower_covers of concept 5000, no covers yet",
        lattice_of,
        lambda lat: qt.lower_covers(lat, 5000),
    )
    step(
        "up_set and down_set of concept 5000",
        lattice_of,
        lambda lat: (qt.up_set(lat, 5000), qt.down_set(lat, 5000)),
    )
    step("labelled (refused)", lattice_of, view.labelled)


if __name__ == "__main__":
    main()
