"""The drawing as a notebook user meets it: the first svg(), a second one, and _repr_html_ after
them, each as a ratio to compute_concepts of the same context, in CPU time of one process.

    python bench/drawing_bench.py DATA                      # the quorlan on the path
    python bench/drawing_bench.py DATA before=DIR after=DIR  # two builds, side by side

A DIR holds a built module (quorlan.abi3.so). Every measurement runs in a fresh child process;
the builds take turns shape by shape, so that a busy machine slows them alike. Shapes whose
file is absent from DATA are skipped. Peak is the child's resident peak after the first drawing
(the parse, the lattice and the document).
"""

import json
import os
import pathlib
import random
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent

CHILD = r"""
import json, resource, sys, time
if sys.argv[1]:
    sys.path.insert(0, sys.argv[1])
import quorlan
content, name = open(sys.argv[2], "rb").read(), sys.argv[3]

def cpu(f):
    t = time.process_time()
    out = f()
    return time.process_time() - t, out

ctx = quorlan.parse_context(content, name)
lattice = quorlan.compute_lattice(ctx)
first, doc = cpu(lattice.svg)
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024  # before any list of dicts
digest = hash(doc), len(doc)
del doc
second, doc = cpu(lattice.svg)
same = (hash(doc), len(doc)) == digest
del doc
html, doc = cpu(lattice._repr_html_)
del doc
enum = min(cpu(lambda: quorlan.compute_concepts(ctx))[0] for _ in range(3))
print(json.dumps({"concepts": lattice.n_concepts, "enum": enum, "first": first,
                  "second": second, "html": html, "peak": peak, "same": same,
                  "bytes": digest[1]}))
"""


def fimi(n, m, density, seed):
    rng = random.Random(seed)
    rows = (" ".join(str(j) for j in range(m) if rng.random() < density) for _ in range(n))
    return "\n".join(rows).encode() + b"\n", "rand.dat"


def cxt(rows, m):
    n = len(rows)
    names = "".join(f"g{i}\n" for i in range(n)) + "".join(f"m{j}\n" for j in range(m))
    return (f"B\n\n{n}\n{m}\n\n" + names + "".join(r + "\n" for r in rows)).encode(), "s.cxt"


def chain(length):  # object i has the attributes 0 .. i-1
    return cxt(["X" * i + "." * (length - 1 - i) for i in range(length)], length - 1)


def boolean(m):  # object i has every attribute but i
    return cxt(["X" * i + "." + "X" * (m - 1 - i) for i in range(m)], m)


def from_data(data, *relative, name=None):
    for path in (data.joinpath(*relative), HERE.parent / "docs" / "data" / relative[-1]):
        if path.exists():
            return path.read_bytes(), name or path.name
    return None


def shapes(data):
    yield "mushroom", from_data(data, "fimi", "mushroom.dat")
    yield "rand-20x1000", fimi(20, 1000, 0.3, 1)
    yield "rand-20x2000", fimi(20, 2000, 0.3, 1)
    yield "rand-100x50", fimi(100, 50, 0.3, 1)
    yield "chain-200", chain(200)
    yield "boolean-12", boolean(12)
    yield "bob-ross", from_data(data, "cxt-concepts", "bob-ross.cxt")
    yield "rand-1000x100", from_data(data, "synthetic", "rand_1000x100_d20.dat")


def measure(build, content, name, scratch):
    scratch.write_bytes(content)
    out = subprocess.run(
        [sys.executable, "-c", CHILD, build, str(scratch), name],
        capture_output=True,
        text=True,
        check=True,
    )
    return json.loads(out.stdout)


def main():
    data = pathlib.Path(
        sys.argv[1] if len(sys.argv) > 1 else HERE.parent.parent / "shared" / "data"
    )
    builds = [arg.split("=", 1) for arg in sys.argv[2:]] or [["module", ""]]
    scratch = pathlib.Path(os.environ.get("TMPDIR", "/tmp")) / f"quorlan-drawing-{os.getpid()}"
    print(
        f"{'shape':<15} {'build':<8} {'concepts':>9} {'enum s':>8} {'first s':>8} "
        f"{'x enum':>6} {'again s':>8} {'x enum':>6} {'html s':>8} {'x enum':>6} {'peak MB':>8}"
    )
    try:
        for shape, made in shapes(data):
            if made is None:
                print(f"{shape:<15} skipped (absent)")
                continue
            for label, build in builds:
                r = measure(build, *made, scratch)
                flag = "" if r["same"] else "  (second drawing differs!)"
                print(
                    f"{shape:<15} {label:<8} {r['concepts']:>9} {r['enum']:>8.3f} "
                    f"{r['first']:>8.3f} {r['first'] / r['enum']:>6.1f} {r['second']:>8.3f} "
                    f"{r['second'] / r['enum']:>6.1f} {r['html']:>8.3f} "
                    f"{r['html'] / r['enum']:>6.1f} {r['peak']:>8.0f}{flag}",
                    flush=True,
                )
    finally:
        scratch.unlink(missing_ok=True)


if __name__ == "__main__":
    main()
