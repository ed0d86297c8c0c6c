"""quorlan_tools: what goes beyond the module quorlan, as functions over its own `Context` and
`Lattice` objects.

Structure and navigation (`covers`, `upper_covers`, `lower_covers`, `up_set`, `down_set`,
`join`, `meet`, `top`, `bottom`, `concept_of`, `layout`, `to_networkx`, `to_dot`). A concept is
its index in `lattice.concepts()`. The native part is the extension module `_quorlan_tools`,
built with quorlan from the same sources and shipped in the same wheel.
"""
from ._native import PanicException
from ._structure import (Layout, bottom, concept_of, covers, down_set, join, layout,
                         lower_covers, meet, to_dot, to_networkx, top, up_set, upper_covers)

__all__ = [
    "Layout", "PanicException", "bottom", "concept_of", "covers", "down_set", "join", "layout",
    "lower_covers", "meet", "to_dot", "to_networkx", "top", "up_set", "upper_covers",
]
