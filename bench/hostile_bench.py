"""Time and peak memory of hostile inputs, each parsed in a fresh process.

    python3 bench/hostile_bench.py
"""
import subprocess
import sys

CHILD = """
import sys, time, quorlan
def hwm_mb():
    # The high-water mark of this process's own memory (ru_maxrss would include the parent's
    # resident size at fork).
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
kind = sys.argv[1]
if kind == "entity expansion":
    doc = '<?xml version="1.0"?><!DOCTYPE l [<!ENTITY a "aaaaaaaaaa">'
    for i in range(1, 10):
        prev, cur = chr(ord("a") + i - 1), chr(ord("a") + i)
        doc += f'<!ENTITY {cur} "' + f"&{prev};" * 10 + '">'
    data, name = (doc + '<C><Attribute Name="x"/><Object><Name>&j;</Name></Object></C>').encode(), "h.xml"
elif kind == "100 000 nested arrays":
    data = b'{"x": ' + b"[" * 100_000 + b"]" * 100_000 + b', "quorlan_version": "1", "context": [[], [], []]}'
    name = "h.json"
elif kind == "50 MB name":
    data = b'<C><Attribute Name="a"/><Object><Name>' + b"n" * 50_000_000 + b"</Name></Object></C>"
    name = "h.xml"
elif kind == "huge declared counts":
    data, name = b"B\\n18446744073709551615\\n18446744073709551615\\n", "h.cxt"
elif kind == "huge item identifier":
    data, name = b"4294967295\\n", "h.dat"
elif kind == "2^21 - 1 identifier":
    data, name = b"2097151\\n", "h.dat"
base = hwm_mb() * 1024
t0 = time.perf_counter()
try:
    quorlan.parse_context(data, name)
    outcome = "parsed"
except ValueError as e:
    outcome = str(e)[:70]
dt = time.perf_counter() - t0
peak = hwm_mb() * 1024
print(f"{dt:.3f}|{base / 1024:.0f}|{peak / 1024:.0f}|{len(data)}|{outcome}")
"""

KINDS = ["entity expansion", "100 000 nested arrays", "50 MB name", "huge declared counts",
         "huge item identifier", "2^21 - 1 identifier"]

print(f"{'input':24} {'bytes':>10} {'seconds':>8} {'peak MB':>8} {'(start MB)':>10}  outcome")
for kind in KINDS:
    out = subprocess.run([sys.executable, "-c", CHILD, kind], capture_output=True, text=True,
                         check=True).stdout.strip()
    dt, base, peak, size, outcome = out.split("|", 4)
    print(f"{kind:24} {size:>10} {float(dt):8.3f} {peak:>8} {base:>10}  {outcome}")
