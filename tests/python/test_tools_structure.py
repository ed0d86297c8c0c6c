"""quorlan_tools' structure against the definitions, on random contexts: covers, neighbours,
filters and ideals by extent inclusion, joins and meets, look-ups by closure, the drawing's
layout against the SVG document, networkx and DOT; arguments refused with their names."""

import json
import random
import sys

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from view_geometry import read_drawing

import quorlan
import quorlan_tools as qt

ALGORITHMS = ["next-closure", "in-close-5", "fcbo"]


def lattice_of(rows, algorithm="fcbo", names=None):
    m = len(rows[0]) if rows else 0
    objects = names[0] if names else [f"g{i}" for i in range(len(rows))]
    attributes = names[1] if names else [f"m{j}" for j in range(m)]
    document = {
        "quorlan_version": "0.2.0",
        "context": {"objects": objects, "attributes": attributes, "incidence": rows},
    }
    return quorlan.compute_lattice(
        quorlan.parse_context(json.dumps(document).encode(), "c.json"), algorithm
    )


class Order:
    """The order of a lattice by its definition: i ≤ j when i's extent lies in j's."""

    def __init__(self, lat):
        self.concepts = lat.concepts()
        self.ext = [frozenset(c["extent"]) for c in self.concepts]
        self.int = [frozenset(c["intent"]) for c in self.concepts]
        self.n = len(self.concepts)

    def below(self, i, j):
        return self.ext[i] <= self.ext[j]

    def covers(self):
        return sorted(
            (i, j)
            for i in range(self.n)
            for j in range(self.n)
            if i != j
            and self.below(i, j)
            and not any(
                k not in (i, j) and self.below(i, k) and self.below(k, j) for k in range(self.n)
            )
        )

    def by_extent(self, extent):
        return self.ext.index(frozenset(extent))


ROWS = st.integers(0, 7).flatmap(
    lambda m: st.lists(st.lists(st.booleans(), min_size=m, max_size=m), min_size=0, max_size=8)
)


@settings(max_examples=80, deadline=None)
@given(ROWS, st.sampled_from(ALGORITHMS), st.booleans())
def test_structure_is_the_order_by_extents(rows, algorithm, covers_first):
    lat = lattice_of(rows, algorithm)
    order = Order(lat)
    expected = order.covers()
    if covers_first:  # answered from the cache, and otherwise from the context
        got = qt.covers(lat)
        assert got.dtype == np.uint32 and got.shape == (len(expected), 2)
        assert [tuple(p) for p in got.tolist()] == expected
    for i in range(order.n):
        assert qt.upper_covers(lat, i) == [j for a, j in expected if a == i]
        assert qt.lower_covers(lat, i) == [a for a, j in expected if j == i]
        assert qt.up_set(lat, i).tolist() == [j for j in range(order.n) if order.below(i, j)]
        assert qt.down_set(lat, i).tolist() == [j for j in range(order.n) if order.below(j, i)]
    pairs = [(i, j) for i in range(order.n) for j in range(order.n)]
    for i, j in random.Random(len(pairs)).sample(pairs, min(len(pairs), 30)):
        common = order.int[i] & order.int[j]
        assert qt.join(lat, i, j) == order.int.index(common)
        assert qt.meet(lat, i, j) == order.by_extent(order.ext[i] & order.ext[j])
    assert qt.top(lat) == order.by_extent(max(order.ext, key=len))
    assert order.ext[qt.bottom(lat)] == min(order.ext, key=len)
    assert [tuple(p) for p in qt.covers(lat).tolist()] == expected


def closure_of(rows, attributes):
    extent = [g for g, r in enumerate(rows) if all(r[j] for j in attributes)]
    m = len(rows[0]) if rows else 0
    return [j for j in range(m) if all(rows[g][j] for g in extent)], extent


@settings(max_examples=60, deadline=None)
@given(ROWS, st.data())
def test_concept_of_is_the_closure(rows, data):
    lat = lattice_of(rows)
    order = Order(lat)
    m = len(rows[0]) if rows else 0
    chosen = data.draw(st.lists(st.integers(0, max(m - 1, 0)), max_size=3)) if m else []
    intent, extent = closure_of(rows, chosen)
    found = qt.concept_of(lat, intent=[f"m{j}" for j in reversed(chosen)])
    assert order.concepts[found]["intent"] == [f"m{j}" for j in intent]
    objects = data.draw(st.lists(st.integers(0, max(len(rows) - 1, 0)), max_size=3)) if rows else []
    common = [j for j in range(m) if all(rows[g][j] for g in objects)]
    found = qt.concept_of(lat, extent=[f"g{g}" for g in objects])
    assert order.concepts[found]["intent"] == [f"m{j}" for j in common]


