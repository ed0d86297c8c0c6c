"""Conceptual scaling: a many-valued DataFrame turned into a context."""

from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any, Dict, List, Mapping, Optional, Sequence

import numpy as np

from . import _checks
from ._data import _from_rows

if TYPE_CHECKING:
    import quorlan


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
    scalings = _scalings(
        df,
        {
            "nominal": list(nominal),
            "ordinal": list(ordinal or {}),
            "interordinal": list(interordinal or {}),
            "intervals": list(intervals or {}),
        },
    )
    out = _Pairs()
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
            out.add(str(col), np.where(present, values.fillna(False).to_numpy(dtype=bool), False))
        elif scaling == "nominal":
            # Codes in order of first appearance, -1 for a missing value.
            codes, uniques = pd.factorize(values)
            out.add_codes(codes, [f"{col}={v}" for v in uniques])
        else:
            given = {"ordinal": ordinal, "interordinal": interordinal, "intervals": intervals}
            for name, mask in _threshold_scale(scaling, col, values, present, given[scaling]):
                out.add(name, mask)
    return out.context([str(x) for x in df.index])


class _Pairs:
    """The incidence as (row, attribute) pairs, gathered column by column: a nominal column of a
    million distinct values costs its length, not its length times its values."""

    def __init__(self) -> None:
        self.attributes: List[str] = []
        self.rows: List["np.ndarray"] = []
        self.cols: List["np.ndarray"] = []

    def add(self, name: str, mask: "np.ndarray") -> None:
        """One attribute, of the rows where `mask` holds."""
        hit = np.flatnonzero(mask)
        self.rows.append(hit)
        self.cols.append(np.full(len(hit), len(self.attributes), dtype=np.int64))
        self.attributes.append(name)

    def add_codes(self, codes: "np.ndarray", names: List[str]) -> None:
        """One attribute per name, of the rows whose code is its index (none where it is -1)."""
        hit = np.flatnonzero(codes >= 0)
        self.rows.append(hit)
        self.cols.append(len(self.attributes) + codes[hit].astype(np.int64))
        self.attributes += names

    def context(self, objects: List[str]) -> "quorlan.Context":
        rows = np.concatenate(self.rows) if self.rows else np.zeros(0, dtype=np.int64)
        cols = np.concatenate(self.cols) if self.cols else np.zeros(0, dtype=np.int64)
        order = np.lexsort((cols, rows))
        return _from_rows(objects, self.attributes, rows[order], cols[order])


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


def _scalings(df: Any, named: Mapping[str, List[Any]]) -> Dict[Any, str]:
    """Each scaled column's kind of scaling, every column named once and present."""
    scalings: Dict[Any, str] = {}
    for kind, cols in named.items():
        for col in cols:
            if col not in df.columns:
                raise ValueError(f"{kind}: the DataFrame has no column {_checks.shown(col)}")
            if col in scalings:
                raise ValueError(
                    f"column {_checks.shown(col)} is scaled twice ({scalings[col]} and {kind})"
                )
            scalings[col] = kind
    return scalings
