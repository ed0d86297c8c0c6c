"""quorlan_tools' data in and out: the peers' own files, round trips through every writer on
random contexts with awkward names, arrays and DataFrames of every kind, scaling against a plain
reference, and the refusals with what they name."""

import io
import os
import pathlib

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import quorlan
import quorlan_tools as qt

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"
PEERS = DATA / "conexp-ng"


def relation(ctx):
    objects, attributes = qt.names(ctx)
    return {(objects[g], attributes[j]) for g, j in zip(*np.nonzero(qt.incidence(ctx)))}


def test_the_peers_files_read_as_they_say():
    animals = qt.read(PEERS / "animals.cex")
    assert qt.names(animals) == (
        ["lion", "finch", "eagle", "hare", "ostrich", "bee", "bat"],
        ["preying", "flying", "bird", "mammal"],
    )
    assert relation(animals) == {
        ("lion", "mammal"),
        ("lion", "preying"),
        ("finch", "bird"),
        ("finch", "flying"),
        ("eagle", "bird"),
        ("eagle", "flying"),
        ("eagle", "preying"),
        ("hare", "mammal"),
        ("ostrich", "bird"),
        ("bee", "flying"),
        ("bat", "flying"),
        ("bat", "mammal"),
    }
    # One context in three of ConExp-NG's formats.
    contexts = [qt.read(PEERS / f"eu_countries.{ext}") for ext in ("cex", "csv", "oal")]
    assert relation(contexts[0]) == relation(contexts[1]) == relation(contexts[2])
    assert qt.names(contexts[0])[0] == qt.names(contexts[1])[0] == qt.names(contexts[2])[0]
    with open(PEERS / "animals.cex", "rb") as f:
        assert relation(qt.read(f)) == relation(animals)


def contexts():
    nasty = st.text(st.sampled_from("ab ,;:\"'<>&\\\n\t\r\u00e9\u65e5\x00\x1f]]"), max_size=6)
    return st.integers(0, 5).flatmap(
        lambda m: st.tuples(
            st.lists(nasty, min_size=0, max_size=5),
            st.lists(nasty, min_size=m, max_size=m),
            st.lists(st.lists(st.booleans(), min_size=m, max_size=m), min_size=5, max_size=5),
        )
    )


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(contexts(), st.sampled_from(qt.WRITTEN), st.booleans())
def test_what_is_written_reads_back_the_same(context, fmt, binary):
    objects, attributes, rows = context
    rows = rows[: len(objects)]
    a = np.array(rows, dtype=bool).reshape(len(objects), len(attributes))
    ctx = qt.from_array(a, objects, attributes)
    target = io.BytesIO() if binary else io.StringIO()
    try:
        qt.write(ctx, target, fmt)
    except ValueError as e:
        assert fmt != "json" and "cannot hold" in str(e)
        return
    text = target.getvalue()
    back = qt.read(io.BytesIO(text if binary else text.encode()), format=fmt)
    assert qt.names(back) == (objects, attributes)
    assert (qt.incidence(back) == a).all()


def test_writers_to_paths_and_by_extension(tmp_path):
    ctx = qt.from_array([[True, False], [True, True]], ["o1", "o2"], ["a", "b"])
    for ext in qt.WRITTEN:
        qt.write(ctx, tmp_path / f"c.{ext}")
        assert relation(qt.read(tmp_path / f"c.{ext}")) == relation(ctx)
    with pytest.raises(ValueError, match="format must be one of cxt, csv, json, cex"):
        qt.write(ctx, tmp_path / "c.txt")


@pytest.mark.parametrize(
    "make",
    [
        lambda a: a,
        lambda a: a.astype(np.uint8),
        lambda a: a.astype(np.int64),
        lambda a: np.asfortranarray(a),
        lambda a: a[:, ::-1][:, ::-1],
    ],
)
def test_arrays_of_every_kind(make):
    rng = np.random.default_rng(1)
    a = rng.random((30, 12)) < 0.3
    ctx = qt.from_array(make(a))
    assert (qt.incidence(ctx) == a).all() and qt.names(ctx)[1][:2] == ["m0", "m1"]


def test_sparse_matrices_of_every_format():
    sparse = pytest.importorskip("scipy.sparse")
    rng = np.random.default_rng(2)
    a = rng.random((25, 9)) < 0.3
    for fmt in ("csr", "csc", "coo", "lil", "dok", "bsr", "dia"):
        for dtype in (np.int8, np.float64):  # scipy's matrices are of floats unless told
            m = sparse.csr_matrix(a.astype(dtype)).asformat(fmt)
            assert (qt.incidence(qt.from_array(m)) == a).all(), (fmt, dtype)
    assert (qt.incidence(qt.from_array(a.astype(np.float32))) == a).all()


