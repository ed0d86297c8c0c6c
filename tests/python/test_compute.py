import threading
import time

import pytest
from conftest import cxt

import quorlan

ALGORITHMS = ["next-closure", "in-close-5", "fcbo"]


def as_set(dicts):
    return {(tuple(d["extent"]), tuple(d["intent"])) for d in dicts}


# Concept counts computed independently of quorlan (tests/data/README.md).
@pytest.mark.parametrize(
    "name, concepts",
    [
        ("animals_en.cxt", 35),
        ("planets_en.cxt", 12),
        ("seasoningplanner_de.cxt", 532),
        ("tealady.cxt", 65),
    ],
)
def test_classic_contexts(data_dir, name, concepts):
    content = (data_dir / "cxt" / name).read_bytes()
    if name == "seasoningplanner_de.cxt":
        # This file names its context on the line after the header, which the format refuses.
        with pytest.raises(
            ValueError,
            match="^parse error: parse error in cxt: expected object "
            'count as a non-negative integer, got "Gewuerzplaner"$',
        ):
            quorlan.parse_context(content, name)
        content = content.replace(b"B\nGewuerzplaner\n", b"B\n\n", 1)
    ctx = quorlan.parse_context(content, name)
    results = {a: quorlan.compute_concepts(ctx, a) for a in ALGORITHMS}
    assert {a: len(r) for a, r in results.items()} == {a: concepts for a in ALGORITHMS}
    assert as_set(results["next-closure"]) == as_set(results["fcbo"])
    assert results["fcbo"] == results["in-close-5"]


def test_supported_algorithms_is_a_new_list():
    names = quorlan.supported_algorithms()
    assert names == ALGORITHMS
    names.append("x")
    assert quorlan.supported_algorithms() == ALGORITHMS


@pytest.mark.parametrize(
    "name, message",
    [
        ("foo", 'unknown algorithm `foo`; try one of: ["next-closure", "in-close-5", "fcbo"]'),
        ("", 'unknown algorithm ``; try one of: ["next-closure", "in-close-5", "fcbo"]'),
        ("Foo", 'unknown algorithm `Foo`; try one of: ["next-closure", "in-close-5", "fcbo"]'),
        (
            "in_close_5",
            'unknown algorithm `in_close_5`; try one of: ["next-closure", "in-close-5", "fcbo"]',
        ),
        # A long name is cut after 256 characters, however long it is.
        pytest.param(
            "é" * 10_000_000,
            "unknown algorithm `" + "é" * 256 + "…` and 9999744 more "
            'characters; try one of: ["next-closure", "in-close-5", "fcbo"]',
            id="long",
        ),
    ],
)
def test_unknown_algorithm(name, message):
    ctx = quorlan.parse_context(cxt(["o"], ["a"], ["X"]))
    for f in (quorlan.compute_concepts, quorlan.compute_lattice):
        with pytest.raises(ValueError) as info:
            f(ctx, name)
        assert str(info.value) == message


def test_algorithm_argument_type():
    ctx = quorlan.parse_context(cxt(["o"], ["a"], ["X"]))
    with pytest.raises(
        TypeError,
        match="^argument 'algorithm': 'NoneType' object cannot be converted to 'PyString'$",
    ):
        quorlan.compute_concepts(ctx, None)
    # ctx is converted before the algorithm is looked at
    with pytest.raises(TypeError, match="argument 'ctx'"):
        quorlan.compute_lattice(1, None)


def test_aliases_and_default():
    ctx = quorlan.parse_context(cxt(["o1", "o2"], ["a", "b"], ["X.", ".X"]))
    default = quorlan.compute_concepts(ctx)
    assert (
        default
        == quorlan.compute_concepts(ctx, "next-closure")
        == quorlan.compute_concepts(ctx, "NC")
    )
    assert [d["intent"] for d in default] == [[], ["b"], ["a"], ["a", "b"]]
    assert [d["intent"] for d in quorlan.compute_concepts(ctx, algorithm="IC5")] == [
        [],
        ["a"],
        ["a", "b"],
        ["b"],
    ]


