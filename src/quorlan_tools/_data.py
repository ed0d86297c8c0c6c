"""Data in and out: the files other FCA tools write, DataFrames and arrays, a context's names and
incidence, writers, and results as DataFrames."""

from __future__ import annotations

import os
from typing import TYPE_CHECKING, Any, List, Optional, Sequence, Tuple, Union

import numpy as np

from . import _checks
from ._native import native

if TYPE_CHECKING:
    import quorlan

Source = Union[str, "os.PathLike[str]", Any]

# quorlan's own formats, by the name parse_context is given for them.
_OWN = {
    "cxt": "x.cxt",
    "csv": "x.csv",
    "tsv": "x.tsv",
    "fimi": "x.dat",
    "dat": "x.dat",
    "fca-xml": "x.xml",
    "xml": "x.xml",
    "json": "x.json",
}
_OTHER = {"cex": "cex", "slf": "slf", "oal": "oal", "conexp-csv": "conexp-csv"}
FORMATS = sorted(set(_OWN) | set(_OTHER))


def _content(source: Source) -> Tuple[bytes, str]:
    """The bytes of a path or of a binary file object, and the file's name."""
    if hasattr(source, "read"):
        data = source.read()
        if not isinstance(data, bytes):
            raise TypeError(
                "source must be a path or a binary file object (opened with 'rb'), "
                f"not one that reads {type(data).__name__}"
            )
        return data, os.path.basename(str(getattr(source, "name", "upload")))
    if isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as f:
            return f.read(), os.path.basename(os.fspath(source))
    raise TypeError(f"source must be a path or a binary file object, not {type(source).__name__}")


def _format_of(name: str, content: bytes) -> Optional[str]:
    ext = os.path.splitext(name)[1].lower().lstrip(".")
    if ext in _OTHER:
        return ext
    if ext == "csv" and content.lstrip(b"\xef\xbb\xbf").startswith(b";"):
        return "conexp-csv"  # ConExp-NG's tables: ';' between cells, an empty first header cell
    return None


def read(source: Source, format: Optional[str] = None) -> "quorlan.Context":
    """A context from a path (str or path-like) or a binary file object. quorlan's five formats
    read as `quorlan.parse_context` reads the file's bytes and name; the files other tools write
    by their extension: ConExp's `.cex`, Galicia's `.slf`, object-attribute lists `.oal`, and
    ConExp-NG's `;`-separated CSV (a `.csv` whose first cell is empty). `format=` forces one of
    `FORMATS`. Errors are `ValueError`s worded as quorlan's ("parse error: ...")."""
    import quorlan

    if format is not None and (not isinstance(format, str) or format.lower() not in FORMATS):
        raise ValueError(f"format must be one of {', '.join(FORMATS)}; got {_checks.shown(format)}")
    content, name = _content(source)
    chosen = format.lower() if format is not None else _format_of(name, content)
    if chosen in _OTHER:
        ctx: "quorlan.Context" = native.read_other(content, _OTHER[chosen])
        return ctx
    return quorlan.parse_context(content, _OWN[chosen] if chosen is not None else name)


def _names(given: Optional[Sequence[Any]], count: int, prefix: str, name: str) -> List[str]:
    if given is None:
        return [f"{prefix}{k}" for k in range(count)]
    out = [str(x) for x in given]
    if len(out) != count:
        raise ValueError(
            f"{name} has {len(out)} names for {count} {'rows' if prefix == 'g' else 'columns'}"
        )
    return out


def _from_rows(
    objects: List[str], attributes: List[str], rows: "np.ndarray", cols: "np.ndarray"
) -> "quorlan.Context":
    starts = np.zeros(len(objects) + 1, dtype=np.uint64)
    np.cumsum(np.bincount(rows, minlength=len(objects)), out=starts[1:])
    ctx: "quorlan.Context" = native.context_from_rows(
        objects, attributes, np.ascontiguousarray(cols, dtype=np.uint32).tobytes(), starts.tobytes()
    )
    return ctx


