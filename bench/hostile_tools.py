"""The companions' hostile battery: the files other tools write at their worst, arrays and
DataFrames at the edges of shape and dtype, and thresholds on real data, each in a fresh
process, with a verdict.

    python bench/hostile_tools.py [DATA] [--only SUBSTRING]...   # DATA holds fimi/mushroom.dat

Peak memory is the child's high-water mark above its size before the call (the interpreter,
the packages and the input bytes); "x input" divides it by the input's size. A case is sound
when the process ends by itself within the deadline, with a result or a TypeError, ValueError or
OSError whose message stays under 400 characters, and, for a reader, with at most twice the
input's size in memory above it and 1 MB (the window an XML construct is read in holds a little
more than the construct; 8 MB allowed for small inputs), or, for an input of a million
records (names, rows or elements), at most 32 bytes a record, as the module's own readers take
21 to 28 bytes an object on its million short rows (bench/hostile_bench.py). Anything else (a
crash, a hang, a PanicException, another exception, a long message, memory) is named in the verdict.
"""

import subprocess
import sys
import tempfile

DEADLINE = 120
MESSAGE_LIMIT = 400

CHILD = r"""
import io, sys, time, numpy as np, quorlan, quorlan_tools as qt
def hwm_mb():
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
data = open(sys.argv[1], "rb").read()
fmt, setup, code = sys.argv[2], sys.argv[3], sys.argv[4]
exec(setup)
base = hwm_mb()
t0 = time.perf_counter()
try:
    result = eval(code)
    outcome = "result " + repr(result)[:60]
except (TypeError, ValueError, OSError) as e:
    kind = next(k for k in (TypeError, ValueError, OSError) if isinstance(e, k)).__name__
    shown = kind if type(e).__name__ == kind else f"{kind} {type(e).__name__}"
    outcome = f"{shown} ({len(str(e))} characters): {str(e)[:60]!r}"
print(f"{time.perf_counter() - t0:.3f}|{hwm_mb() - base:.0f}|{outcome}")
"""

READ = "qt.read(io.BytesIO(data), format=fmt)"


def cex(objects, attributes, rows):
    head = "<?xml version='1.0'?><ConceptualSystem><Contexts><Context Identifier='0' Type='Binary'>"
    atts = "".join(
        f"<Attribute Identifier='{j}'><Name>{a}</Name></Attribute>"
        for j, a in enumerate(attributes)
    )
    objs = "".join(
        "<Object><Name>%s</Name><Intent>%s</Intent></Object>"
        % (o, "".join(f"<HasAttribute AttributeIdentifier='{j}'/>" for j in r))
        for o, r in zip(objects, rows)
    )
    return (
        head + f"<Attributes>{atts}</Attributes><Objects>{objs}</Objects>"
        "</Context></Contexts></ConceptualSystem>"
    ).encode()


def slf(objects, attributes, rows, count=None):
    return (
        "[Lattice]\n%s\n%d\n[Objects]\n" % (count or len(objects), len(attributes))
        + "".join(o + "\n" for o in objects)
        + "[Attributes]\n"
        + "".join(a + "\n" for a in attributes)
        + "[relation]\n"
        + "".join(
            " ".join("1" if j in r else "0" for j in range(len(attributes))) + "\n" for r in rows
        )
    ).encode()


MB100 = "n" * 100_000_000
MILLION = [f"a{j}" for j in range(1_000_000)]
LAUGHS = (
    "<?xml version='1.0'?><!DOCTYPE lolz [<!ENTITY lol 'lol'>"
    + "".join(f"<!ENTITY lol{k} '{('&lol%s;' % (k - 1 if k else '')) * 10}'>" for k in range(9))
    + "]><ConceptualSystem><Contexts><Context><Attributes><Attribute Identifier='0'><Name>"
    "&lol8;</Name></Attribute></Attributes></Context></Contexts></ConceptualSystem>"
).encode()

