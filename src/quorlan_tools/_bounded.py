"""Bounding the work on large data: iceberg lattices computed (not filtered) and counts."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Optional

from . import _checks
from ._native import native
from ._progress import Progress, finish, reporter

if TYPE_CHECKING:
    import quorlan


def _algorithm(value: Any) -> str:
    if not isinstance(value, str):
        raise TypeError(f"algorithm must be a str, not {type(value).__name__}")
    return value


def iceberg(
    ctx: "quorlan.Context",
    min_support: float,
    algorithm: str = "fcbo",
    *,
    max_concepts: Optional[int] = None,
    progress: Progress = False,
) -> "quorlan.Lattice":
    """The iceberg lattice: exactly the concepts whose extent has at least `min_support` objects
    (an int count, or a float in (0, 1]: that fraction of the objects, rounded up), in the order
    `algorithm` lists them in the whole lattice (the same list as `compute_concepts` filtered;
    the top is always in it). A `quorlan.Lattice`: `concepts()`, `svg()`, the notebook's
    display, quorlan_view and the structure functions all take it. The search cuts every branch
    whose extent falls below the support (Stumme et al. 2002), so its cost follows the iceberg,
    not the lattice. With `max_concepts`, a ValueError stops it as soon as it has found more.
    With `progress=True` a notebook shows the concepts found and the share of the search's first
    level done (a tqdm bar when tqdm is installed); a callable is called with those two."""
    ctx = _checks.context(ctx)
    support = _checks.fraction_or_count(min_support, ctx.n_objects, "min_support")
    limit = None if max_concepts is None else _checks.integer(max_concepts, "max_concepts")
    if limit is not None and limit < 0:
        raise ValueError(f"max_concepts must be 0 or more; got {limit}")
    report = reporter(progress)
    found = native.enumerate_bounded(ctx, _algorithm(algorithm), support, limit, False, report)
    finish(report, found.n_concepts if found is not None else (limit or 0) + 1)
    if found is None:
        raise ValueError(
            f"the iceberg at min_support={min_support!r} has more than "
            f"max_concepts={limit} concepts: the search stopped after finding "
            f"{limit + 1 if limit is not None else 0}; raise min_support or "
            "max_concepts"
        )
    lattice: "quorlan.Lattice" = found
    return lattice


def count_concepts(
    ctx: "quorlan.Context",
    min_support: float = 0,
    algorithm: str = "fcbo",
    *,
    progress: Progress = False,
) -> int:
    """How many concepts have at least `min_support` objects (a count, or a fraction in (0, 1]
    of the objects), found at the engine's speed without storing one: memory does not grow
    with the number of concepts. `count_concepts(ctx)` is the size of the whole lattice.
    `progress` as for `iceberg`."""
    ctx = _checks.context(ctx)
    support = _checks.fraction_or_count(min_support, ctx.n_objects, "min_support")
    report = reporter(progress)
    count: int = native.enumerate_bounded(ctx, _algorithm(algorithm), support, None, True, report)
    finish(report, count)
    return count
