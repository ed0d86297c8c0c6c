"""What a view is made of: concepts on layers, as a drawing orders them, and the drawing itself
with everything its documents need."""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING, Dict, List, Tuple

from ._arrange import Arrangement

if TYPE_CHECKING:
    import quorlan


@dataclass
class Layered:
    """Concepts on layers: the layers top down, each a list of concept indices from left to
    right, and the covers as (upper, lower) pairs of concept indices."""

    layers: List[List[int]]
    covers: List[Tuple[int, int]]


@dataclass
class Drawn:
    """A drawing placed and labelled. Nodes are the arrangement's, layer by layer from left to
    right; `edges[k]` is the (upper, lower) pair of nodes that line k joins."""

    lattice: "quorlan.Lattice"  # the lattice drawn, or of which a part is drawn
    arranged: Arrangement
    edges: List[Tuple[int, int]]
    titles: List[str]  # each node's hover title
    label_titles: Dict[Tuple[int, str], str]  # (node, "attribute" or "object"): a name a line
    objects: List[str]  # the context's object names
    attributes: List[str]  # and its attribute names
    object_labels: List[List[int]]  # each node's objects in the reduced labelling
    attribute_labels: List[List[int]]  # and its attributes, indices into the names
    label_mode: str  # "reduced", "full" or "none"
