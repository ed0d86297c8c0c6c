"""Time and peak memory of hostile, degenerate and line-heavy inputs, each in a fresh process.

    python3 bench/hostile_bench.py [--python PATH]... [--only SUBSTRING]...

Peak memory is the child's resident high-water mark minus its size before the operation (the
interpreter, the module and the input bytes, read from a file): what parsing takes above the
input, the context included; "x input" divides it by the input's size, and a parse of a million
tiny rows also states it per object. For a failed parse the length of the message is shown, for
a Ctrl-C case the delay from the signal, sent 0.3 s into the parse, to KeyboardInterrupt. With
several --python interpreters (for instance two virtual environments holding two builds) each
input is run under each, one after another.
"""

import signal
import subprocess
import sys
import tempfile
import time

CHILD = """
import sys, time, quorlan
def hwm_mb():
    # The high-water mark of this process's own memory (ru_maxrss would include the parent's
    # resident size at fork); writing 5 to clear_refs starts a new one.
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
def reset_hwm():
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
data, name, operation = open(sys.argv[1], "rb").read(), sys.argv[2], sys.argv[3]
if operation == "parse":
    base = hwm_mb()
    t0 = time.perf_counter()
    try:
        ctx = quorlan.parse_context(data, name)
        outcome = "parsed %dx%d" % (ctx.n_objects, ctx.n_attributes)
    except ValueError as e:
        outcome = "message of %d characters: %s" % (len(str(e)), str(e)[:48])
    print(f"{time.perf_counter() - t0:.3f}|{hwm_mb() - base:.0f}|{len(data)}|{outcome}")
elif operation == "sigint":
    print("start", time.monotonic(), flush=True)
    try:
        quorlan.parse_context(data, name)
        print("finished", time.monotonic(), flush=True)
    except KeyboardInterrupt:
        print("interrupted", time.monotonic(), flush=True)
elif operation == "algorithm":
    ctx = quorlan.parse_context(b"B\\n1\\n1\\no\\na\\nX\\n")
    try:
        quorlan.compute_concepts(ctx, data.decode())
    except ValueError as e:
        print(f"0|0|{len(data)}|message of {len(str(e))} characters: {str(e)[:48]}")
else:  # one algorithm on the parsed context
    ctx = quorlan.parse_context(data, name)
    del data
    reset_hwm()
    base = hwm_mb()
    t0 = time.perf_counter()
    lattice = quorlan.compute_lattice(ctx, operation)
    size = len(open(sys.argv[1], 'rb').read())
    print(f"{time.perf_counter() - t0:.3f}|{hwm_mb() - base:.0f}|{size}"
          f"|{lattice.n_concepts} concepts")
"""


def xml_empty_objects(k):
    parts = ['<?xml version="1.0"?><C>']
    parts += ['<Attribute Name="a%d"/>' % i for i in range(k)]
    parts += ["<Object></Object>"] * k
    return ("".join(parts) + "</C>").encode(), "h.xml"


def xml_ordinary(size):
    rng = __import__("random").Random(5)
    parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<FcaContext>\n']
    parts += ['  <Attribute Id="%d" Name="attribute &amp; %d"/>\n' % (j, j) for j in range(1000)]
    total = sum(map(len, parts))
    i = 0
    while total < size:
        refs = "".join('<HasAttribute Id="%d"/>' % j for j in sorted(rng.sample(range(1000), 50)))
        obj = "  <Object><Name>object %d</Name>%s</Object>\n" % (i, refs)
        parts.append(obj)
        total += len(obj)
        i += 1
    return ("".join(parts) + "</FcaContext>\n").encode(), "h.xml"


def wide(n, m):
    """n objects over m attributes, object i having the attributes divisible by 2, 3, 5, ..."""
    primes = [2, 3, 5, 7, 11]
    rows = ["".join("X" if j % primes[i] == 0 else "." for j in range(m)) for i in range(n)]
    data = "B\n%d\n%d\n" % (n, m) + "o\n" * n + "a\n" * m + "\n".join(rows) + "\n"
    return data.encode(), "w.cxt"


def ordinary_cxt(size):
    """Objects named "object 17" over 100 attributes, a third of the cells marked."""
    rng = __import__("random").Random(7)
    m = 100
    row_bytes = len("object 0000000\n") + m + 1
    n = size // row_bytes
    rows = ["".join("X" if rng.random() < 0.33 else "." for _ in range(m)) for _ in range(997)]
    data = (
        "B\n\n%d\n%d\n\n" % (n, m)
        + "".join("object %d\n" % i for i in range(n))
        + "".join("attribute %d\n" % j for j in range(m))
        + "".join(rows[i % 997] + "\n" for i in range(n))
    )
    return data.encode(), "h.cxt"


