"""quorlan_tools from many threads at once, on shared Context and Lattice objects, beside the
module's own renderings and computations: every result exact, conflicts (if any) the module's
RuntimeErrors, no crash; and repeated calls of every entry keep memory flat."""

import gc
import json
import random
import threading

import quorlan
import quorlan_tools as qt
import quorlan_view


def shared():
    rng = random.Random(4)
    rows = [[rng.random() < 0.35 for _ in range(14)] for _ in range(120)]
    document = {
        "quorlan_version": "0.2.0",
        "context": {
            "objects": [f"g{i}" for i in range(120)],
            "attributes": [f"m{j}" for j in range(14)],
            "incidence": rows,
        },
    }
    return quorlan.parse_context(json.dumps(document).encode(), "c.json")


def test_eight_threads_share_contexts_and_lattices():
    ctx = shared()
    lat = quorlan.compute_lattice(ctx, "fcbo")
    fresh = quorlan.compute_lattice(ctx, "fcbo")
    expected = {
        "covers": qt.covers(fresh).tolist(),
        "upper": [qt.upper_covers(fresh, i) for i in range(0, fresh.n_concepts, 7)],
        "iceberg": qt.iceberg(ctx, 0.2).concepts(),
        "count": qt.count_concepts(ctx, 3),
        "svg": fresh.svg(),
        "delta": qt.delta_stability(fresh).tolist(),
        "view": quorlan_view.part(fresh, min_extent=30).svg(),
        "explore": quorlan_view.explore(quorlan_view.part(fresh, min_extent=30))._data(),
    }
    calls = {
        "covers": lambda: qt.covers(lat).tolist(),
        "upper": lambda: [qt.upper_covers(lat, i) for i in range(0, lat.n_concepts, 7)],
        "iceberg": lambda: qt.iceberg(ctx, 0.2).concepts(),
        "count": lambda: qt.count_concepts(ctx, 3),
        "svg": lat.svg,
        "delta": lambda: qt.delta_stability(lat).tolist(),
        "view": lambda: quorlan_view.part(lat, min_extent=30).svg(),
        "explore": lambda: quorlan_view.explore(quorlan_view.part(lat, min_extent=30))._data(),
    }
    names = sorted(calls)
    barrier = threading.Barrier(8)
    failures, conflicts = [], []

    def work(k):
        barrier.wait()
        for step in range(30):
            name = names[(k + step) % len(names)]
            try:
                got = calls[name]()
            except RuntimeError as e:
                assert str(e) in ("Already borrowed", "Already mutably borrowed")
                conflicts.append(name)
                continue
            if got != expected[name]:
                failures.append(name)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []


def in_use_mb():
    import ctypes

    try:
        info = ctypes.CDLL("libc.so.6").mallinfo2
    except (OSError, AttributeError):
        return None

    class Info(ctypes.Structure):
        _fields_ = [
            (n, ctypes.c_size_t)
            for n in "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks "
            "keepcost".split()
        ]

    info.restype = Info
    m = info()
    return (m.uordblks + m.hblkhd) / 2**20


def test_repeated_calls_keep_memory_flat():
    ctx = shared()
    lat = quorlan.compute_lattice(ctx, "fcbo")
    a = qt.incidence(ctx)

    def every_entry():
        qt.covers(lat), qt.upper_covers(lat, 3), qt.lower_covers(lat, 3), qt.up_set(lat, 3)
        qt.down_set(lat, 3), qt.join(lat, 1, 2), qt.meet(lat, 1, 2), qt.layout(lat)
        qt.concept_of(lat, intent=["m1"]), qt.iceberg(ctx, 0.3).n_concepts
        qt.count_concepts(ctx, 2), qt.support(lat), qt.delta_stability(lat)
        qt.association_rules(qt.iceberg(ctx, 0.3)), qt.names(ctx), qt.from_array(a)
        try:
            qt.upper_covers(lat, lat.n_concepts)
        except ValueError:
            pass

    for _ in range(50):
        every_entry()
    gc.collect()
    before = in_use_mb()
    for _ in range(1000):
        every_entry()
    gc.collect()
    after = in_use_mb()
    if before is not None:
        assert after - before < 4, f"memory in use grew by {after - before:.1f} MB"


def test_ten_thousand_calls_of_each_native_entry_and_the_views_keep_memory_flat():
    from quorlan_tools._native import native

    ctx = shared()
    lat = quorlan.compute_lattice(ctx, "fcbo")
    shown = list(range(lat.n_concepts))
    pairs = qt.covers(lat).ravel().tolist()
    natives = [
        lambda: native.reduced_labels(lat, shown[:20], []),
        lambda: native.rows_over(lat, list(range(50)), [1, 3, 5]),
        lambda: native.names(lat),
        lambda: native.extent_sizes(lat),
        lambda: native.concepts_at(lat, [0, 5, 9]),
        lambda: native.shown_covers(lat, [0, 1, 2]),
        lambda: qt.up_set(lat, 3),
        lambda: qt.concept_of(lat, extent=["g1"]),
    ]
    small = quorlan.compute_lattice(qt.from_array([[1, 0], [0, 1]]))
    views = [
        lambda: quorlan_view.explore(small)._repr_html_(),
        lambda: quorlan_view.labelled(small, labels="full").tikz(),
    ]

    def rounds(calls, count):
        for _ in range(count):
            for call in calls:
                call()
        try:
            native.reduced_labels(lat, [0], [0, 1])
        except ValueError:
            pass

    rounds(natives + views, 50)
    native.reduced_labels(lat, shown, pairs)
    gc.collect()
    before = in_use_mb()
    rounds(natives, 10_000)
    rounds(views, 1000)
    gc.collect()
    after = in_use_mb()
    if before is not None:
        assert after - before < 4, f"memory in use grew by {after - before:.1f} MB"
