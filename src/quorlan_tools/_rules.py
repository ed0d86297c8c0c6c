"""Association rules: the Luxenburger base over the lattice's covers."""

from __future__ import annotations

import math
import numbers
from typing import TYPE_CHECKING, Any, Dict, List

from . import _checks
from ._native import extent_sizes
from ._structure import covers

if TYPE_CHECKING:
    import quorlan


def association_rules(lat: "quorlan.Lattice", min_confidence: float = 0.0) -> List[Dict[str, Any]]:
    """The Luxenburger base (Luxenburger 1991): one rule per cover of the lattice, in the order
    of `covers(lat)`, premise the upper concept's intent, conclusion the lower one's (the full
    closure, as `compute_implications` gives its conclusions), support the lower extent's size
    and confidence the ratio of the two extents' sizes; those with confidence of at least
    `min_confidence`. On an iceberg these are the frequent rules. With the canonical base of
    `quorlan.compute_implications` (the exact rules) it is a base of every association rule."""
    lat = _checks.lattice(lat)
    if isinstance(min_confidence, bool) or not isinstance(min_confidence, numbers.Real):
        raise TypeError(f"min_confidence must be a float, not {type(min_confidence).__name__}")
    threshold = float(min_confidence)
    if math.isnan(threshold) or not 0.0 <= threshold <= 1.0:
        raise ValueError(f"min_confidence must be from 0.0 to 1.0; got {threshold!r}")
    pairs = covers(lat).tolist()
    if not pairs:
        return []
    sizes = extent_sizes(lat).tolist()
    concepts = lat.concepts()
    rules = []
    for lower, upper in pairs:
        confidence = sizes[lower] / sizes[upper] if sizes[upper] else 1.0
        if confidence >= threshold:
            rules.append(
                {
                    "premise": concepts[upper]["intent"],
                    "conclusion": concepts[lower]["intent"],
                    "support": sizes[lower],
                    "confidence": confidence,
                }
            )
    return rules