# (name, reader or not, format, bytes, setup, call); the million-record readers' cases say so in
# their names ("10^6").
CASES = [
    ("cex 100 MB name", True, "cex", cex([MB100], ["a"], [[0]]), "", READ),
    ("cex 10^6 attributes", True, "cex", cex(["o"], MILLION, [[0, 999_999]]), "", READ),
    (
        "cex 10^6 nested elements",
        True,
        "cex",
        b"<ConceptualSystem>" + b"<a>" * 1_000_000 + b"</a>" * 1_000_000 + b"</ConceptualSystem>",
        "",
        READ,
    ),
    ("cex entity expansion", True, "cex", LAUGHS, "", READ),
    (
        "cex invalid UTF-8 name",
        True,
        "cex",
        cex(["o\u00e9"], ["a"], [[0]]).replace("\u00e9".encode(), b"\xff"),
        "",
        READ,
    ),
    (
        "cex truncated in half",
        True,
        "cex",
        cex([f"o{i}" for i in range(1000)], ["a", "b"], [[0]] * 1000)[:30_000],
        "",
        READ,
    ),
    ("slf count 2^64", True, "slf", slf(["o"], ["a"], [[0]], count=str(2**64)), "", READ),
    ("slf 10^6 attributes", True, "slf", slf(["o"], MILLION, [{0, 999_999}]), "", READ),
    ("slf 100 MB name", True, "slf", slf([MB100], ["a"], [{0}]), "", READ),
    ("oal 10^6 attributes", True, "oal", ("o:" + ";".join(MILLION) + "\n").encode(), "", READ),
    ("oal 100 MB name", True, "oal", (MB100 + ":a\n").encode(), "", READ),
    (
        "oal 10^6 objects",
        True,
        "oal",
        "".join(f"o{i}:a;b\n" for i in range(10**6)).encode(),
        "",
        READ,
    ),
    (
        "conexp-csv 10^6 columns",
        True,
        "conexp-csv",
        (";" + ";".join(MILLION) + "\no;" + ";".join(["X"] * 10**6) + "\n").encode(),
        "",
        READ,
    ),
    ("conexp-csv 100 MB name", True, "conexp-csv", (";a\n" + MB100 + ";X\n").encode(), "", READ),
    ("read a directory", False, "", b"", "", "qt.read('/tmp')"),
    ("read a path whose read fails", False, "", b"", "", "qt.read('/proc/self/mem')"),
    (
        "read a file that is not readable",
        False,
        "",
        b"",
        "import os, tempfile; locked = tempfile.mktemp(); open(locked, 'wb').close(); "
        "os.chmod(locked, 0); os.setuid(65534) if os.getuid() == 0 else None",
        "qt.read(locked)",
    ),
    (
        "from_array 1 x 10^6",
        False,
        "",
        b"",
        "a = np.ones((1, 10**6), dtype=bool)",
        "qt.from_array(a)",
    ),
    (
        "from_array 10^6 x 1",
        False,
        "",
        b"",
        "a = np.ones((10**6, 1), dtype=np.uint8)",
        "qt.from_array(a)",
    ),
    (
        "from_array 10^4 x 10^4 float",
        False,
        "",
        b"",
        "a = (np.random.default_rng(1).random((10**4, 10**4)) < 0.01).astype(float)",
        "qt.from_array(a)",
    ),
    (
        "from_array NaN in 10^8 floats",
        False,
        "",
        b"",
        "a = np.zeros((10**4, 10**4)); a[-1, -1] = np.nan",
        "qt.from_array(a)",
    ),
    (
        "scipy csr 10^6 x 10^6",
        False,
        "",
        b"",
        "import scipy.sparse as sp; r = np.random.default_rng(3); "
        "a = sp.csr_matrix((np.ones(10**6),"
        " (r.integers(0, 10**6, 10**6), r.integers(0, 10**6, 10**6))), shape=(10**6, 10**6))",
        "qt.from_array(a)",
    ),
    (
        "scale 10^6 distinct values",
        False,
        "",
        b"",
        "import pandas as pd; df = pd.DataFrame({'c': np.arange(10**6).astype(str)})",
        "qt.scale(df, nominal=['c'])",
    ),
    (
        "from_pandas 10^6 x 20 bools",
        False,
        "",
        b"",
        "import pandas as pd; "
        "df = pd.DataFrame(np.random.default_rng(2).random((10**6, 20)) < 0.3)",
        "qt.from_pandas(df)",
    ),
    (
        "from_pandas object column",
        False,
        "",
        b"",
        "import pandas as pd; df = pd.DataFrame({'x' * 10**6: ['a'] * 10})",
        "qt.from_pandas(df)",
    ),
]