def from_array(
    a: Any, objects: Optional[Sequence[Any]] = None, attributes: Optional[Sequence[Any]] = None
) -> "quorlan.Context":
    """A context from a 2-D numpy array of bools or of 0 and 1 (any integer or float dtype, the
    floats exactly 0.0 and 1.0), or from a scipy.sparse matrix (float ones too): row g is
    object g, column j attribute j. Names default to g0, g1, ... and m0, m1, ...; built
    natively from the nonzero cells, without a text round trip."""
    if hasattr(a, "tocsr") and hasattr(a, "nnz"):  # scipy.sparse, every format
        m = a.tocsr()
        m.sum_duplicates()
        m.sort_indices()
        values = np.asarray(m.data)
        _check_values(values, "the matrix")
        keep = values != 0
        n_rows, n_cols = m.shape
        rows = np.repeat(np.arange(n_rows), np.diff(m.indptr))[keep]
        cols = np.asarray(m.indices)[keep]
    else:
        arr = np.asarray(a)
        if arr.ndim != 2:
            raise ValueError(f"a must be a 2-D array, not one of {arr.ndim} dimensions")
        _check_values(arr, "a")
        n_rows, n_cols = arr.shape
        rows, cols = np.nonzero(arr)
    return _from_rows(
        _names(objects, n_rows, "g", "objects"),
        _names(attributes, n_cols, "m", "attributes"),
        rows,
        cols,
    )


def _check_values(values: "np.ndarray", name: str) -> None:
    if values.dtype == np.bool_:
        return
    floating = np.issubdtype(values.dtype, np.floating)
    if not (floating or np.issubdtype(values.dtype, np.integer)):
        raise ValueError(f"{name} must hold bools or the numbers 0 and 1, not {values.dtype}")
    if floating and np.isnan(values).any():
        raise ValueError(f"{name} must hold only 0 and 1; it holds NaN")
    if values.size and (
        values.min() < 0 or values.max() > 1 or (floating and ((values != 0) & (values != 1)).any())
    ):
        inside = values[(values != 0) & (values != 1)]
        raise ValueError(
            f"{name} must hold only 0 and 1; it holds {values.min()} to "
            f"{values.max()}" + (f", {inside.flat[0]} among them" if floating else "")
        )


def from_pandas(df: Any) -> "quorlan.Context":
    """A context from a DataFrame: its index names the objects, its columns the attributes (each
    name as `str` gives it). Columns of bools, of 0 and 1 (integers), or nullable booleans; any
    other column is a ValueError naming it and its dtype, a missing value one naming its row and
    column."""
    pd = _checks.optional_import("pandas", "from_pandas()")
    if not isinstance(df, pd.DataFrame):
        raise TypeError(f"df must be a pandas.DataFrame, not {type(df).__name__}")
    columns = []
    for k, name in enumerate(df.columns):
        column = df.iloc[:, k]
        dtype = column.dtype
        if not (pd.api.types.is_bool_dtype(dtype) or pd.api.types.is_integer_dtype(dtype)):
            raise ValueError(
                f"column {_checks.shown(name)} has dtype {dtype}: from_pandas takes bools or 0/1 "
                "integers (scale() turns other columns into attributes)"
            )
        missing = column.isna().to_numpy()
        if missing.any():
            row = df.index[int(np.flatnonzero(missing)[0])]
            raise ValueError(
                f"column {_checks.shown(name)} has a missing value in row {_checks.shown(row)}"
            )
        values = column.to_numpy(dtype=np.int64 if pd.api.types.is_integer_dtype(dtype) else bool)
        if values.dtype != np.bool_ and values.size and (values.min() < 0 or values.max() > 1):
            raise ValueError(f"column {_checks.shown(name)} holds integers other than 0 and 1")
        columns.append(values.astype(bool))
    matrix = np.column_stack(columns) if columns else np.zeros((len(df.index), 0), dtype=bool)
    return from_array(matrix, [str(x) for x in df.index], [str(x) for x in df.columns])


def names(ctx: "quorlan.Context") -> Tuple[List[str], List[str]]:
    """The context's object names and attribute names, in their order."""
    got: Tuple[List[str], List[str]] = native.names(_checks.context(ctx))
    return got


def incidence(ctx: "quorlan.Context") -> "np.ndarray":
    """The incidence as an n x m numpy array of bools."""
    ctx = _checks.context(ctx)
    return np.frombuffer(native.incidence(ctx), dtype=np.bool_).reshape(
        ctx.n_objects, ctx.n_attributes
    )


def to_pandas(ctx: "quorlan.Context") -> Any:
    """The context as a DataFrame of bools: index the objects, columns the attributes."""
    pd = _checks.optional_import("pandas", "to_pandas()")
    objects, attributes = names(ctx)
    return pd.DataFrame(incidence(ctx), index=pd.Index(objects), columns=pd.Index(attributes))