@pytest.mark.parametrize(
    "a, kwargs, message",
    [
        (np.array([[0, 0.5]]), {}, "holds 0.0 to 0.5, 0.5 among them"),
        (np.array([[1.0, np.nan]]), {}, "must hold only 0 and 1; it holds NaN"),
        (np.array([["1"]]), {}, "must hold bools or the numbers 0 and 1, not <U1"),
        (np.array([[1]], dtype=object), {}, "must hold bools or the numbers 0 and 1, not object"),
        (np.array([[1j]]), {}, "must hold bools or the numbers 0 and 1, not complex128"),
        (np.full((2, 2), 2), {}, "must hold only 0 and 1"),
        (np.zeros((2, 2, 2), dtype=bool), {}, "2-D array, not one of 3 dimensions"),
        (np.zeros((2, 3), dtype=bool), {"objects": ["a"]}, "objects has 1 names for 2 rows"),
        (
            np.zeros((2, 3), dtype=bool),
            {"attributes": ["a"]},
            "attributes has 1 names for 3 columns",
        ),
    ],
)
def test_arrays_refused_with_a_reason(a, kwargs, message):
    with pytest.raises(ValueError, match=message):
        qt.from_array(a, **kwargs)


def test_dataframes_in_and_out():
    pd = pytest.importorskip("pandas")
    df = pd.DataFrame(
        {"a": [True, False], "b": [0, 1], "c": pd.array([True, None], "boolean")}, index=["x", "y"]
    )
    with pytest.raises(ValueError, match="column 'c' has a missing value in row 'y'"):
        qt.from_pandas(df)
    df["c"] = pd.array([True, False], "boolean")
    ctx = qt.from_pandas(df)
    out = qt.to_pandas(ctx)
    assert list(out.index) == ["x", "y"] and list(out.columns) == ["a", "b", "c"]
    assert out.to_numpy().tolist() == [[True, False, True], [False, True, False]]
    with pytest.raises(ValueError, match="column 'd' has dtype (object|str)"):
        qt.from_pandas(df.assign(d=["p", "q"]))
    with pytest.raises(ValueError, match="column 'e' holds integers other than 0 and 1"):
        qt.from_pandas(df.assign(e=[0, 3]))
    lat = quorlan.compute_lattice(ctx)
    frame = qt.concepts_frame(lat)
    assert list(frame.columns) == ["extent", "intent", "support"] and len(frame) == lat.n_concepts
    rules = qt.implications_frame(quorlan.compute_implications(ctx))
    assert list(rules.columns) == ["premise", "conclusion", "support", "confidence"]


def plain_scale(records, nominal, ordinal, interordinal, intervals):
    """Scaling written out value by value, from the rules."""
    columns = list(records[0])
    out = []
    for col in columns:
        values = [r[col] for r in records]
        if col in nominal:
            seen = []
            for v in values:
                if v is not None and v not in seen:
                    seen.append(v)
            out += [(f"{col}={v}", [x == v for x in values]) for v in seen]
        elif col in ordinal or col in interordinal:
            ts = (ordinal or interordinal)[col]
            out += [(f"{col}<={t}", [x is not None and x <= t for x in values]) for t in ts]
            if col in interordinal:
                out += [(f"{col}>={t}", [x is not None and x >= t for x in values]) for t in ts]
        elif col in intervals:
            e = intervals[col]
            out += [
                (f"{lo}<={col}<{hi}", [x is not None and lo <= x < hi for x in values])
                for lo, hi in zip(e, e[1:])
            ]
        else:
            out.append((col, [bool(x) for x in values]))
    return out


@settings(max_examples=60, deadline=None)
@given(
    st.lists(
        st.tuples(
            st.one_of(st.none(), st.integers(0, 5)),
            st.one_of(st.none(), st.sampled_from(["r", "g", "b"])),
            st.booleans(),
        ),
        min_size=1,
        max_size=8,
    ),
    st.sampled_from(["ordinal", "interordinal", "intervals"]),
)
def test_scaling_is_the_plain_one(records, how):
    pd = pytest.importorskip("pandas")
    df = pd.DataFrame(
        {
            "x": pd.array([r[0] for r in records], "Int64"),
            "k": [r[1] for r in records],
            "ok": [r[2] for r in records],
        }
    )
    points = {"x": [1, 3]} if how != "intervals" else {"x": [0, 2, 6]}
    kwargs = {"nominal": ["k"], how: points}
    ctx = qt.scale(df, **kwargs)
    plain = plain_scale(
        [{"x": r[0], "k": r[1], "ok": r[2]} for r in records],
        ["k"],
        points if how == "ordinal" else {},
        points if how == "interordinal" else {},
        points if how == "intervals" else {},
    )
    assert qt.names(ctx)[1] == [name for name, _ in plain]
    assert qt.incidence(ctx).T.tolist() == [column for _, column in plain]