def mushroom_cases(data_dir):
    path = f"{data_dir}/fimi/mushroom.dat"
    setup = f"ctx = quorlan.parse_context(open({path!r}, 'rb').read(), 'mushroom.dat')"
    out = []
    for value in ("0", "8124", "8125", "1.0", "1e-300", "float('nan')", "2**64", "True"):
        out.append(
            (
                f"mushroom iceberg {value}",
                False,
                "",
                b"",
                setup,
                f"qt.iceberg(ctx, {value}).n_concepts",
            )
        )
    out.append(("mushroom count_concepts 0", False, "", b"", setup, "qt.count_concepts(ctx, 0)"))
    out.append(
        (
            "mushroom up_set 2**64",
            False,
            "",
            b"",
            setup + "; lat = qt.iceberg(ctx, 2000)",
            "qt.up_set(lat, 2**64)",
        )
    )
    return out


def verdict(name, reader, size, run):
    if run is None:
        return f"hung: no end within {DEADLINE} s"
    if run.returncode != 0:
        return f"crashed (exit {run.returncode}): {run.stderr.strip()[-120:]}"
    seconds, peak, outcome = run.stdout.strip().split("|", 2)
    if not outcome.startswith(("result", "TypeError", "ValueError", "OSError")):
        return f"unsound outcome: {outcome}"
    if (
        "characters)" in outcome
        and int(outcome.split(" characters)")[0].rsplit("(", 1)[1]) > MESSAGE_LIMIT
    ):
        return "message too long"
    allowed = max(8.0, 2 * size / 2**20 + 1)
    if "10^6" in name:
        allowed = max(allowed, 32 * 10**6 / 2**20)
    if reader and float(peak) > allowed:
        return f"memory: {peak} MB above an input of {size / 2**20:.1f} MB"
    return "sound"


def main():
    args = sys.argv[1:]
    only = [a for i, a in enumerate(args) if i > 0 and args[i - 1] == "--only"]
    data_dir = next(
        (
            a
            for i, a in enumerate(args)
            if not a.startswith("--") and (i == 0 or args[i - 1] != "--only")
        ),
        "../shared/data",
    )
    print(
        f"{'case':32} {'bytes':>10} {'seconds':>8} {'peak MB':>8} {'x input':>7}  "
        f"{'verdict':8}  outcome"
    )
    for name, reader, fmt, data, setup, call in CASES + mushroom_cases(data_dir):
        if only and not any(o in name for o in only):
            continue
        with tempfile.NamedTemporaryFile() as f:
            f.write(data)
            f.flush()
            try:
                run = subprocess.run(
                    [sys.executable, "-c", CHILD, f.name, fmt, setup, call],
                    capture_output=True,
                    text=True,
                    timeout=DEADLINE,
                )
            except subprocess.TimeoutExpired:
                run = None
        judged = verdict(name, reader, len(data), run)
        if run is not None and run.returncode == 0:
            seconds, peak, outcome = run.stdout.strip().split("|", 2)
            ratio = f"{float(peak) * 2**20 / len(data):.1f}" if data else "-"
            print(
                f"{name:32} {len(data):>10} {float(seconds):8.3f} {peak:>8} {ratio:>7}  "
                f"{judged:8}  {outcome}"
            )
        else:
            print(f"{name:32} {len(data):>10} {'':8} {'':8} {'':7}  {judged}")


if __name__ == "__main__":
    main()
