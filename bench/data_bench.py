"""Data in and out (CPU time, best of three; memory as the peak resident size above the start of
each step, in a child process per step): from_array of a 100,000 x 1,000 bool array at 1 %,
from_pandas of mushroom as a bool DataFrame against parse_context of mushroom.dat and against
the CSV recipe it replaces, read() of a cex document of about 100 MB against parse_context of
the same context as FCA-XML, and write() against reading the same format back.

    python bench/data_bench.py DATA       # quorlan, numpy and pandas importable
"""

import io
import multiprocessing
import pathlib
import resource
import sys

from timing import best  # bench/timing.py, beside this file


def rss_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0


def in_child(name, prepare, step, queue):
    before_input = rss_mb()
    value = prepare()
    before = rss_mb()
    seconds, _ = best(lambda: step(value))
    queue.put((name, seconds, rss_mb() - before, before - before_input))


def measure(name, prepare, step):
    queue = multiprocessing.Queue()
    p = multiprocessing.Process(target=in_child, args=(name, prepare, step, queue))
    p.start()
    p.join()
    name, seconds, extra, held = queue.get()
    print(f"{name:<58} {seconds:8.3f} s {extra:8.1f} MB above {held:7.1f} MB held", flush=True)
    return seconds


def array():
    import numpy as np

    return np.random.default_rng(1).random((100_000, 1_000)) < 0.01


def mushroom_frame(data):
    import pandas as pd

    import quorlan
    import quorlan_tools as qt

    path = pathlib.Path(data) / "fimi" / "mushroom.dat"
    ctx = quorlan.parse_context(path.read_bytes(), path.name)
    objects, attributes = qt.names(ctx)
    return pd.DataFrame(qt.incidence(ctx), index=objects, columns=attributes)


def big_documents():
    import numpy as np

    import quorlan_tools as qt

    a = np.random.default_rng(2).random((300_000, 200)) < 0.05
    ctx = qt.from_array(a)
    out = {}
    for fmt in ("cex", "cxt", "json", "csv"):
        buffer = io.StringIO()
        qt.write(ctx, buffer, fmt)
        out[fmt] = buffer.getvalue().encode()
    xml = ['<?xml version="1.0"?>\n<Context>\n']
    objects, attributes = qt.names(ctx)
    xml += [f'<Attribute Name="{m}"/>\n' for m in attributes]
    for g, row in zip(objects, a):
        has = "".join(f'<HasAttribute Id="{j}"/>' for j in np.flatnonzero(row))
        xml.append(f"<Object><Name>{g}</Name>{has}</Object>\n")
    out["xml"] = ("".join(xml) + "</Context>\n").encode()
    return ctx, out


def main():
    data = sys.argv[1]
    import quorlan
    import quorlan_tools as qt

    measure("from_array, 100,000 x 1,000 bools at 1 %", array, qt.from_array)
    path = pathlib.Path(data) / "fimi" / "mushroom.dat"
    parse = measure(
        "parse_context of mushroom.dat",
        path.read_bytes,
        lambda b: quorlan.parse_context(b, "mushroom.dat"),
    )
    pandas = measure(
        "from_pandas of mushroom as a bool DataFrame", lambda: mushroom_frame(data), qt.from_pandas
    )
    recipe = measure(
        "the CSV recipe: parse_context(frame.to_csv())",
        lambda: mushroom_frame(data),
        lambda df: quorlan.parse_context(df.to_csv().encode(), "f.csv"),
    )
    print(
        f"from_pandas / parse: {pandas / parse:.1f}x, the recipe / from_pandas: "
        f"{recipe / pandas:.1f}x"
    )
    docs = lambda: big_documents()[1]  # noqa: E731
    cex = measure(
        "read() of a cex document (300,000 x 200 at 5 %)",
        docs,
        lambda d: qt.read(io.BytesIO(d["cex"]), format="cex"),
    )
    xml = measure(
        "parse_context of the same context as FCA-XML",
        docs,
        lambda d: quorlan.parse_context(d["xml"], "x.xml"),
    )
    print(f"cex / FCA-XML: {cex / xml:.2f}x")
    for fmt in ("cxt", "csv", "json", "cex"):
        w = measure(
            f"write() as {fmt}",
            lambda: big_documents()[0],
            lambda c, f=fmt: qt.write(c, io.StringIO(), f),
        )
        r = measure("read() of it back", docs, lambda d, f=fmt: qt.read(io.BytesIO(d[f]), format=f))
        print(f"write / read, {fmt}: {w / r:.2f}x")


if __name__ == "__main__":
    main()
