"""Time and peak memory of hostile and line-heavy inputs, each parsed in a fresh process.

    python3 bench/hostile_bench.py [--python PATH]...

Peak memory is the child's resident high-water mark minus its size before parsing (the
interpreter, the module and the input bytes, read from a file). With several --python
interpreters (for instance two virtual environments holding two builds) each input is run under
each, one after another.
"""
import subprocess
import sys
import tempfile

CHILD = """
import sys, time, quorlan
def hwm_mb():
    # The high-water mark of this process's own memory (ru_maxrss would include the parent's
    # resident size at fork).
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
data, name = open(sys.argv[1], "rb").read(), sys.argv[2]
base = hwm_mb()
t0 = time.perf_counter()
try:
    ctx = quorlan.parse_context(data, name)
    outcome = "parsed %dx%d" % (ctx.n_objects, ctx.n_attributes)
except ValueError as e:
    outcome = str(e)[:70]
dt = time.perf_counter() - t0
peak = hwm_mb()
print(f"{dt:.3f}|{peak - base:.0f}|{len(data)}|{outcome}")
"""


def make(kind):
    """The bytes of one input and the file name it is parsed under."""
    def xml_empty_objects(k):
        parts = ['<?xml version="1.0"?><C>']
        parts += ['<Attribute Name="a%d"/>' % i for i in range(k)]
        parts += ['<Object></Object>'] * k
        return ("".join(parts) + "</C>").encode(), "h.xml"
    if kind == "entity expansion":
        doc = '<?xml version="1.0"?><!DOCTYPE l [<!ENTITY a "aaaaaaaaaa">'
        for i in range(1, 10):
            prev, cur = chr(ord("a") + i - 1), chr(ord("a") + i)
            doc += f'<!ENTITY {cur} "' + f"&{prev};" * 10 + '">'
        doc += ']>'
        data, name = (doc + '<C><Attribute Name="x"/><Object><Name>&j;</Name></Object></C>').encode(), "h.xml"
    elif kind == "100 000 nested arrays":
        data = b'{"x": ' + b"[" * 100_000 + b"]" * 100_000 + b', "quorlan_version": "1", "context": [[], [], []]}'
        name = "h.json"
    elif kind == "50 MB name":
        data = b'<C><Attribute Name="a"/><Object><Name>' + b"n" * 50_000_000 + b"</Name></Object></C>"
        name = "h.xml"
    elif kind == "huge declared counts":
        data, name = b"B\n18446744073709551615\n18446744073709551615\n", "h.cxt"
    elif kind == "huge item identifier":
        data, name = b"4294967295\n", "h.dat"
    elif kind == "2^21 - 1 identifier":
        data, name = b"2097151\n", "h.dat"
    elif kind == "4096 x item 2^21 - 1":
        data, name = b"2097151\n" * 4096, "h.dat"
    elif kind == "xml 100k x 100k empty":
        data, name = xml_empty_objects(100_000)
    elif kind == "xml 300k x 300k empty":
        data, name = xml_empty_objects(300_000)
    elif kind == "xml 100 MB":
        rng = __import__("random").Random(5)
        parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<FcaContext>\n']
        parts += ['  <Attribute Id="%d" Name="attribute &amp; %d"/>\n' % (j, j) for j in range(1000)]
        size = sum(map(len, parts))
        i = 0
        while size < 100_000_000:
            refs = "".join('<HasAttribute Id="%d"/>' % j for j in sorted(rng.sample(range(1000), 50)))
            obj = "  <Object><Name>object %d</Name>%s</Object>\n" % (i, refs)
            parts.append(obj)
            size += len(obj)
            i += 1
        data, name = ("".join(parts) + "</FcaContext>\n").encode(), "h.xml"
    elif kind == "10^6 short fimi rows":
        data, name = b"1 2\n" * 1_000_000, "h.dat"
    elif kind == "10^6 short cxt rows":
        n = 1_000_000
        data = ("B\n\n%d\n2\n\n" % n + "".join("o%d\n" % i for i in range(n)) + "a\nb\n" +
                "X.\n" * n).encode()
        name = "h.cxt"
    elif kind == "10^6 short csv rows":
        data = ("n,a,b\n" + "".join("o%d,1,0\n" % i for i in range(1_000_000))).encode()
        name = "h.csv"
    return data, name


KINDS = ["entity expansion", "100 000 nested arrays", "50 MB name", "huge declared counts",
         "huge item identifier", "2^21 - 1 identifier", "4096 x item 2^21 - 1",
         "xml 100k x 100k empty", "xml 300k x 300k empty", "xml 100 MB", "10^6 short fimi rows",
         "10^6 short cxt rows", "10^6 short csv rows"]


def main():
    pythons = [a for i, a in enumerate(sys.argv) if i > 0 and sys.argv[i - 1] == "--python"]
    pythons = pythons or [sys.executable]
    print(f"{'input':24} {'bytes':>10} {'seconds':>8} {'peak MB':>8}  outcome"
          + ("   (python)" if len(pythons) > 1 else ""))
    for kind in KINDS:
        data, name = make(kind)
        with tempfile.NamedTemporaryFile() as f:
            f.write(data)
            f.flush()
            for py in pythons:
                run = subprocess.run([py, "-c", CHILD, f.name, name], capture_output=True,
                                     text=True)
                if run.returncode != 0:
                    print(f"{kind:24} failed: {run.stderr.strip().splitlines()[-1:]}")
                    continue
                dt, peak, size, outcome = run.stdout.strip().split("|", 3)
                tag = f"   ({py})" if len(pythons) > 1 else ""
                print(f"{kind:24} {size:>10} {float(dt):8.3f} {peak:>8}  {outcome}{tag}")


if __name__ == "__main__":
    main()
