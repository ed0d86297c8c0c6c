"""What a user can hand the companions, at its edges and beyond: thresholds and indices, arrays
of any dtype and shape, names that look like markup, files cut or corrupted at every byte. Each
ends in the right result or a TypeError or ValueError that names the argument, in a message of
bounded length."""

import io
import math
import random
import re
import xml.etree.ElementTree as ET

import numpy as np
import pytest
from conftest import DATA
from hypothesis import given, settings
from hypothesis import strategies as st

import quorlan
import quorlan_tools as qt
import quorlan_view

BIG = 2**64
MESSAGE_LIMIT = 400


def small():
    ctx = qt.from_array(np.array([[1, 0, 1], [1, 1, 0], [0, 1, 1], [1, 1, 1]]))
    return ctx, quorlan.compute_lattice(ctx)


CTX, LAT = small()  # 4 objects, 8 concepts
N = LAT.n_concepts


# (call, what it gives: a value, or (error type, words the message holds))
EDGES = [
    (lambda: qt.iceberg(CTX, 0).n_concepts, N),
    (lambda: qt.iceberg(CTX, 4).n_concepts, 1),
    (lambda: qt.iceberg(CTX, 1.0).n_concepts, 1),
    (lambda: qt.iceberg(CTX, 0.5).n_concepts, 7),
    (lambda: qt.iceberg(CTX, np.int64(2)).n_concepts, 7),
    (lambda: qt.iceberg(CTX, 5), (ValueError, "min_support must be a count from 0 to 4")),
    (lambda: qt.iceberg(CTX, -1), (ValueError, "min_support must be a count")),
    (lambda: qt.iceberg(CTX, 0.0), (ValueError, "min_support must be a fraction in (0, 1]")),
    (lambda: qt.iceberg(CTX, 1.5), (ValueError, "min_support must be a fraction")),
    (lambda: qt.iceberg(CTX, math.nan), (ValueError, "min_support must be a fraction")),
    (lambda: qt.iceberg(CTX, 2.0), (ValueError, "min_support must be a fraction")),
    (lambda: qt.iceberg(CTX, True), (TypeError, "min_support must be an int or a float, not bool")),
    (lambda: qt.iceberg(CTX, BIG), (ValueError, "min_support must be a count")),
    (lambda: qt.iceberg(CTX, "1"), (TypeError, "min_support must be an int or a float, not str")),
    (lambda: qt.iceberg(CTX, 1, max_concepts=-1), (ValueError, "max_concepts must be 0 or more")),
    (lambda: qt.iceberg(CTX, 1, max_concepts=0), (ValueError, "more than max_concepts=0")),
    (lambda: qt.iceberg(CTX, 1, max_concepts=1.5), (TypeError, "max_concepts must be an int")),
    (lambda: qt.iceberg(CTX, 1, max_concepts=BIG), (ValueError, "max_concepts must be a count")),
    (lambda: qt.iceberg(CTX, 1, "x" * 10**6), (ValueError, "unknown algorithm")),
    (lambda: qt.count_concepts(CTX, 4), 1),
    (lambda: qt.count_concepts(CTX, math.nan), (ValueError, "min_support must be a fraction")),
    (lambda: qt.up_set(LAT, N - 1).tolist(), list(range(N))),
    (
        lambda: qt.up_set(LAT, N),
        (ValueError, f"i must be the index of a concept, from 0 to {N - 1}"),
    ),
    (lambda: qt.up_set(LAT, -1), (ValueError, "i must be the index of a concept")),
    (lambda: qt.up_set(LAT, BIG), (ValueError, "i must be the index of a concept")),
    (lambda: qt.up_set(LAT, 1.0), (TypeError, "i must be an int, not float")),
    (lambda: qt.down_set(LAT, True), (TypeError, "i must be an int, not bool")),
    (lambda: qt.join(LAT, 0, N), (ValueError, "j must be the index of a concept")),
    (lambda: qt.meet(LAT, None, 0), (TypeError, "i must be an int, not NoneType")),
    (lambda: qt.upper_covers(LAT, BIG), (ValueError, "i must be the index of a concept")),
    (lambda: quorlan_view.part(LAT, min_extent=0).n_concepts, N),
    (lambda: quorlan_view.part(LAT, min_extent=4).n_concepts, 1),
    (lambda: quorlan_view.part(LAT, min_extent=5), (ValueError, "no concept has 5 objects")),
    (lambda: quorlan_view.part(LAT, min_extent=-1), (ValueError, "min_extent must be 0 or more")),
    (lambda: quorlan_view.part(LAT, min_extent=math.nan), (TypeError, "min_extent must be an int")),
    (lambda: quorlan_view.part(LAT, min_extent=BIG), (ValueError, "no concept has")),
    (lambda: quorlan_view.part(LAT, around=N), (ValueError, "around must be the index")),
    (lambda: quorlan_view.part(LAT, around=0, depth=0).n_concepts, 1),
    (lambda: quorlan_view.part(LAT, around=0, depth=BIG).n_concepts, N),  # at once
    (lambda: quorlan_view.part(LAT, around=0, depth=1.5), (TypeError, "depth must be an int")),
    (lambda: quorlan_view.labelled(LAT, max_concepts=N).n_concepts, N),
    (lambda: quorlan_view.labelled(LAT, max_concepts=N - 1), (ValueError, "max_concepts=7")),
    (lambda: quorlan_view.labelled(LAT, max_concepts=True), (TypeError, "max_concepts must be")),
    (lambda: quorlan_view.labelled(LAT, sizes="yes"), (TypeError, "sizes must be a bool, not str")),
    (lambda: quorlan_view.labelled(LAT, sizes=np.bool_(True)).n_concepts, N),
    (lambda: quorlan_view.labelled(LAT, labels="x" * 10**6), (ValueError, "labels must be")),
    (lambda: len(qt.association_rules(LAT, 1)), 0),
    (lambda: qt.association_rules(LAT, 1.5), (ValueError, "min_confidence must be from 0.0")),
    (lambda: qt.association_rules(LAT, math.nan), (ValueError, "min_confidence must be from")),
    (lambda: qt.association_rules(LAT, True), (TypeError, "min_confidence must be a float")),
    (lambda: qt.concept_of(LAT, intent=["z" * 10**6]), (ValueError, "intent: the context has no")),
    (lambda: qt.concept_of(LAT, extent=["z" * 10**6]), (ValueError, "extent: the context has no")),
    (lambda: qt.read(io.BytesIO(b""), format="y" * 10**6), (ValueError, "format must be one of")),
    (
        lambda: qt.write(CTX, io.BytesIO(), format="y" * 10**6),
        (ValueError, "format must be one of"),
    ),
    (lambda: qt.read(12), (TypeError, "source must be a path or a binary file object")),
]


