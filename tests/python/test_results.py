"""Results of the computation functions against the plain reference conversion, and their
ownership: one str per name per call, nothing shared between calls, no references left over."""

import gc
import json
import sys

import reference
from conftest import contexts
from hypothesis import given, settings
from hypothesis import strategies as st

import quorlan

# Names drawn from a small pool so that they repeat; empty and non-ASCII ones included.
NAMES = st.sampled_from(["", "a", "a", "b", "é", "中文", "🍄 cap", " x ", "a"])


def parse(objects, attributes, rows):
    doc = {
        "quorlan_version": "0.2.0",
        "context": {"objects": objects, "attributes": attributes, "incidence": rows},
    }
    return quorlan.parse_context(json.dumps(doc).encode(), "c.json")


@settings(max_examples=200, deadline=None)
@given(contexts(NAMES, objects=(0, 9), attributes=(0, 7)))
def test_results_equal_the_reference_procedures(parts):
    """Each algorithm's list is its plain procedure's, element by element (which also holds the
    same concepts as closing every attribute subset), through both result paths."""
    ctx = parse(*parts)
    lectic = reference.next_closure(*parts)
    depth_first = reference.close_by_one(*parts)
    every_subset_closed = reference.brute_force(*parts)
    assert reference.as_sorted(lectic) == every_subset_closed
    assert reference.as_sorted(depth_first) == every_subset_closed
    for algorithm, expected in [
        ("next-closure", lectic),
        ("fcbo", depth_first),
        ("in-close-5", depth_first),
    ]:
        assert quorlan.compute_concepts(ctx, algorithm) == expected, algorithm
        assert quorlan.compute_lattice(ctx, algorithm).concepts() == expected, algorithm
    assert quorlan.compute_concepts(ctx) == lectic
    assert quorlan.compute_implications(ctx) == reference.canonical_base(*parts)


def test_one_str_per_name_per_call():
    # (Names of one character would be CPython's own shared strs.)
    ctx = parse(["obj", "pen", "obj"], ["aa", "bb"], [[True, False], [True, True], [False, True]])
    first, second = quorlan.compute_concepts(ctx), quorlan.compute_concepts(ctx)
    occurrences = [x for d in first for x in d["extent"] if x == "pen"]
    assert len(occurrences) > 1 and all(x is occurrences[0] for x in occurrences)
    # Objects 0 and 2 share a name, not a str: one str per name index.
    top = first[0]["extent"]
    assert top == ["obj", "pen", "obj"] and top[0] is not top[2]
    # A fresh set per call.
    assert second[0]["extent"][1] is not first[0]["extent"][1]


def test_mutating_a_result_leaves_others_alone():
    ctx = parse(["o", "p"], ["a", "b"], [[True, False], [False, True]])
    lattice = quorlan.compute_lattice(ctx, "fcbo")
    expected = quorlan.compute_concepts(ctx, "fcbo")
    for make in (lambda: quorlan.compute_concepts(ctx, "fcbo"), lattice.concepts):
        mutated = make()
        mutated[0]["extent"].append("x")
        mutated[1]["intent"][0] = "y"
        mutated[2]["extent"] = []
        del mutated[3]
        assert make() == expected
    imps = quorlan.compute_implications(parse(["o"], ["a", "b"], [[True, False]]))
    imps[0]["conclusion"].clear()
    imps[0]["support"] = -1
    assert quorlan.compute_implications(parse(["o"], ["a", "b"], [[True, False]])) == [
        {"premise": [], "conclusion": ["a"], "support": 1, "confidence": 1.0}
    ]


def test_lattice_shares_the_record_and_outlives_the_context():
    ctx = parse(["o", "p"], ["a", "b"], [[True, False], [False, True]])
    expected = quorlan.compute_concepts(ctx, "fcbo")
    lattices = [quorlan.compute_lattice(ctx, "fcbo") for _ in range(3)]
    del ctx
    gc.collect()
    for lattice in lattices:
        assert lattice.concepts() == expected
        assert lattice.svg().count("<circle") == 4


def test_name_references_return_to_their_baseline():
    ctx = parse(
        ["o%d" % i for i in range(30)],
        ["two", "three", "six"],
        [[i % 2 == 0, i % 3 == 0, i % 6 == 0] for i in range(30)],
    )
    for call in (
        lambda: quorlan.compute_concepts(ctx, "fcbo"),
        lambda: quorlan.compute_lattice(ctx).concepts(),
        lambda: quorlan.compute_implications(ctx),
    ):
        for _ in range(2000):
            result = call()
            key = "extent" if "extent" in result[0] else "conclusion"
            name = next(x for d in result for x in d[key])
            uses = sum(
                1 for d in result for v in d.values() if isinstance(v, list) for x in v if x is name
            )
            # The result's uses, this variable and getrefcount's argument: nothing else holds it.
            assert sys.getrefcount(name) == uses + 2
            del result
            assert sys.getrefcount(name) == 2
