"""Writers of contexts (cxt, CSV, quorlan's JSON document, ConExp's cex), results as DataFrames,
and conceptual scaling of many-valued data."""

from __future__ import annotations

import html
import io
import json
import math
import os
import re
from typing import TYPE_CHECKING, Any, Dict, Iterable, List, Mapping, Optional, Sequence

import numpy as np

from . import _checks
from ._data import _from_rows, incidence, names

if TYPE_CHECKING:
    import quorlan

WRITTEN = ("cxt", "csv", "json", "cex")
# What XML 1.0 allows in text, and the white space its readers trim.
_NOT_XML = re.compile("[^\t\n\u0020-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")


def _refuse(kind: str, k: int, name: str, fmt: str, why: str) -> None:
    raise ValueError(
        f"{fmt} cannot hold the name of {kind} {k} ({name[:60]!r}): {why}; "
        f"write another format (json holds every name)"
    )


def _check_names(fmt: str, objects: Sequence[str], attributes: Sequence[str]) -> None:
    if fmt == "csv" and not (attributes and objects):
        raise ValueError(
            "csv cannot hold a context without objects or without attributes (a "
            "table needs a header and a row); write another format"
        )
    for kind, names_ in (("object", objects), ("attribute", attributes)):
        for k, name in enumerate(names_):
            if fmt == "cxt":
                if "\n" in name or "\r" in name:
                    _refuse(kind, k, name, fmt, "it holds a line break")
                if not name or name.strip() != name:
                    _refuse(kind, k, name, fmt, "a line's white space at its ends is not kept")
            elif fmt == "cex":
                if _NOT_XML.search(name):
                    _refuse(kind, k, name, fmt, "it holds a character XML does not allow")
                if name.strip(" \t\n") != name:
                    _refuse(kind, k, name, fmt, "white space at its ends is not kept")
                if kind == "object" and not name:
                    _refuse(kind, k, name, fmt, "an object without a name is named by its index")


def _cells(rows: "np.ndarray", yes: bytes, no: bytes) -> "np.ndarray":
    """Each row's cells as one run of bytes: `yes` or `no` (of one length) per cell, as an
    n x (m * width) array of bytes made in one step."""
    table = np.frombuffer(no + yes, dtype=np.uint8).reshape(2, len(yes))
    return table[rows.astype(np.intp)].reshape(rows.shape[0], rows.shape[1] * len(yes))


def _cxt(objects: List[str], attributes: List[str], rows: "np.ndarray") -> bytes:
    head = (
        "\n".join(["B", "", str(len(objects)), str(len(attributes)), ""] + objects + attributes)
        + "\n"
    )
    marks = _cells(rows, b"X", b".")
    end = np.full((rows.shape[0], 1), ord("|" if not attributes else "\n"), dtype=np.uint8)
    body = np.hstack([marks, end] + ([np.full_like(end, ord("\n"))] if not attributes else []))
    return head.encode() + body.tobytes()


def _csv_field(name: str) -> str:
    """A field as the csv module writes it (minimal quoting)."""
    if any(c in name for c in ',"\r\n'):
        return '"' + name.replace('"', '""') + '"'
    return name


def _csv(objects: List[str], attributes: List[str], rows: "np.ndarray") -> bytes:
    header = ",".join(_csv_field(x) for x in ["name"] + attributes) + "\r\n"
    cells = np.hstack(
        [
            _cells(rows, b",1", b",0"),
            np.frombuffer(b"\r\n" * rows.shape[0], np.uint8).reshape(-1, 2),
        ]
    )
    cut, width = cells.tobytes(), cells.shape[1]
    return header.encode() + b"".join(
        _csv_field(name).encode() + cut[g * width : (g + 1) * width]
        for g, name in enumerate(objects)
    )


def _json(objects: List[str], attributes: List[str], rows: "np.ndarray") -> bytes:
    names = json.dumps({"objects": objects, "attributes": attributes}, ensure_ascii=False)
    if attributes:
        cells = _cells(rows, b" true,", b"false,")
        cells[:, -1] = ord("]")  # the last cell's comma closes its row
        body = b",".join(b"[" + bytes(row) for row in cells)
    else:
        body = b",".join(b"[]" for _ in objects)
    return (
        f'{{"quorlan_version": "0.2.0", "context": {names[:-1]}, "incidence": ['.encode()
        + body
        + b"]}}\n"
    )