@pytest.mark.parametrize("k", range(len(EDGES)))
def test_thresholds_and_indices_at_their_edges(k):
    call, expected = EDGES[k]
    if isinstance(expected, tuple):
        error, words = expected
        with pytest.raises(error) as e:
            call()
        assert words in str(e.value) and len(str(e.value)) <= MESSAGE_LIMIT, str(e.value)[:200]
    else:
        assert call() == expected


def test_arrays_of_every_shape_and_layout():
    cases = [
        (np.zeros((0, 0), dtype=bool), (0, 0)),
        (np.zeros((1, 100_000), dtype=np.uint8), (1, 100_000)),
        (np.ones((100_000, 1), dtype=np.int64), (100_000, 1)),
        (np.eye(6, dtype=bool)[::2, 1::2], (3, 3)),  # not contiguous
        (np.asfortranarray(np.eye(4, dtype=np.int16)), (4, 4)),
        (np.array([[1.0, 0.0], [0.0, 1.0]], dtype=np.float32), (2, 2)),
    ]
    readonly = np.eye(3, dtype=bool)
    readonly.setflags(write=False)
    cases.append((readonly, (3, 3)))
    for a, shape in cases:
        ctx = qt.from_array(a)
        assert (ctx.n_objects, ctx.n_attributes) == shape
        assert (qt.incidence(ctx) == (np.asarray(a) != 0)).all()
    ctx = qt.from_array(np.eye(2), objects=["x", "x"], attributes=[1, None])  # names as str gives
    assert qt.names(ctx) == (["x", "x"], ["1", "None"])


