"""Ctrl-C (SIGINT) stops every long computation promptly, from the main thread, with the lock
released or held: each case runs in a child process that the test interrupts three times while
the computation runs; the child must then be usable, hold no memory of the abandoned runs and,
for rendering, draw the same document as an uninterrupted lattice."""

import queue
import signal
import subprocess
import sys
import threading
import time

import pytest

CHILD = r"""
import gc, random, sys, time
import quorlan

def boolean_cxt(n):
    names = "".join("o%d\n" % i for i in range(n)) + "".join("a%d\n" % j for j in range(n))
    rows = "".join("X" * i + "." + "X" * (n - i - 1) + "\n" for i in range(n))
    return ("B\n\n%d\n%d\n\n" % (n, n) + names + rows).encode()

def random_dat(n, m, density, seed):
    rng = random.Random(seed)
    lines = [" ".join(str(j) for j in range(m) if rng.random() < density) or "0" for _ in range(n)]
    return "\n".join(lines).encode()

def in_use_mb():
    # The bytes the C library's allocator has handed out and not had back: what a leak grows.
    # Not the resident size, which also counts memory the allocator keeps for reuse after a
    # stopped computation freed it (glibc 2.41 keeps more than 2.36, by tens of MB). None where
    # the allocator cannot tell (not glibc).
    import ctypes
    try:
        libc = ctypes.CDLL("libc.so.6")
        info = libc.mallinfo2
    except (OSError, AttributeError):
        return None
    class Info(ctypes.Structure):
        _fields_ = [(n, ctypes.c_size_t) for n in
                    ("arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks "
                     "keepcost").split()]
    info.restype = Info
    m = info()
    return (m.uordblks + m.hblkhd) / 2**20

kind = sys.argv[1]
ATTEMPTS = int(sys.argv[2])
small = quorlan.parse_context(boolean_cxt(6))
check = {"concepts": lambda: quorlan.compute_concepts(small, "fcbo"),
         "implications": lambda: quorlan.compute_implications(
             quorlan.parse_context(random_dat(40, 8, 0.4, 3), "s.dat"))}
expected = {k: f() for k, f in check.items()}

if kind in ("compute_concepts", "compute_lattice"):
    big = quorlan.parse_context(boolean_cxt(23))
    call = lambda: getattr(quorlan, kind)(big)
elif kind == "compute_implications":
    big = quorlan.parse_context(random_dat(1000, 100, 0.2, 7), "r.dat")
    call = lambda: quorlan.compute_implications(big)
elif kind == "parse_fimi":
    data = b"1 2 3 4 5 6 7 8 9 10 11 12\n" * 5_000_000  # about a second to read
    call = lambda: quorlan.parse_context(data, "big.dat")
elif kind == "parse_xml":
    data = (b'<C><Attribute Name="a"/>' +
            b'<Object><Name>o</Name><HasAttribute Id="0"/></Object>' * 3_000_000 + b"</C>")
    call = lambda: quorlan.parse_context(data, "big.xml")
elif kind == "iceberg":
    import quorlan_tools as qt
    big = quorlan.parse_context(boolean_cxt(23))
    call = lambda: qt.iceberg(big, 1)
elif kind == "count_concepts":
    import quorlan_tools as qt
    big = quorlan.parse_context(boolean_cxt(25))
    call = lambda: qt.count_concepts(big)
elif kind == "tools_covers":
    import quorlan_tools as qt
    lattice = quorlan.compute_lattice(quorlan.parse_context(boolean_cxt(19)), "fcbo")
    call = lambda: qt.covers(lattice)
elif kind == "stability":
    import quorlan_tools as qt
    lattice = quorlan.compute_lattice(quorlan.parse_context(boolean_cxt(15)), "fcbo")
    call = lambda: qt.stability(lattice)
elif kind == "read_cex":
    import io
    import quorlan_tools as qt
    data = (b'<C><Context><Attributes><Attribute Identifier="0"><Name>a</Name></Attribute>'
            b'</Attributes><Objects>' +
            b'<Object><Name>o</Name><Intent><HasAttribute AttributeIdentifier="0"/></Intent>'
            b'</Object>' * 2_000_000 + b'</Objects></Context></C>')
    call = lambda: qt.read(io.BytesIO(data), format="cex")
elif kind == "read_slf":
    import io
    import quorlan_tools as qt
    data = ("[Lattice]\n2000000\n20\n[Objects]\n" + "o\n" * 2_000_000 + "[Attributes]\n" +
            "a\n" * 20 + "[relation]\n" + ("1 0 " * 10 + "\n") * 2_000_000).encode()
    call = lambda: qt.read(io.BytesIO(data), format="slf")
elif kind == "read_oal":
    import io
    import quorlan_tools as qt
    data = b"o:a;b;c;d\n" * 8_000_000
    call = lambda: qt.read(io.BytesIO(data), format="oal")
elif kind == "read_conexp_csv":
    # Lines just short of the length at which the line reader polls at once: it then polls
    # every 256 lines alone, some 15 MB of cells apart.
    import io
    import quorlan_tools as qt
    line = b"o" + b";X" * 30_000 + b"\n"
    data = b"" + b";a" * 30_000 + b"\n" + line * 3_000
    call = lambda: qt.read(io.BytesIO(data), format="conexp-csv")
elif kind == "association_rules":
    import quorlan_tools as qt
    lattice = quorlan.compute_lattice(quorlan.parse_context(boolean_cxt(16)), "fcbo")
    call = lambda: qt.association_rules(lattice)
elif kind == "write_cex":
    import io
    import numpy as np
    import quorlan_tools as qt
    ctx = qt.from_array(np.random.default_rng(1).random((600_000, 20)) < 0.3)
    call = lambda: qt.write(ctx, io.BytesIO(), format="cex")
elif kind == "labelled":
    import quorlan_view
    lattice = quorlan.compute_lattice(quorlan.parse_context(boolean_cxt(12)), "fcbo")
    call = lambda: quorlan_view.labelled(lattice)
elif kind == "concepts":
    lattice = quorlan.compute_lattice(quorlan.parse_context(boolean_cxt(21)), "fcbo")
    call = lattice.concepts
else:  # the first rendering of a lattice, three times stopped
    ctx = quorlan.parse_context(boolean_cxt(18))
    lattice = quorlan.compute_lattice(ctx, "fcbo")
    call = lattice.svg

levels = []
for attempt in range(ATTEMPTS):
    gc.collect()
    levels.append(in_use_mb())
    print("ready", flush=True)
    try:
        call()
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("interrupted", time.monotonic(), flush=True)
gc.collect()
levels.append(in_use_mb())
assert all(f() == expected[k] for k, f in check.items()), "wrong results after interrupts"
if kind == "render":
    assert lattice.svg() == quorlan.compute_lattice(ctx, "fcbo").svg(), "rendering differs"
print("usable", "-" if levels[0] is None else levels[-1] - levels[1], flush=True)
"""
ATTEMPTS = 4