def fimi_of(size, items, seed):
    """Transactions of `items` items out of 1,000, 997 distinct rows repeated to `size` bytes."""
    rng = __import__("random").Random(seed)
    lines = [" ".join(map(str, sorted(rng.sample(range(1000), items)))) + "\n" for _ in range(997)]
    out, total, i = [], 0, 0
    while total < size:
        out.append(lines[i % 997])
        total += len(out[-1])
        i += 1
    return "".join(out).encode(), "h.dat"


def ordinary_csv(size):
    """A header of 100 attributes, rows of 0 and 1 named "object 17"."""
    rng = __import__("random").Random(9)
    rows = [",".join("1" if rng.random() < 0.33 else "0" for _ in range(100)) for _ in range(997)]
    out = ["name," + ",".join("attribute %d" % j for j in range(100)) + "\n"]
    total, i = len(out[0]), 0
    while total < size:
        out.append("object %d,%s\n" % (i, rows[i % 997]))
        total += len(out[-1])
        i += 1
    return "".join(out).encode(), "h.csv"


ALGORITHMS = ["next-closure", "fcbo", "in-close-5"]

# (name, builder of (bytes, file name), operations)
CASES = [
    (
        "entity expansion",
        lambda: (
            (
                '<?xml version="1.0"?><!DOCTYPE l [<!ENTITY a "aaaaaaaaaa">'
                + "".join(
                    f'<!ENTITY {chr(97 + i)} "' + f"&{chr(96 + i)};" * 10 + '">'
                    for i in range(1, 10)
                )
                + ']><C><Attribute Name="x"/><Object><Name>&j;</Name></Object></C>'
            ).encode(),
            "h.xml",
        ),
        ["parse"],
    ),
    (
        "100 000 nested arrays",
        lambda: (
            b'{"x": '
            + b"[" * 100_000
            + b"]" * 100_000
            + b', "quorlan_version": "1", "context": [[], [], []]}',
            "h.json",
        ),
        ["parse"],
    ),
    (
        "50 MB name",
        lambda: (
            b'<C><Attribute Name="a"/><Object><Name>' + b"n" * 50_000_000 + b"</Name></Object></C>",
            "h.xml",
        ),
        ["parse"],
    ),
    (
        "huge declared counts",
        lambda: (b"B\n18446744073709551615\n18446744073709551615\n", "h.cxt"),
        ["parse"],
    ),
    ("huge item identifier", lambda: (b"4294967295\n", "h.dat"), ["parse"]),
    ("2^21 - 1 identifier", lambda: (b"2097151\n", "h.dat"), ["parse"]),
    ("4096 x item 2^21 - 1", lambda: (b"2097151\n" * 4096, "h.dat"), ["parse"]),
    ("xml 100k x 100k empty", lambda: xml_empty_objects(100_000), ["parse"]),
    ("xml 300k x 300k empty", lambda: xml_empty_objects(300_000), ["parse"]),
    ("xml 100 MB", lambda: xml_ordinary(100_000_000), ["parse", "sigint"]),
    (
        "xml 10^5 attributes",
        lambda: (
            ("<C><x " + " ".join('a%d=""' % i for i in range(100_000)) + "/></C>").encode(),
            "h.xml",
        ),
        ["parse"],
    ),
    (
        "xml 10^6 attributes",
        lambda: (
            ("<C><x " + " ".join('a%d=""' % i for i in range(1_000_000)) + "/></C>").encode(),
            "h.xml",
        ),
        ["parse"],
    ),
    ("xml 10^7 unclosed", lambda: (b"<a>" * 10_000_000, "h.xml"), ["parse"]),
    ("fimi 10^8-digit token", lambda: (b"1" * 100_000_000 + b"\n", "h.dat"), ["parse"]),
    ("cxt 10 MB control header", lambda: (b"\x01" * 10_000_000 + b"\n", "h.cxt"), ["parse"]),
    ("10 MB algorithm name", lambda: (b"x" * 10_000_000, ""), ["algorithm"]),
    ("fimi 50 MB", lambda: (b"1 2 3 4 5 6 7 8 9 10 11 12\n" * 2_000_000, "h.dat"), ["sigint"]),
    ("wide 1 x 10^5", lambda: wide(1, 100_000), ALGORITHMS),
    ("wide 3 x 10^6", lambda: wide(3, 1_000_000), ALGORITHMS),
    ("cxt 100 MB", lambda: ordinary_cxt(100_000_000), ["parse"]),
    ("fimi 100 MB", lambda: fimi_of(100_000_000, 20, 8), ["parse"]),
    ("fimi 100 MB, 15-item rows", lambda: fimi_of(100_000_000, 15, 10), ["parse"]),
    ("csv 100 MB", lambda: ordinary_csv(100_000_000), ["parse"]),
    (
        "csv 10^6 rows of 20",
        lambda: (
            (
                "name,"
                + ",".join("a%d" % j for j in range(20))
                + "\n"
                + "".join(
                    "object %d,%s\n"
                    % (i, ",".join("1" if (i * 7 + j) % 3 == 0 else "0" for j in range(20)))
                    for i in range(1_000_000)
                )
            ).encode(),
            "h.csv",
        ),
        ["parse"],
    ),
    (
        "json 100 MB string",
        lambda: (
            b'{"quorlan_version": "1", "context": {"objects": ["'
            + b"n" * 100_000_000
            + b'"], "attributes": ["a"], "incidence": [[true]]}}',
            "h.json",
        ),
        ["parse"],
    ),
    (
        "xml 100 MB name",
        lambda: (
            b'<C><Attribute Name="a"/><Object><Name>'
            + b"n" * 100_000_000
            + b"</Name></Object></C>",
            "h.xml",
        ),
        ["parse"],
    ),
    (
        "xml 100 MB attribute",
        lambda: (
            b'<C><Attribute Name="'
            + b"a" * 100_000_000
            + b'"/><Object><Name>o</Name></Object></C>',
            "h.xml",
        ),
        ["parse"],
    ),
    ("10^6 short fimi rows", lambda: (b"1 2\n" * 1_000_000, "h.dat"), ["parse"]),
    (
        "10^6 short cxt rows",
        lambda: (
            (
                "B\n\n%d\n2\n\n" % 1_000_000
                + "".join("o%d\n" % i for i in range(1_000_000))
                + "a\nb\n"
                + "X.\n" * 1_000_000
            ).encode(),
            "h.cxt",
        ),
        ["parse"],
    ),
    (
        "10^6 short csv rows",
        lambda: (
            ("n,a,b\n" + "".join("o%d,1,0\n" % i for i in range(1_000_000))).encode(),
            "h.csv",
        ),
        ["parse"],
    ),
]


