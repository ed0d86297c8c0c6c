"""The layout rules of quorlan's own drawing, applied to part of a lattice: layers by the longest
chain of covers up to a concept with no upper cover in the part, each layer first in concept
order, then 24 median sweeps, downward and upward in turn."""

from __future__ import annotations

from typing import Dict, List, Sequence, Tuple

from ._drawing import Layered

SWEEPS = 24


def _doubled_median_key(own: int, positions: List[int]) -> int:
    # Twice the key: the concept's own position when no neighbour lies in the fixed layer,
    # otherwise the median of the neighbours' positions (the mean of the middle two when even).
    if not positions:
        return 2 * own
    positions.sort()
    c = len(positions)
    if c % 2 == 1:
        return 2 * positions[c // 2]
    return positions[c // 2 - 1] + positions[c // 2]


def _reorder(layer: List[int], fixed: List[int], neighbours: Dict[int, List[int]]) -> List[int]:
    position = {c: i for i, c in enumerate(fixed)}
    keys = {}
    for i, v in enumerate(layer):
        found = [position[u] for u in neighbours.get(v, ()) if u in position]
        keys[v] = _doubled_median_key(i, found)
    return sorted(layer, key=keys.__getitem__)  # a stable sort: ties keep their order


def layer_part(
    nodes: Sequence[int], extent_size: Sequence[int], covers: Sequence[Tuple[int, int]]
) -> Layered:
    """Layers and order of the concepts `nodes` (indices into `extent_size`), joined by
    `covers`, (upper, lower) pairs of them, as quorlan lays out a whole lattice."""
    ordered = sorted(nodes)
    pairs = sorted((lower, upper) for upper, lower in covers)  # the module's cover order
    uppers: Dict[int, List[int]] = {}
    lowers: Dict[int, List[int]] = {}
    for lower, upper in pairs:
        uppers.setdefault(lower, []).append(upper)
        lowers.setdefault(upper, []).append(lower)
    layer_of: Dict[int, int] = {}
    # Every upper cover has a larger extent, so it is placed before the concepts below it.
    for c in sorted(ordered, key=lambda c: -extent_size[c]):
        layer_of[c] = 1 + max((layer_of[u] for u in uppers.get(c, ())), default=-1)
    layers: List[List[int]] = [[] for _ in range(1 + max(layer_of.values(), default=-1))]
    for c in ordered:
        layers[layer_of[c]].append(c)
    if len(layers) >= 2:
        for t in range(SWEEPS):
            if t % 2 == 0:
                for k in range(1, len(layers)):
                    layers[k] = _reorder(layers[k], layers[k - 1], uppers)
            else:
                for k in range(len(layers) - 2, -1, -1):
                    layers[k] = _reorder(layers[k], layers[k + 1], lowers)
    return Layered(layers, [(upper, lower) for lower, upper in pairs])
