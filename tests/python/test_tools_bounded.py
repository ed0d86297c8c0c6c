"""quorlan_tools on large data, against definitions: icebergs are the filtered full lists
(order included, every algorithm), counts their lengths, stability a brute force over the
extent's subsets, the Δ-measure and the Luxenburger rules their definitions; thresholds refused
with their names; an iceberg is a Lattice like any other."""

import itertools
import json
import math
import random

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import quorlan
import quorlan_tools as qt
import quorlan_view

ALGORITHMS = ["next-closure", "in-close-5", "fcbo"]
ROWS = st.integers(1, 7).flatmap(
    lambda m: st.lists(st.lists(st.booleans(), min_size=m, max_size=m), min_size=1, max_size=9)
)


def context_of(rows):
    m = len(rows[0])
    document = {
        "quorlan_version": "0.2.0",
        "context": {
            "objects": [f"g{i}" for i in range(len(rows))],
            "attributes": [f"m{j}" for j in range(m)],
            "incidence": rows,
        },
    }
    return quorlan.parse_context(json.dumps(document).encode(), "c.json")


@settings(max_examples=80, deadline=None)
@given(ROWS, st.sampled_from(ALGORITHMS), st.data())
def test_iceberg_is_the_filtered_list(rows, algorithm, data):
    ctx = context_of(rows)
    n = len(rows)
    support = data.draw(st.one_of(st.integers(0, n), st.floats(0.01, 1.0)))
    count = support if isinstance(support, int) else math.ceil(support * n - 1e-9)
    everything = quorlan.compute_concepts(ctx, algorithm)
    expected = [c for c in everything if len(c["extent"]) >= count]
    lat = qt.iceberg(ctx, support, algorithm)
    assert type(lat) is quorlan.Lattice and lat.concepts() == expected
    assert qt.count_concepts(ctx, support, algorithm) == len(expected)
    # The structure of an iceberg is the lattice's between its concepts.
    whole = quorlan.compute_lattice(ctx, algorithm)
    where = [i for i, c in enumerate(everything) if len(c["extent"]) >= count]
    kept = {w: k for k, w in enumerate(where)}
    assert qt.covers(lat).tolist() == [
        [kept[a], kept[b]] for a, b in qt.covers(whole).tolist() if a in kept and b in kept
    ]
    assert lat.svg().count("<circle") == len(expected)


def test_iceberg_is_drawn_and_navigated():
    rng = random.Random(3)
    rows = [[rng.random() < 0.5 for _ in range(6)] for _ in range(12)]
    lat = qt.iceberg(context_of(rows), 0.25)
    assert lat.n_concepts > 5
    assert "<svg" in lat._repr_html_()
    view = quorlan_view.labelled(lat)
    assert view.n_concepts == lat.n_concepts
    assert qt.top(lat) == 0 and qt.join(lat, 1, 2) in range(lat.n_concepts)
    with pytest.raises(ValueError, match="no bottom concept"):
        qt.bottom(lat)
    with pytest.raises(ValueError, match="stability needs the whole lattice"):
        qt.stability(lat)


def brute_stability(concept, rows):
    extent = [int(g[1:]) for g in concept["extent"]]
    intent = [int(m[1:]) for m in concept["intent"]]
    m = len(rows[0])
    hits = 0
    for k in range(len(extent) + 1):
        for subset in itertools.combinations(extent, k):
            derived = [j for j in range(m) if all(rows[g][j] for g in subset)]
            hits += derived == intent
    return hits / 2 ** len(extent)


@settings(max_examples=60, deadline=None)
@given(ROWS)
def test_measures_by_their_definitions(rows):
    ctx = context_of(rows)
    lat = quorlan.compute_lattice(ctx, "fcbo")
    concepts = lat.concepts()
    sizes = [len(c["extent"]) for c in concepts]
    assert qt.support(lat).tolist() == [s / len(rows) for s in sizes]
    assert qt.stability(lat).tolist() == pytest.approx(
        [brute_stability(c, rows) for c in concepts], abs=1e-12
    )
    lower = {i: [a for a, b in qt.covers(lat).tolist() if b == i] for i in range(len(concepts))}
    assert qt.delta_stability(lat).tolist() == [
        sizes[i] - max((sizes[d] for d in lower[i]), default=0) for i in range(len(concepts))
    ]