def test_empty_context_and_repeated_names():
    empty = quorlan.parse_context(b"B\n0\n0\n")
    assert quorlan.compute_concepts(empty) == [{"extent": [], "intent": []}]
    lat = quorlan.compute_lattice(empty)
    assert repr(lat) == "Lattice(concepts=1)" and lat.n_concepts == 1
    rep = quorlan.parse_context(cxt(["o", "o"], ["a", "a"], ["XX", "XX"]))
    assert quorlan.compute_concepts(rep) == [{"extent": ["o", "o"], "intent": ["a", "a"]}]


def test_names_are_fresh_objects():
    ctx = quorlan.parse_context(cxt(["obj"], ["attr"], ["X"]))
    a, b = quorlan.compute_concepts(ctx), quorlan.compute_concepts(ctx)
    assert a[0]["extent"][0] == "obj" and a[0]["extent"][0] is not b[0]["extent"][0]


def test_lattice_outlives_its_context():
    ctx = quorlan.parse_context(cxt(["o1", "o2"], ["a", "b"], ["X.", ".X"]))
    lat = quorlan.compute_lattice(ctx, "fcbo")
    expected = quorlan.compute_concepts(ctx, "fcbo")
    del ctx
    assert lat.concepts() == expected
    assert lat.svg().startswith("<?xml")


def staircase(n):
    return cxt(
        [f"o{i}" for i in range(n)],
        [f"a{j}" for j in range(n)],
        ["X" * (i + 1) + "." * (n - i - 1) for i in range(n)],
    )


def test_implications_worked_example_and_shape():
    ctx = quorlan.parse_context(cxt(["o0", "o1"], ["a", "b"], ["XX", "X."]))
    assert quorlan.compute_implications(ctx) == [
        {"premise": [], "conclusion": ["a"], "support": 2, "confidence": 1.0}
    ]
    imps = quorlan.compute_implications(quorlan.parse_context(staircase(6)))
    for imp in imps:
        assert list(imp) == ["premise", "conclusion", "support", "confidence"]
        assert type(imp["support"]) is int and imp["confidence"] == 1.0
        assert set(imp["premise"]) <= set(imp["conclusion"])
    assert quorlan.compute_implications(quorlan.parse_context(b"B\n0\n2\na\nb\n")) == [
        {"premise": [], "conclusion": ["a", "b"], "support": 0, "confidence": 1.0}
    ]
    assert quorlan.compute_implications(quorlan.parse_context(b"B\n2\n0\nx\ny\n.\n.\n")) == []


def test_interpreter_lock_released_during_enumeration():
    # A 22x22 context with every object missing one attribute has 2^22 concepts: long enough
    # for a Python thread to count while the engine runs.
    n = 22
    ctx = quorlan.parse_context(
        cxt(
            [f"o{i}" for i in range(n)],
            [f"a{j}" for j in range(n)],
            ["X" * i + "." + "X" * (n - i - 1) for i in range(n)],
        )
    )
    ticks = []
    done = threading.Event()
    barrier = threading.Barrier(2)

    def count():
        barrier.wait()
        while not done.is_set():
            ticks.append(1)
            time.sleep(0.001)

    t = threading.Thread(target=count)
    t.start()
    barrier.wait()
    start = len(ticks)
    lat = quorlan.compute_lattice(ctx, "fcbo")
    during = len(ticks) - start
    done.set()
    t.join()
    assert lat.n_concepts == 2**n
    assert during > 5


def test_shared_access_from_threads():
    ctx = quorlan.parse_context(staircase(40))
    expected = quorlan.compute_concepts(ctx, "fcbo")
    results = []
    barrier = threading.Barrier(4)

    def work():
        barrier.wait()
        for _ in range(5):
            results.append(quorlan.compute_concepts(ctx, "fcbo") == expected and repr(ctx))

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == ["Context(objects=40, attributes=40)"] * 20
