"""Writers of contexts (cxt, CSV, quorlan's JSON document, ConExp's cex) and results as
DataFrames."""

from __future__ import annotations

import html
import io
import json
import os
import re
from typing import TYPE_CHECKING, Any, Iterable, List, Mapping, Optional, Sequence

import numpy as np

from . import _checks
from ._data import incidence, names

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
    from quorlan import __version__

    names = json.dumps({"objects": objects, "attributes": attributes}, ensure_ascii=False)
    if attributes:
        cells = _cells(rows, b" true,", b"false,")
        cells[:, -1] = ord("]")  # the last cell's comma closes its row
        body = b",".join(b"[" + bytes(row) for row in cells)
    else:
        body = b",".join(b"[]" for _ in objects)
    return (
        f'{{"quorlan_version": "{__version__}", "context": {names[:-1]}, "incidence": ['.encode()
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