def run_sigint(py, path, name):
    """Seconds from SIGINT, sent 0.3 s into the parse, to KeyboardInterrupt in the child."""
    child = subprocess.Popen(
        [py, "-c", CHILD, path, name, "sigint"],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
    )
    first = child.stdout.readline().split()
    if not first or first[0] != "start":
        child.kill()
        return f"failed: {child.stderr.read().strip()[-200:]}"
    time.sleep(max(0.0, float(first[1]) + 0.3 - time.monotonic()))
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    words = child.stdout.readline().split()
    child.wait()
    if not words:
        return "failed: no answer"
    return f"{words[0]} {float(words[1]) - sent:.3f} s after SIGINT"


def main():
    args = sys.argv[1:]
    pythons = [a for i, a in enumerate(args) if i > 0 and args[i - 1] == "--python"]
    only = [a for i, a in enumerate(args) if i > 0 and args[i - 1] == "--only"]
    pythons = pythons or [sys.executable]
    print(
        f"{'input':26} {'operation':12} {'bytes':>10} {'seconds':>8} {'peak MB':>8} "
        f"{'x input':>7}  outcome" + ("   (python)" if len(pythons) > 1 else "")
    )
    for kind, build, operations in CASES:
        if only and not any(o in kind for o in only):
            continue
        data, name = build()
        with tempfile.NamedTemporaryFile() as f:
            f.write(data)
            f.flush()
            for operation in operations:
                for py in pythons:
                    tag = f"   ({py})" if len(pythons) > 1 else ""
                    if operation == "sigint":
                        print(
                            f"{kind:26} {'Ctrl-C':12} {len(data):>10} "
                            f"{run_sigint(py, f.name, name)}{tag}"
                        )
                        continue
                    run = subprocess.run(
                        [py, "-c", CHILD, f.name, name, operation], capture_output=True, text=True
                    )
                    if run.returncode != 0:
                        print(
                            f"{kind:26} {operation:12} failed: "
                            f"{run.stderr.strip().splitlines()[-1:]}{tag}"
                        )
                        continue
                    dt, peak, size, outcome = run.stdout.strip().split("|", 3)
                    ratio = float(peak) * 2**20 / int(size) if int(size) else 0
                    if kind.startswith("10^6") and outcome.startswith("parsed "):
                        objects = int(outcome.split()[1].split("x")[0])
                        outcome += f", {float(peak) * 2**20 / objects:.0f} bytes per object"
                    print(
                        f"{kind:26} {operation:12} {size:>10} {float(dt):8.3f} {peak:>8} "
                        f"{ratio:7.1f}  {outcome}{tag}"
                    )


if __name__ == "__main__":
    main()
