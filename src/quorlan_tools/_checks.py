"""Argument checks shared by every public function: each names the argument it refuses."""

from __future__ import annotations

import math
import numbers
from typing import Any, List

import numpy as np

import quorlan


def lattice(value: Any, name: str = "lat") -> "quorlan.Lattice":
    if type(value) is not quorlan.Lattice:
        raise TypeError(f"{name} must be a quorlan.Lattice, not {type(value).__name__}")
    return value


def context(value: Any, name: str = "ctx") -> "quorlan.Context":
    if type(value) is not quorlan.Context:
        raise TypeError(f"{name} must be a quorlan.Context, not {type(value).__name__}")
    return value


def boolean(value: Any, name: str) -> bool:
    """A bool (numpy's too), never another value taken for its truth."""
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be a bool, not {type(value).__name__}")
    return bool(value)


def integer(value: Any, name: str) -> int:
    """An int (numpy's integers too), never a bool or a float."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    return int(value)


def index(value: Any, count: int, name: str = "i") -> int:
    """The index of one of `count` concepts."""
    i = integer(value, name)
    if not 0 <= i < count:
        last = f"from 0 to {count - 1}" if count else "and this lattice has none"
        raise ValueError(f"{name} must be the index of a concept, {last}; got {i}")
    return i


def fraction_or_count(value: Any, total: int, name: str) -> int:
    """A count from 0 to `total`, or a fraction in (0, 1] of it, rounded up."""
    if isinstance(value, bool) or not isinstance(value, (numbers.Integral, numbers.Real)):
        raise TypeError(f"{name} must be an int or a float, not {type(value).__name__}")
    if isinstance(value, numbers.Integral):
        count = int(value)
        if not 0 <= count <= total:
            raise ValueError(
                f"{name} must be a count from 0 to {total}, or a fraction in (0, 1]; got {count}"
            )
        return count
    v = float(value)
    if math.isnan(v) or not 0.0 < v <= 1.0:
        raise ValueError(
            f"{name} must be a fraction in (0, 1] or an int count from 0 to {total}; got {v!r}"
        )
    return min(total, math.ceil(v * total - 1e-9))


def names(value: Any, name: str) -> List[str]:
    """A list of names (a single str is refused: it is a sequence of characters)."""
    if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__"):
        raise TypeError(f"{name} must be a list of names, not {type(value).__name__}")
    out = list(value)
    for n in out:
        if not isinstance(n, str):
            raise TypeError(f"{name} must hold str names, not {type(n).__name__}")
    return out


def optional_import(package: str, purpose: str) -> Any:
    """The package, or an ImportError that names it and the pip line."""
    import importlib

    try:
        return importlib.import_module(package)
    except ImportError as e:
        raise ImportError(f"{purpose} needs the package {package} (pip install {package})") from e


def shown(value: Any, limit: int = 60) -> str:
    """`repr(value)` for a message, a long one cut to its start and its length, so that no
    message grows with what it names."""
    text = repr(value)
    if len(text) <= limit:
        return text
    size = f" ({len(value)} characters)" if isinstance(value, str) else ""
    return text[:limit] + "\u2026" + size