def _cex(objects: List[str], attributes: List[str], rows: "np.ndarray") -> bytes:
    def text(s: str) -> bytes:
        return html.escape(s, quote=False).encode()

    head = [
        b'<?xml version="1.0" encoding="UTF-8"?>\n<ConceptualSystem>\n'
        b'  <Version MajorNumber="1" MinorNumber="0"/>\n  <Contexts>\n'
        b'    <Context Identifier="0" Type="Binary">\n      <Attributes>\n'
    ]
    head += [
        b'        <Attribute Identifier="%d"><Name>%s</Name></Attribute>\n' % (j, text(a))
        for j, a in enumerate(attributes)
    ]
    head.append(b"      </Attributes>\n      <Objects>\n")
    # Every incidence's tag at once, then each object's run of them.
    tags = np.array(
        [b'<HasAttribute AttributeIdentifier="%d"/>' % j for j in range(len(attributes))] or [b""],
        dtype=object,
    )
    g, j = np.nonzero(rows)
    all_tags = tags[j]
    ends = np.searchsorted(g, np.arange(1, len(objects) + 1))
    body = [
        b"        <Object><Name>%s</Name><Intent>%s</Intent></Object>\n"
        % (text(name), b"".join(all_tags[start:end]))
        for name, start, end in zip(objects, [0] + ends[:-1].tolist(), ends.tolist())
    ]
    tail = [b"      </Objects>\n    </Context>\n  </Contexts>\n</ConceptualSystem>\n"]
    return b"".join(head + body + tail)


def write(ctx: "quorlan.Context", target: Any, format: Optional[str] = None) -> None:
    """Writes the context to a path or to a text or binary file object, as Burmeister cxt, CSV,
    quorlan's JSON document or ConExp's cex (from `format=`, else the path's extension), so that
    reading it back gives the same context: names, their order and the incidence. A name the
    format cannot hold (a line break in cxt, white space at its ends, a character XML refuses)
    is a ValueError rather than a file that reads back otherwise."""
    ctx = _checks.context(ctx)
    if format is None:
        where = target if isinstance(target, (str, os.PathLike)) else getattr(target, "name", "")
        format = os.path.splitext(str(os.fspath(where) if where else ""))[1].lstrip(".").lower()
    if not isinstance(format, str) or format.lower() not in WRITTEN:
        raise ValueError(f"format must be one of {', '.join(WRITTEN)}; got {_checks.shown(format)}")
    fmt = format.lower()
    objects, attributes = names(ctx)
    _check_names(fmt, objects, attributes)
    document = {"cxt": _cxt, "csv": _csv, "json": _json, "cex": _cex}[fmt](
        objects, attributes, incidence(ctx)
    )
    data = document if isinstance(document, bytes) else document.encode("utf-8")
    if isinstance(target, (str, os.PathLike)):
        with open(target, "wb") as f:
            f.write(data)
    elif isinstance(target, io.TextIOBase) or "b" not in getattr(target, "mode", "b"):
        target.write(data.decode("utf-8"))
    else:
        target.write(data)


def concepts_frame(lat: "quorlan.Lattice") -> Any:
    """The lattice's concepts as a DataFrame: extent and intent (lists of names) and support
    (the extent's size), one row per concept in `lat.concepts()` order."""
    pd = _checks.optional_import("pandas", "concepts_frame()")
    concepts = _checks.lattice(lat).concepts()
    return pd.DataFrame(
        {
            "extent": [c["extent"] for c in concepts],
            "intent": [c["intent"] for c in concepts],
            "support": [len(c["extent"]) for c in concepts],
        }
    )


def implications_frame(implications: Iterable[Mapping[str, Any]]) -> Any:
    """Implications (or association rules) as a DataFrame: premise, conclusion, support,
    confidence."""
    pd = _checks.optional_import("pandas", "implications_frame()")
    rows = list(implications)
    return pd.DataFrame(
        {k: [r[k] for r in rows] for k in ("premise", "conclusion", "support", "confidence")}
    )