class Child:
    """A child process whose output lines are read with a deadline."""

    def __init__(self, script, *args):
        self.process = subprocess.Popen(
            [sys.executable, "-c", script, *args],
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
        )
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.split())
        self.lines.put(None)

    def next_line(self, timeout):
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            self.process.kill()
            pytest.fail(f"no output within {timeout} s")

    def finish(self):
        self.process.wait(timeout=120)
        return self.process.returncode, self.process.stderr.read()


@pytest.mark.parametrize(
    "kind",
    [
        "compute_concepts",
        "compute_lattice",
        "compute_implications",
        "concepts",
        "render",
        "parse_fimi",
        "parse_xml",
        "iceberg",
        "count_concepts",
        "tools_covers",
        "stability",
        "read_cex",
        "read_slf",
        "read_oal",
        "read_conexp_csv",
        "association_rules",
        "write_cex",
        "labelled",
    ],
)
def test_sigint_stops_long_calls_promptly(kind):
    child = Child(CHILD, kind, str(ATTEMPTS))
    try:
        for _ in range(ATTEMPTS):
            assert child.next_line(timeout=60) == ["ready"]
            # Well inside the computation: for the rendering, inside the cover relation, which
            # takes a few tenths of a second and is computed again when a stop abandoned it.
            time.sleep(0.1 if kind in ("render", "tools_covers") else 0.4)
            sent = time.monotonic()
            child.process.send_signal(signal.SIGINT)
            words = child.next_line(timeout=10)
            assert words and words[0] == "interrupted", words
            # Generous: the checks come every few tens of milliseconds.
            assert float(words[1]) - sent < 0.75
        # A deadline against a hung child, not a timing: the render case draws the lattice twice
        # more, which under emulation of another architecture takes minutes.
        words = child.next_line(timeout=900)
        returncode, err = child.finish()
    finally:
        if child.process.poll() is None:
            child.process.kill()
    assert returncode == 0, err[-3000:]
    assert words and words[0] == "usable", (words, err[-3000:])
    # The abandoned runs left nothing behind: after the first (whose caches may stay, such as a
    # lattice's covers), the allocator has handed out no more memory than it had back. A stopped
    # run that lost its working memory would lose tens of MB each time.
    if words[1] != "-":
        assert float(words[1]) < 24, f"memory in use grew by {words[1]} MB over the runs"


def test_calls_from_other_threads_run_to_the_end():
    # SIGINT reaches the main thread, waiting for the worker; the worker's call is not polled
    # and finishes with the whole lattice.
    script = (
        CHILD.split("kind = sys.argv[1]")[0]
        + r"""
import threading
big = quorlan.parse_context(boolean_cxt(22))
out = []
done = threading.Event()  # (a join stopped by KeyboardInterrupt would not wait again)
def work():
    out.append(quorlan.compute_lattice(big).n_concepts)
    done.set()
threading.Thread(target=work).start()
print("ready", flush=True)
try:
    while not done.wait(0.05):
        pass
except KeyboardInterrupt:
    print("main interrupted", flush=True)
done.wait()
print(out)
"""
    )
    child = Child(script)
    assert child.next_line(timeout=60) == ["ready"]
    time.sleep(0.3)
    child.process.send_signal(signal.SIGINT)
    assert child.next_line(timeout=60) == ["main", "interrupted"]
    assert child.next_line(timeout=120) == [str([2**22])]
    assert child.finish()[0] == 0