@settings(max_examples=60, deadline=None)
@given(ROWS, st.sampled_from([0.0, 0.3, 0.5, 1.0]))
def test_rules_are_the_luxenburger_base(rows, threshold):
    lat = quorlan.compute_lattice(context_of(rows), "fcbo")
    concepts = lat.concepts()
    expected = []
    for lower, upper in qt.covers(lat).tolist():
        a, b = len(concepts[lower]["extent"]), len(concepts[upper]["extent"])
        confidence = a / b if b else 1.0
        if confidence >= threshold:
            expected.append(
                {
                    "premise": concepts[upper]["intent"],
                    "conclusion": concepts[lower]["intent"],
                    "support": a,
                    "confidence": confidence,
                }
            )
    assert qt.association_rules(lat, threshold) == expected


def test_max_concepts_stops_early():
    rows = [[(i + j) % 2 == 0 or j == i % 5 for j in range(8)] for i in range(20)]
    ctx = context_of(rows)
    n = qt.count_concepts(ctx)
    assert qt.iceberg(ctx, 0, max_concepts=n).n_concepts == n
    with pytest.raises(
        ValueError,
        match=f"more than max_concepts={n - 1} concepts: the search stopped after finding {n}",
    ):
        qt.iceberg(ctx, 0, max_concepts=n - 1)


CTX = None


def small():
    global CTX
    if CTX is None:
        CTX = context_of([[True, False], [True, True], [False, True]])
    return CTX


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda c: qt.iceberg(c, -1), ValueError, r"min_support must be a count from 0 to 3"),
        (lambda c: qt.iceberg(c, 4), ValueError, r"min_support must be a count from 0 to 3.*got 4"),
        (lambda c: qt.iceberg(c, 1.5), ValueError, r"min_support must be a fraction in \(0, 1\]"),
        (lambda c: qt.iceberg(c, 0.0), ValueError, r"min_support must be a fraction"),
        (lambda c: qt.iceberg(c, float("nan")), ValueError, r"got nan"),
        (
            lambda c: qt.iceberg(c, True),
            TypeError,
            "min_support must be an int or a float, not bool",
        ),
        (lambda c: qt.iceberg(c, "1"), TypeError, "not str"),
        (lambda c: qt.iceberg(c, 2**64), ValueError, "min_support must be a count"),
        (lambda c: qt.iceberg(c, 1, "lcm"), ValueError, "unknown algorithm"),
        (lambda c: qt.iceberg(c, 1, max_concepts=-1), ValueError, "max_concepts must be 0 or more"),
        (lambda c: qt.iceberg(c, 1, max_concepts=1.0), TypeError, "max_concepts must be an int"),
        (lambda c: qt.count_concepts(c, -0.5), ValueError, "min_support"),
        (
            lambda c: qt.iceberg(quorlan.compute_lattice(c), 1),
            TypeError,
            "ctx must be a quorlan.Context, not Lattice",
        ),
        (
            lambda c: qt.association_rules(quorlan.compute_lattice(c), 1.5),
            ValueError,
            "min_confidence must be from 0.0 to 1.0",
        ),
        (
            lambda c: qt.association_rules(quorlan.compute_lattice(c), None),
            TypeError,
            "min_confidence must be a float",
        ),
    ],
)
def test_thresholds_are_refused_by_name(call, error, message):
    with pytest.raises(error, match=message):
        call(small())


def test_fractions_round_up():
    ctx = small()
    assert qt.count_concepts(ctx, 0.34) == qt.count_concepts(ctx, 2)
    assert qt.count_concepts(ctx, 1.0) == qt.count_concepts(ctx, 3) == 1


def test_progress_is_reported_and_can_stop_the_search(capsys, monkeypatch):
    import random as r
    import sys

    rng = r.Random(5)
    rows = [[rng.random() < 0.3 for _ in range(70)] for _ in range(500)]  # 1.2 M, a few tenths
    ctx = context_of(rows)
    seen = []
    total = qt.count_concepts(ctx, progress=lambda found, share: seen.append((found, share)))
    assert len(seen) > 1 and seen[-1] == (total, 1.0)
    assert all(0.0 <= s <= 1.0 for _, s in seen) and [f for f, _ in seen] == sorted(
        f for f, _ in seen
    )
    monkeypatch.setitem(sys.modules, "tqdm.auto", None)  # the plain line without tqdm
    assert qt.iceberg(ctx, 0.2, progress=True).n_concepts == qt.count_concepts(ctx, 0.2)
    assert "concepts, 100% of the first level" in capsys.readouterr().err

    def stop(found, share):
        if share < 1.0:
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        qt.count_concepts(ctx, progress=stop)
    with pytest.raises(TypeError, match="progress must be a bool or a callable"):
        qt.count_concepts(ctx, progress="yes")
