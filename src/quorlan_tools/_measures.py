"""Measures of a concept's interest, as numpy arrays aligned with `lattice.concepts()`."""

from __future__ import annotations

from typing import TYPE_CHECKING

import numpy as np

from . import _checks
from ._native import extent_sizes, float64, native, uint32

if TYPE_CHECKING:
    import quorlan


def support(lat: "quorlan.Lattice") -> "np.ndarray":
    """Each concept's support: its extent's size over the number of objects (float64; 1.0 for
    a context without objects)."""
    lat = _checks.lattice(lat)
    sizes = extent_sizes(lat).astype(np.float64)
    objects = len(native.names(lat)[0])
    return sizes / objects if objects else np.ones_like(sizes)


def stability(lat: "quorlan.Lattice") -> "np.ndarray":
    """The intensional stability of each concept (Kuznetsov 2007): the fraction of the subsets
    of its extent whose derivation is its intent, exactly, by the recursion over the ideal
    (float64, to double precision). Quadratic in the concepts: about a second for 30,000; runs
    without the interpreter lock and stops on Ctrl-C. It needs every concept below each one, so
    an iceberg (a lattice without the bottom concept) is refused."""
    lat = _checks.lattice(lat)
    if lat.n_concepts and native.bottom(lat) is None:
        raise ValueError(
            "stability needs the whole lattice: this one is an iceberg (the "
            "concepts below its smallest ones are missing)"
        )
    return float64(native.stability(lat))


def delta_stability(lat: "quorlan.Lattice") -> "np.ndarray":
    """The Δ-measure of each concept (Buzmakov, Kuznetsov and Napoli 2014): its extent's size
    minus the largest extent among its lower covers, or its extent's size when it has none
    (int64). Computed from the context, so an iceberg's concepts get their values in the whole
    lattice."""
    lat = _checks.lattice(lat)
    return uint32(native.delta_stability(lat)).astype(np.int64)