def test_dataframes_of_every_kind():
    pd = pytest.importorskip("pandas")
    columns = pd.MultiIndex.from_tuples([("a", "x"), ("a", "y")])
    ctx = qt.from_pandas(pd.DataFrame([[True, False]], columns=columns, index=["o"]))
    assert qt.names(ctx) == (["o"], ["('a', 'x')", "('a', 'y')"])
    assert qt.from_pandas(pd.DataFrame()).n_objects == 0
    sparse = pd.DataFrame({"a": [True, False]}).astype(pd.SparseDtype(bool))
    assert qt.incidence(qt.from_pandas(sparse)).tolist() == [[True], [False]]
    refused = [
        (pd.DataFrame({"d": pd.to_datetime(["2020-01-01"])}), "column 'd' has dtype datetime64"),
        (pd.DataFrame({"f": [0.5]}), "column 'f' has dtype float64"),
        (pd.DataFrame({"s": ["yes"]}), "column 's' has dtype"),
        (
            pd.DataFrame({"b": pd.array([True, None], "boolean")}, index=["p", "q"]),
            "column 'b' has a missing value in row 'q'",
        ),
        (pd.DataFrame({"z" * 10**5: [0.5]}), "has dtype float64"),
    ]
    for df, words in refused:
        with pytest.raises(ValueError) as e:
            qt.from_pandas(df)
        assert words in str(e.value) and len(str(e.value)) <= MESSAGE_LIMIT
    with pytest.raises(TypeError, match="df must be a pandas.DataFrame, not Series"):
        qt.from_pandas(pd.Series([True]))


def plain_nominal(pd, values):
    """Nominal scaling by its definition: an attribute per distinct present value, in order of
    first appearance, holding the rows of that value."""
    present = ~values.isna().to_numpy()
    out = []
    for v in pd.unique(values[present]):
        out.append((f"c={v}", ((values == v).fillna(False).to_numpy(dtype=bool) & present)))
    return out


@settings(max_examples=120, deadline=None)
@given(
    st.lists(
        st.one_of(
            st.integers(-3, 3),
            st.sampled_from(["a", "b", "A", ""]),
            st.none(),
            st.sampled_from([1.5, math.nan, 2.0]),
        ),
        max_size=30,
    ),
    st.booleans(),
)
def test_nominal_scaling_is_the_plain_one(values, categorical):
    pd = pytest.importorskip("pandas")
    series = pd.Series(values, dtype=object)
    if categorical:
        series = series.astype("category")
    ctx = qt.scale(pd.DataFrame({"c": series}), nominal=["c"])
    expected = plain_nominal(pd, series)
    assert qt.names(ctx)[1] == [name for name, _ in expected]
    matrix = qt.incidence(ctx)
    for j, (_, column) in enumerate(expected):
        assert (matrix[:, j] == column).all()


def test_a_million_distinct_nominal_values():
    pd = pytest.importorskip("pandas")
    ctx = qt.scale(pd.DataFrame({"c": np.arange(10**6) % 999_983}), nominal=["c"])
    assert (ctx.n_objects, ctx.n_attributes) == (10**6, 999_983)


MARKUP = [
    "</script><script>window.x=1</script>",
    '<img src=x onerror="alert(2)">',
    "]]>",
    "a\"b'c",
    "x & y",
    "back\\slash",
    "{br}",
    "%#$_^~",
    "-->",
    "<!--",
]