def scale(
    df: Any,
    *,
    nominal: Sequence[Any] = (),
    ordinal: Optional[Mapping[Any, Sequence[Any]]] = None,
    interordinal: Optional[Mapping[Any, Sequence[Any]]] = None,
    intervals: Optional[Mapping[Any, Sequence[Any]]] = None,
) -> "quorlan.Context":
    """Conceptual scaling (Ganter and Wille 1989) of a many-valued DataFrame into a context, the
    columns in their order: a boolean column passes through under its own name; a `nominal`
    column gives `col=value` per distinct value, in order of first appearance; `ordinal={col:
    thresholds}` gives `col<=t` per threshold, `interordinal` `col<=t` per threshold and then
    `col>=t`, `intervals={col: edges}` `lo<=col<hi` per pair of consecutive edges (numbers
    written as `str()` writes them). A missing value gives none of its column's attributes; an
    unscaled column that is not boolean is a ValueError naming it."""
    pd = _checks.optional_import("pandas", "scale()")
    if not isinstance(df, pd.DataFrame):
        raise TypeError(f"df must be a pandas.DataFrame, not {type(df).__name__}")
    scalings: Dict[Any, str] = {}
    for kind, named in (
        ("nominal", list(nominal)),
        ("ordinal", list(ordinal or {})),
        ("interordinal", list(interordinal or {})),
        ("intervals", list(intervals or {})),
    ):
        for col in named:
            if col not in df.columns:
                raise ValueError(f"{kind}: the DataFrame has no column {_checks.shown(col)}")
            if col in scalings:
                raise ValueError(
                    f"column {_checks.shown(col)} is scaled twice ({scalings[col]} and {kind})"
                )
            scalings[col] = kind
    attributes: List[str] = []
    # The incidence as (row, attribute) pairs, gathered column by column: a nominal column of a
    # million distinct values costs its length, not its length times its values.
    rows: List["np.ndarray"] = []
    cols: List["np.ndarray"] = []

    def add(name: str, mask: "np.ndarray") -> None:
        hit = np.flatnonzero(mask)
        rows.append(hit)
        cols.append(np.full(len(hit), len(attributes), dtype=np.int64))
        attributes.append(name)

    for k, col in enumerate(df.columns):
        values = df.iloc[:, k]
        present = ~values.isna().to_numpy()
        scaling = scalings.get(col)
        if scaling is None:
            if not pd.api.types.is_bool_dtype(values.dtype):
                raise ValueError(
                    f"column {_checks.shown(col)} ({values.dtype}) is not boolean and not scaled: "
                    "name it in nominal, ordinal, interordinal or intervals"
                )
            add(str(col), np.where(present, values.fillna(False).to_numpy(dtype=bool), False))
        elif scaling == "nominal":
            # Codes in order of first appearance, -1 for a missing value.
            codes, uniques = pd.factorize(values)
            hit = np.flatnonzero(codes >= 0)
            rows.append(hit)
            cols.append(len(attributes) + codes[hit].astype(np.int64))
            attributes += [f"{col}={v}" for v in uniques]
        else:
            for name, mask in _threshold_scale(
                scaling,
                col,
                values,
                present,
                {"ordinal": ordinal, "interordinal": interordinal, "intervals": intervals}[scaling],
            ):
                add(name, mask)
    all_rows = np.concatenate(rows) if rows else np.zeros(0, dtype=np.int64)
    all_cols = np.concatenate(cols) if cols else np.zeros(0, dtype=np.int64)
    order = np.lexsort((all_cols, all_rows))
    objects = [str(x) for x in df.index]
    return _from_rows(objects, attributes, all_rows[order], all_cols[order])


def _threshold_scale(
    kind: str,
    col: Any,
    values: Any,
    present: "np.ndarray",
    given: Optional[Mapping[Any, Sequence[Any]]],
) -> List[Any]:
    assert given is not None
    points = list(given[col])
    numbers = values.to_numpy(dtype=float, na_value=math.nan)
    out = []
    with np.errstate(invalid="ignore"):
        if kind == "intervals":
            for lo, hi in zip(points, points[1:]):
                out.append((f"{lo}<={col}<{hi}", present & (numbers >= lo) & (numbers < hi)))
        else:
            out += [(f"{col}<={t}", present & (numbers <= t)) for t in points]
            if kind == "interordinal":
                out += [(f"{col}>={t}", present & (numbers >= t)) for t in points]
    return out