def test_scaling_refusals():
    pd = pytest.importorskip("pandas")
    df = pd.DataFrame({"x": [1.5, 2.0], "k": ["a", "b"]})
    with pytest.raises(ValueError, match=r"column 'x' \(float64\) is not boolean and not scaled"):
        qt.scale(df, nominal=["k"])
    with pytest.raises(ValueError, match="nominal: the DataFrame has no column 'z'"):
        qt.scale(df, nominal=["z"])
    with pytest.raises(ValueError, match="column 'k' is scaled twice"):
        qt.scale(df, nominal=["k"], ordinal={"k": [1]})


@pytest.mark.parametrize(
    "name, content, message",
    [
        ("a.cex", b"<x/>", "parse error: invalid cex data: no <Context> found"),
        (
            "a.cex",
            b"<C><Context><Attributes><Attribute><Name>a</Name></Attribute></Attributes>"
            b"</Context></C>",
            "an <Attribute> without an Identifier",
        ),
        (
            "a.cex",
            b'<C><Context><Attribute Identifier="0"/><Attribute Identifier="0"/></Context></C>',
            'attribute identifier "0" is declared twice',
        ),
        (
            "a.cex",
            b'<C><Context><Attribute Identifier="0"/><Object><Name>o</Name>'
            b'<HasAttribute AttributeIdentifier="7"/></Object></Context></C>',
            'object "o" refers to attribute identifier "7", which no attribute declares',
        ),
        (
            "a.cex",
            b'<!DOCTYPE C [<!ENTITY e SYSTEM "file:///etc/passwd">]><C><Context>'
            b"<Object><Name>&e;</Name></Object></Context></C>",
            "invalid text in <Name>: undefined entity",
        ),
        ("a.cex", b"<C><Context>", "XML parse error at position"),
        ("a.slf", b"[Lattice]\n2\n1\n[Objects]\no\n", "the file ends after 1 of 2 objects"),
        (
            "a.slf",
            b"[Lattice]\n1\n1\n[Objects]\no\n[Attributes]\na\n[relation]\n2\n",
            "line 9: a mark that is not 0 or 1",
        ),
        ("a.slf", b"[Lattice]\nx\n", "the number of objects is not a number"),
        ("a.oal", b"\n\n", "invalid oal data: no objects"),
        ("a.csv", b";a;b\no;X\n", "conexp-csv: line 2: 2 cells, the header has 3"),
        ("a.csv", b";a\no;?\n", "a mark that is not X, 1, 0, . or empty"),
        ("a.oal", b"o:\xff\n", "I/O error: stream did not contain valid UTF-8"),
    ],
)
def test_reader_errors(name, content, message):
    with pytest.raises(
        ValueError,
        match=message.replace("(", r"\(")
        .replace(")", r"\)")
        .replace("[", r"\[")
        .replace("]", r"\]"),
    ):
        qt.read(_named(content, name))


def _named(content, name):
    f = io.BytesIO(content)
    f.name = name
    return f


def test_read_follows_quorlan_and_refuses_what_is_not_a_source(tmp_path):
    (tmp_path / "c.cxt").write_bytes(b"B\n\n1\n1\n\no\na\nX\n")
    assert relation(qt.read(tmp_path / "c.cxt")) == {("o", "a")}
    assert relation(qt.read(str(tmp_path / "c.cxt"), format="cxt")) == {("o", "a")}
    oal = _named(b"o1:a;b\no2\n", "x.txt")
    assert relation(qt.read(oal, format="oal")) == {("o1", "a"), ("o1", "b")}
    with pytest.raises(IsADirectoryError):
        qt.read(tmp_path)
    # Unreadable: a file its owner may not read (root may), a path whose read fails, and a file
    # object whose read raises; each the OSError as the system gave it.
    locked = tmp_path / "locked.cxt"
    locked.write_bytes(b"B\n\n1\n1\n\no\na\nX\n")
    locked.chmod(0)
    if not os.access(locked, os.R_OK):
        with pytest.raises(PermissionError):
            qt.read(locked)
    if pathlib.Path("/proc/self/mem").exists():
        with pytest.raises(OSError, match="Input/output error"):
            qt.read("/proc/self/mem", format="cex")

    class Failing(io.RawIOBase):
        def read(self, size=-1):
            raise OSError("the disk is gone")

    with pytest.raises(OSError, match="the disk is gone"):
        qt.read(Failing())
    with pytest.raises(TypeError, match="source must be a path or a binary file object"):
        qt.read(3)
    with pytest.raises(TypeError, match="opened with 'rb'"):
        qt.read(io.StringIO("x"))
    with pytest.raises(ValueError, match="format must be one of"):
        qt.read(tmp_path / "c.cxt", format="xls")
    slf = _named(
        b"[Lattice]\n2\n2\n[Objects]\no1\no2\n[Attributes]\na\nb\n[relation]\n1 0\n1 1\n"
        b"[END Relational Context]\n",
        "g.slf",
    )
    assert relation(qt.read(slf)) == {("o1", "a"), ("o2", "a"), ("o2", "b")}