@pytest.mark.parametrize(
    "seed, n, m, density", [(1, 300, 40, 0.2), (2, 40, 300, 0.1), (3, 500, 25, 0.5)]
)
def test_larger_lattices_cover_both_ways(seed, n, m, density):
    # Neighbours from the context agree with the cover relation on lattices of thousands.
    rng = random.Random(seed)
    rows = [[rng.random() < density for _ in range(m)] for _ in range(n)]
    lat, again = lattice_of(rows), lattice_of(rows)
    sample = rng.sample(range(lat.n_concepts), 200)
    before = [(qt.upper_covers(lat, i), qt.lower_covers(lat, i)) for i in sample]
    uppers, lowers = {}, {}
    for a, b in qt.covers(again).tolist():  # in the relation's order, as the lists must be
        uppers.setdefault(a, []).append(b)
        lowers.setdefault(b, []).append(a)
    for i, (up, down) in zip(sample, before):
        assert up == uppers.get(i, []) == qt.upper_covers(again, i)
        assert down == lowers.get(i, []) == qt.lower_covers(again, i)


def test_layout_is_the_drawing():
    rng = random.Random(7)
    rows = [[rng.random() < 0.4 for _ in range(9)] for _ in range(14)]
    lat = lattice_of(rows)
    drawn = read_drawing(lat.svg())
    got = qt.layout(lat)
    assert got.layers == drawn.layers
    text = lat.svg()
    for i in range(lat.n_concepts):
        assert f'<circle cx="{got.x[i]:.1f}" cy="{got.y[i]:.1f}" r=' in text


def test_networkx_and_dot():
    names = (['a"b', "c\\d", "e\nf"], ["x<y>", "z&w"])
    lat = lattice_of([[True, False], [True, True], [False, True]], names=names)
    dot = qt.to_dot(lat)
    assert dot.startswith("digraph lattice {") and dot.rstrip().endswith("}")
    assert 'a\\"b' in dot and "c\\\\d" in dot and "e\\nf" in dot and "\ne\nf" not in dot
    assert dot.count(" -> ") == len(qt.covers(lat))
    nx = pytest.importorskip("networkx")
    graph = qt.to_networkx(lat)
    assert isinstance(graph, nx.DiGraph) and graph.number_of_nodes() == lat.n_concepts
    assert sorted(graph.edges()) == sorted(map(tuple, qt.covers(lat).tolist()))
    assert graph.nodes[qt.top(lat)]["extent"] == names[0]


def test_networkx_missing_is_a_clear_import_error(monkeypatch):
    monkeypatch.setitem(sys.modules, "networkx", None)
    with pytest.raises(ImportError, match=r"needs the package networkx \(pip install networkx\)"):
        qt.to_networkx(lattice_of([[True]]))


LAT = None


def polygons():
    global LAT
    if LAT is None:
        LAT = lattice_of([[True, False, True], [True, True, False], [False, True, True]])
    return LAT


@pytest.mark.parametrize(
    "call, error, message",
    [
        (
            lambda lat: qt.upper_covers(lat, -1),
            ValueError,
            r"i must be the index of a concept, from 0",
        ),
        (lambda lat: qt.upper_covers(lat, lat.n_concepts), ValueError, r"; got 8$"),
        (lambda lat: qt.lower_covers(lat, True), TypeError, "i must be an int, not bool"),
        (lambda lat: qt.up_set(lat, 1.0), TypeError, "i must be an int, not float"),
        (lambda lat: qt.down_set(lat, 2**64), ValueError, "i must be the index of a concept"),
        (lambda lat: qt.join(lat, 0, None), TypeError, "j must be an int, not NoneType"),
        (lambda lat: qt.meet(lat, "0", 1), TypeError, "i must be an int, not str"),
        (lambda lat: qt.covers(lat.concepts()), TypeError, "lat must be a quorlan.Lattice"),
        (lambda lat: qt.concept_of(lat), TypeError, "either intent or extent"),
        (lambda lat: qt.concept_of(lat, intent="m0"), TypeError, "intent must be a list of names"),
        (lambda lat: qt.concept_of(lat, intent=[0]), TypeError, "intent must hold str names"),
        (
            lambda lat: qt.concept_of(lat, intent=["nope"]),
            ValueError,
            "intent: the context has no attribute named 'nope'",
        ),
        (lambda lat: qt.concept_of(lat, extent=["m0"]), ValueError, "no object named 'm0'"),
    ],
)
def test_bad_arguments_are_refused_by_name(call, error, message):
    with pytest.raises(error, match=message):
        call(polygons())


def test_numpy_integers_are_indices():
    lat = polygons()
    assert qt.upper_covers(lat, np.int64(3)) == qt.upper_covers(lat, 3)
