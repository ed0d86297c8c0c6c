"""The native part, _quorlan_tools, built with quorlan from the same sources, and the numpy views
of the arrays it returns."""

from __future__ import annotations

import importlib
from typing import TYPE_CHECKING, Any, List

import numpy as np

if TYPE_CHECKING:
    import quorlan
    from quorlan import _Concept as Concept

try:
    native: Any = importlib.import_module("_quorlan_tools")
except ImportError as e:  # pragma: no cover - a broken installation
    raise ImportError(
        "quorlan_tools needs its native module _quorlan_tools, installed with "
        "quorlan from the same wheel; reinstall quorlan"
    ) from e

PanicException: type = native.PanicException


def uint32(buffer: bytearray) -> "np.ndarray":
    return np.frombuffer(buffer, dtype=np.uint32)


def float64(buffer: bytearray) -> "np.ndarray":
    return np.frombuffer(buffer, dtype=np.float64)


def extent_sizes(lat: "quorlan.Lattice") -> "np.ndarray":
    """The number of objects of each concept, as a uint32 array."""
    return uint32(native.extent_sizes(lat))


def concepts_at(lat: "quorlan.Lattice", indices: List[int]) -> List["Concept"]:
    """The dicts of those concepts, as `Lattice.concepts()` gives them, in that order."""
    result: List["Concept"] = native.concepts_at(lat, indices)
    return result


def shown_covers(lat: "quorlan.Lattice", indices: List[int]) -> "np.ndarray":
    """The Hasse diagram of those concepts: (lower, upper) rows, uint32."""
    return uint32(native.shown_covers(lat, indices)).reshape(-1, 2)