def test_names_like_markup_stay_text_in_every_document():
    rng = random.Random(3)
    rows = np.array([[rng.random() < 0.5 for _ in range(5)] for _ in range(5)])
    ctx = qt.from_array(rows, objects=MARKUP[:5], attributes=MARKUP[5:])
    lat = quorlan.compute_lattice(ctx)
    view = quorlan_view.labelled(lat, labels="full")
    svg = ET.fromstring(view.svg().split("\n", 1)[1])  # well-formed XML
    titles = [t.text for t in svg.iter("{http://www.w3.org/2000/svg}title")]
    for name in MARKUP:
        assert any(name in (t or "").split("\n") for t in titles), name
    assert not list(svg.iter("{http://www.w3.org/2000/svg}script"))
    fragment = quorlan_view.explore(view)._repr_html_()
    assert fragment.count("<script") == 2 and fragment.count("</script>") == 2
    assert "<img" not in fragment and "<!--" not in fragment
    for fmt in qt.WRITTEN:
        out = io.BytesIO()
        qt.write(ctx, out, format=fmt)
        back = qt.read(io.BytesIO(out.getvalue()), format=fmt)
        assert qt.names(back) == qt.names(ctx) and (qt.incidence(back) == rows).all(), fmt
    dot = qt.to_dot(lat)
    for label in re.findall(r'label="((?:[^"\\]|\\.)*)"', dot):
        assert not re.search(r'(?<!\\)"', label)
    assert dot.count("[label=") == lat.n_concepts
    tikz = view.tikz()
    body = re.sub(
        r"\\(textbackslash|textasciicircum|textasciitilde|textless|textgreater|"
        r"textbar|ldots)\{\}|\\[{}$&#_%]",
        "",
        tikz.split("]\n", 1)[1],
    )
    for label in re.findall(r"\\node\[label\] at \([-\d.]+,[-\d.]+\) \{(.*)\};", body):
        assert not re.search(r"[\\{}$&#_%^~]", label), label


def small_documents():
    cex = (DATA / "conexp-ng").glob("*")
    docs = {p.suffix.lstrip("."): p.read_bytes()[:400] for p in cex if p.suffix in (".cex", ".csv")}
    docs["slf"] = b"[Lattice]\n2\n2\n[Objects]\no1\no2\n[Attributes]\na\nb\n[relation]\n1 0\n0 1\n"
    docs["oal"] = b"o1:a;b\no2:b\n"
    return docs


@pytest.mark.parametrize("fmt", ["cex", "slf", "oal", "conexp-csv"])
def test_files_cut_or_corrupted_at_every_byte(fmt):
    docs = small_documents()
    data = docs.get(fmt) or docs.get("csv" if fmt == "conexp-csv" else fmt)
    if data is None:
        pytest.skip(f"no small {fmt} document")
    variants = [data[:k] for k in range(len(data))]
    variants += [data[:k] + b"\xff" + data[k + 1 :] for k in range(0, len(data), 3)]
    variants += [data[:k] + b"\x00" + data[k:] for k in range(0, len(data), 5)]
    for v in variants:
        try:
            qt.read(io.BytesIO(v), format=fmt)
        except ValueError as e:
            assert len(str(e)) <= MESSAGE_LIMIT * 2, str(e)[:200]


def plain_lines(text):
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return [line[:-1] if line.endswith("\r") else line for line in lines]


def plain_oal(text):
    """Object-attribute lists by their grammar: a line "object: a; b", names trimmed, blank
    lines and empty names skipped, attributes numbered as they first appear."""
    objects, attributes, rows = [], [], []
    for line in plain_lines(text):
        if not line.strip():
            continue
        name, colon, rest = line.partition(":")
        objects.append(name.strip())
        row = set()
        for a in rest.split(";") if colon else []:
            a = a.strip()
            if a:
                if a not in attributes:
                    attributes.append(a)
                row.add(attributes.index(a))
        rows.append(row)
    if not objects:
        return None
    return objects, attributes, rows


def plain_conexp_csv(text):
    """ConExp-NG's table by its grammar: a header of ';'-separated attribute names after an
    empty corner, rows of as many cells, X/x/1 marked and 0/./empty not."""
    lines = plain_lines(text)
    if not lines:
        return None
    attributes = [c.strip() for c in lines[0].split(";")[1:]]
    objects, rows = [], []
    for line in lines[1:]:
        if not line.strip():
            continue
        cells = line.split(";")
        if len(cells) != len(attributes) + 1:
            return None
        objects.append(cells[0].strip())
        row = set()
        for j, mark in enumerate(c.strip() for c in cells[1:]):
            if mark in ("X", "x", "1"):
                row.add(j)
            elif mark not in ("", "0", "."):
                return None
        rows.append(row)
    return objects, attributes, rows


