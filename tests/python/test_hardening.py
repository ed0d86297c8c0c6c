import gc
import os
import random
import sys
import threading

import pytest
from conftest import cxt

import quorlan

CTX_BYTES = cxt(
    [f"o{i}" for i in range(12)],
    [f"a{j}" for j in range(9)],
    ["".join("X" if (i * 7 + j * 3) % 5 < 2 else "." for j in range(9)) for i in range(12)],
)


def rss_kb():
    with open(f"/proc/{os.getpid()}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


_rng = random.Random(7)
STRESS_BYTES = cxt(
    [f"o{i}" for i in range(150)],
    [f"a{j}" for j in range(14)],
    ["".join("X" if _rng.random() < 0.4 else "." for _ in range(14)) for _ in range(150)],
)


def test_threads_share_one_context_and_render_lattices():
    ctx = quorlan.parse_context(STRESS_BYTES)
    expected = {a: quorlan.compute_concepts(ctx, a) for a in quorlan.supported_algorithms()}
    expected_imps = quorlan.compute_implications(ctx)
    lattice = quorlan.compute_lattice(ctx, "fcbo")
    expected_svg = lattice.svg()
    expected_concepts = lattice.concepts()
    barrier = threading.Barrier(8)
    failures = []

    def compute():
        barrier.wait()
        for i in range(40):
            a = quorlan.supported_algorithms()[i % 3]
            if quorlan.compute_concepts(ctx, a) != expected[a]:
                failures.append(a)
            if quorlan.compute_implications(ctx) != expected_imps:
                failures.append("implications")
            if quorlan.compute_lattice(ctx, a).concepts() != expected[a]:
                failures.append("lattice " + a)

    def read():
        barrier.wait()
        for _ in range(400):
            if (ctx.n_objects, ctx.n_attributes, repr(ctx)) != (
                150,
                14,
                "Context(objects=150, attributes=14)",
            ):
                failures.append("getters")

    def render():
        barrier.wait()
        for _ in range(40):
            try:
                if lattice.svg() != expected_svg:
                    failures.append("svg")
            except RuntimeError as e:  # another thread holds the lattice right now
                assert str(e) in ("Already borrowed", "Already mutably borrowed")

    def read_lattice():
        barrier.wait()
        for _ in range(200):
            try:
                if lattice.concepts() != expected_concepts:
                    failures.append("concepts")
            except RuntimeError as e:
                assert str(e) == "Already mutably borrowed"

    threads = [
        threading.Thread(target=f)
        for f in (compute, compute, compute, read, read, render, read_lattice, read_lattice)
    ]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []


@pytest.mark.parametrize(
    "operation",
    [
        "parse",
        "parse_error",
        "concepts",
        "lattice",
        "implications",
        "render",
        "binding_error",
        "unknown_algorithm",
    ],
)
def test_repetition_keeps_memory_flat(operation):
    ctx = quorlan.parse_context(CTX_BYTES)
    lat = quorlan.compute_lattice(ctx)
    ops = {
        "parse": lambda: quorlan.parse_context(CTX_BYTES, "x.cxt"),
        "parse_error": lambda: pytest.raises(ValueError, quorlan.parse_context, b"B\n1\n"),
        "concepts": lambda: quorlan.compute_concepts(ctx, "in-close-5"),
        "lattice": lambda: quorlan.compute_lattice(ctx, "fcbo").svg(),
        "implications": lambda: quorlan.compute_implications(ctx),
        "render": lambda: (lat._repr_html_(), lat.concepts()),
        "binding_error": lambda: pytest.raises(TypeError, quorlan.compute_concepts, ctx, algo="x"),
        "unknown_algorithm": lambda: pytest.raises(ValueError, quorlan.compute_lattice, ctx, "x"),
    }
    op = ops[operation]
    for _ in range(300):
        op()
    gc.collect()
    before = rss_kb()
    for _ in range(3000):
        op()
    gc.collect()
    grown = rss_kb() - before
    assert grown < 2048, f"{operation}: resident memory grew by {grown} KiB over 3000 calls"


def test_reference_counts_of_arguments_unchanged():
    data = bytes(CTX_BYTES)
    name = "".join(["x", ".cxt"])
    algo = "".join(["fc", "bo"])
    ctx = quorlan.parse_context(data, name)
    counts = [sys.getrefcount(o) for o in (data, name, algo, ctx)]
    for _ in range(100):
        quorlan.parse_context(data, name)
        quorlan.compute_concepts(ctx, algo)
        quorlan.compute_lattice(ctx, algorithm=algo)
        quorlan.compute_implications(ctx)
        with pytest.raises(TypeError):
            quorlan.parse_context(data, filename=None)
    assert [sys.getrefcount(o) for o in (data, name, algo, ctx)] == counts


def staircase_bytes(n):
    return cxt(
        [f"o{i}" for i in range(n)],
        [f"a{j}" for j in range(n)],
        ["X" * (i + 1) + "." * (n - i - 1) for i in range(n)],
    )


def test_tall_lattice_in_a_thread_with_a_small_stack():
    data = staircase_bytes(1500)
    results = {}

    def run():
        ctx = quorlan.parse_context(data)
        results["n"] = [quorlan.compute_lattice(ctx, a).n_concepts for a in ("fcbo", "in-close-5")]
        results["svg"] = quorlan.compute_lattice(ctx, "fcbo").svg().count("<circle")

    old = threading.stack_size(256 * 1024)
    try:
        t = threading.Thread(target=run)
        t.start()
        t.join()
    finally:
        threading.stack_size(old)
    assert results == {"n": [1500, 1500], "svg": 1500}


def test_wide_sparse_context():
    lines = [" ".join(str(x) for x in range(i, 100_000, 9973)) for i in range(40)]
    ctx = quorlan.parse_context("\n".join(lines).encode(), "wide.dat")
    assert ctx.n_attributes == max(int(x) for line in lines for x in line.split()) + 1 > 99_000
    counts = {a: len(quorlan.compute_concepts(ctx, a)) for a in quorlan.supported_algorithms()}
    assert len(set(counts.values())) == 1
    lat = quorlan.compute_lattice(ctx, "fcbo")
    assert lat.svg().count("<circle") == lat.n_concepts
    assert len(quorlan.compute_implications(quorlan.parse_context(b"1 5\n5 9\n", "w.dat"))) > 0


def test_oversized_inputs_refused_quickly():
    with pytest.raises(ValueError, match="item identifier 3000000"):
        quorlan.parse_context(b"3000000\n", "big.dat")
    with pytest.raises(ValueError, match="expected 1000000000 object names, got 1"):
        quorlan.parse_context(b"B\n1000000000\n1000000000\nonly\n")


BOUNDED_CHILD = """
import resource, sys
limit = int(sys.argv[1]) << 20
resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
import quorlan
kind = sys.argv[2]
if kind == "xml":
    k = 300_000
    parts = ['<C>'] + ['<Attribute Name="a%d"/>' % i for i in range(k)] + ['<Object></Object>'] * k
    data, name = ("".join(parts) + "</C>").encode(), "h.xml"
elif kind == "fimi":
    data, name = b"2097151\\n" * 4096, "h.dat"
elif kind == "deep xml":
    data, name = b'<C><Attribute Name="a"/>' + b"<a>" * 10_000_000, "h.xml"
elif kind.startswith("wide"):
    # Rows of marks over many attributes: one object with every other attribute, or three
    # objects with the attributes divisible by 2, 3 and 5.
    n, m = (1, 100_000) if kind == "wide 1" else (3, 200_000)
    rows = ["".join("X" if j % (2, 3, 5)[i] == 0 else "." for j in range(m)) for i in range(n)]
    data = ("B\\n%d\\n%d\\n" % (n, m) + "o\\n" * n + "a\\n" * m + "\\n".join(rows)).encode()
    name = "h.cxt"
else:
    data, name = b"1 2\\n0 2\\n" * 500_000, "h.dat"
try:
    ctx = quorlan.parse_context(data, name)
except ValueError as e:
    print(e)
    sys.exit()
del data
counts = {quorlan.compute_lattice(ctx, a).n_concepts for a in quorlan.supported_algorithms()}
print(ctx.n_objects, ctx.n_attributes, *counts)
"""


# Inputs whose rows would once have been dense: 300,000 empty objects under as many attributes,
# one large item identifier on 4,096 lines, a million short transactions. Each is read and its
# lattice computed by every algorithm in a child whose address space is capped.
@pytest.mark.parametrize(
    "kind, limit_mb, expected",
    [
        ("xml", 512, "300000 300000 2"),
        ("fimi", 512, "4096 2097152 2"),
        ("short", 512, "1000000 3 4"),
        # Wide contexts: no algorithm may keep attributes x attributes of anything.
        ("wide 1", 512, "1 100000 2"),
        ("wide 3", 512, "3 200000 8"),
        # Ten million unclosed elements: memory follows the depth, not a document tree.
        (
            "deep xml",
            512,
            "parse error: parse error in fca-xml: XML parse error at position 30000023: "
            "Start-end tags mismatch",
        ),
    ],
)
def test_sparse_inputs_in_bounded_memory(kind, limit_mb, expected):
    import subprocess

    run = subprocess.run(
        [sys.executable, "-c", BOUNDED_CHILD, str(limit_mb), kind],
        capture_output=True,
        text=True,
        timeout=300,
    )
    assert run.returncode == 0, run.stderr[-2000:]
    assert run.stdout.split() == expected.split()
