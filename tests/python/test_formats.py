import json

import pytest
from conftest import contexts
from hypothesis import assume, given, settings
from hypothesis import strategies as st

import quorlan

NAMES = st.text(
    st.characters(
        blacklist_categories=("Cs", "Cc", "Zs", "Zl", "Zp"), blacklist_characters='"<>&,\\\t'
    ),
    min_size=1,
    max_size=6,
)


def as_cxt(o, a, rows):
    marks = ["".join("X" if c else "." for c in r) for r in rows]
    return "\n".join(["B", "", str(len(o)), str(len(a)), ""] + o + a + marks) + "\n"


def as_table(o, a, rows, sep):
    lines = [sep.join(["name"] + a)]
    lines += [sep.join([name] + ["1" if c else "0" for c in r]) for name, r in zip(o, rows)]
    return "\r\n".join(lines)


def as_xml(o, a, rows):
    parts = ['<?xml version="1.0" encoding="UTF-8"?>', "<Context>"]
    parts += [f'  <Attribute Name="{x}"/>' for x in a]
    for name, r in zip(o, rows):
        has = "".join(f'<HasAttribute Id="{j}"/>' for j, c in enumerate(r) if c)
        parts.append(f"  <Object><Name>{name}</Name>{has}</Object>")
    return "\n".join(parts + ["</Context>"])


def as_json(o, a, rows):
    return json.dumps(
        {"quorlan_version": "0.2.0", "context": {"objects": o, "attributes": a, "incidence": rows}}
    )


def as_fimi(rows):
    return "\n".join(" ".join(str(j) for j, c in enumerate(r) if c) for r in rows) + "\n"


@settings(max_examples=120, deadline=None)
@given(contexts(NAMES, objects=(1, 6), attributes=(1, 5)))
def test_one_context_in_every_format(ctx):
    o, a, rows = ctx
    documents = {
        "c.cxt": as_cxt(o, a, rows),
        "c.csv": as_table(o, a, rows, ","),
        "c.tsv": as_table(o, a, rows, "\t"),
        "c.xml": as_xml(o, a, rows),
        "c.json": as_json(o, a, rows),
    }
    results = {}
    for name, doc in documents.items():
        parsed = quorlan.parse_context(doc.encode(), name)
        assert (parsed.n_objects, parsed.n_attributes) == (len(o), len(a)), name
        results[name] = quorlan.compute_concepts(parsed, "fcbo")
    first = results["c.cxt"]
    for name, r in results.items():
        assert r == first, name

    # FIMI carries no names, needs a non-empty row per object and numbers attributes up to
    # the largest identifier present.
    assume(all(any(r) for r in rows) and any(r[-1] for r in rows))
    fimi = quorlan.compute_concepts(quorlan.parse_context(as_fimi(rows).encode(), "c.dat"), "fcbo")
    rename_o = {f"g{i}": x for i, x in enumerate(o)}
    rename_a = {f"m{j}": x for j, x in enumerate(a)}
    assert [
        {"extent": [rename_o[x] for x in c["extent"]], "intent": [rename_a[x] for x in c["intent"]]}
        for c in fimi
    ] == first


@pytest.mark.parametrize(
    "content, name, message",
    [
        (
            b"",
            "x",
            "parse error: invalid auto data: could not detect format from extension or first "
            "0 bytes",
        ),
        (
            b"B\n1\n1\no\na\nX\n\xff",
            "a.cxt",
            "parse error: I/O error: stream did not contain valid UTF-8",
        ),
        (b"name\n", "t.csv", "parse error: invalid csv data: header row has no attribute columns"),
        (
            b"1 2\nx\n",
            "t.dat",
            'parse error: parse error in fimi: line 2: expected non-negative integer, got "x"',
        ),
        (
            b"<Context/>",
            "t.xml",
            "parse error: invalid fca-xml data: no <Attribute> elements found",
        ),
        (b"{}", "t.json", "parse error: JSON error: missing field `quorlan_version`"),
        (
            b'{"quorlan_version": "\xff"}',
            "t.json",
            "parse error: JSON error: parse error at line 1, column 22: syntax error while "
            "parsing value - "
            "invalid string: ill-formed UTF-8 byte; last read: '\"<FF>'",
        ),
    ],
)
def test_reader_errors_reach_python(content, name, message):
    with pytest.raises(ValueError) as info:
        quorlan.parse_context(content, name)
    assert str(info.value) == message


def test_detection_by_content_reaches_each_reader():
    assert quorlan.parse_context(b"1 2\n3\n", "upload").n_attributes == 4
    assert quorlan.parse_context(b"n,a\no,1\n", "upload").n_objects == 1
    assert (
        quorlan.parse_context(b'<C><Attribute Name="a"/><Object></Object></C>', "upload").n_objects
        == 1
    )
    doc = b'{"quorlan_version": "1", "context": [["o"], ["a"], [[true]]]}'
    assert quorlan.parse_context(doc, "upload").n_attributes == 1


def test_hostile_inputs_end_cleanly():
    big_name = (
        b'<C><Attribute Name="a"/><Object><Name>' + b"n" * 50_000_000 + b"</Name></Object></C>"
    )
    assert quorlan.parse_context(big_name, "t.xml").n_objects == 1
    nested = (
        b'{"x": '
        + b"[" * 100_000
        + b"]" * 100_000
        + b', "quorlan_version": "1", "context": [[], [], []]}'
    )
    assert quorlan.parse_context(nested, "t.json").n_objects == 0
    with pytest.raises(
        ValueError, match="invalid cxt data: expected 18446744073709551615 object names, got 0"
    ):
        quorlan.parse_context(b"B\n18446744073709551615\n0\n")
    with pytest.raises(ValueError, match="item identifier 4294967295"):
        quorlan.parse_context(b"4294967295\n", "t.dat")