@settings(max_examples=400, deadline=None)
@given(
    st.text(st.sampled_from(list("ab :;\t\r\n") + ["X", "x", "0", "1", "."]), max_size=80),
    st.sampled_from(["oal", "conexp-csv"]),
)
def test_line_readers_are_their_plain_grammars(text, fmt):
    expected = (plain_oal if fmt == "oal" else plain_conexp_csv)(text)
    try:
        ctx = qt.read(io.BytesIO(text.encode()), format=fmt)
    except ValueError:
        assert expected is None, expected
        return
    assert expected is not None
    objects, attributes, rows = expected
    assert qt.names(ctx) == (objects, attributes)
    assert [set(np.flatnonzero(r).tolist()) for r in qt.incidence(ctx)] == rows


def plain_slf(text):
    """Galicia's file by its grammar: "[Lattice]", the object and attribute counts, "[Objects]"
    and that many name lines, "[Attributes]" and theirs, "[relation]" and a row of 0/1 marks
    between spaces for each object; blank lines only before a section's name, names trimmed,
    anything after the last row ignored."""
    lines = iter(plain_lines(text))

    def header(name):
        line = next((line for line in lines if line.strip()), None)
        return line is not None and line.strip() == name

    def count():
        digits = next(lines, "").strip()
        digits = digits[1:] if digits.startswith("+") else digits
        return int(digits) if digits and all("0" <= c <= "9" for c in digits) else None

    def names(k):
        taken = [line.strip() for _, line in zip(range(k), lines)]
        return taken if len(taken) == k else None

    if not header("[Lattice]"):
        return None
    n, m = count(), None
    if n is not None:
        m = count()
    if m is None or not header("[Objects]") or (objects := names(n)) is None:
        return None
    if not header("[Attributes]") or (attributes := names(m)) is None:
        return None
    if not header("[relation]"):
        return None
    rows = []
    for line in names(n) or ([] if n == 0 else [None]):
        marks = [c for c in (cell.strip() for cell in (line or "").split(" ")) if c]
        if line is None or len(marks) != m or any(c not in ("0", "1") for c in marks):
            return None
        rows.append({j for j, c in enumerate(marks) if c == "1"})
    return objects, attributes, rows


@st.composite
def slf_documents(draw):
    """Galicia files, well formed or a few characters away from it: blank lines, spaces, tabs
    and CRs where they may or may not stand, marks of every kind."""
    n, m = draw(st.integers(0, 4)), draw(st.integers(0, 4))
    name = st.text(st.sampled_from("ab \t"), max_size=3)
    blank = st.sampled_from(["", "\n", " \n", "\t\r\n"])
    parts = [draw(blank), "[Lattice]\n", f"{n}\n", f"{m}\n", draw(blank), "[Objects]\n"]
    parts += [draw(name) + "\n" for _ in range(n)]
    parts += [draw(blank), "[Attributes]\n"] + [draw(name) + "\n" for _ in range(m)]
    parts += [draw(blank), "[relation]\n"]
    space = st.sampled_from([" ", "  ", " \t"])
    rows = [[draw(st.sampled_from("01")) for _ in range(m)] for _ in range(n)]
    if n and m and draw(st.booleans()):  # one mark that is not a mark
        odd = draw(st.sampled_from(["2", "x", "10", "+1", "0\t1", "-0"]))
        rows[draw(st.integers(0, n - 1))][draw(st.integers(0, m - 1))] = odd
    for marks in rows:
        parts.append(draw(space).join(marks) + draw(st.sampled_from(["", " ", "\r"])) + "\n")
    text = "".join(parts)
    for _ in range(draw(st.integers(0, 3))):
        at = draw(st.integers(0, len(text)))
        edit = draw(st.sampled_from(["", "0", "1", "2", " ", "\t", "\n", "\r", "+", "x"]))
        cut = draw(st.integers(0, 1))
        text = text[:at] + edit + text[at + cut :]
    return text


@settings(max_examples=600, deadline=None)
@given(slf_documents())
def test_slf_reader_is_its_plain_grammar(text):
    expected = plain_slf(text)
    try:
        ctx = qt.read(io.BytesIO(text.encode()), format="slf")
    except ValueError:
        assert expected is None, (text, expected)
        return
    assert expected is not None, text
    objects, attributes, rows = expected
    assert qt.names(ctx) == (objects, attributes)
    assert [set(np.flatnonzero(r).tolist()) for r in qt.incidence(ctx)] == rows
