"""Where everything of a view goes. The layers and the order within each layer are given; the
nodes of a layer are spaced so that the labels written above them and those below them keep
apart, the layers so that no label meets a label or a circle of the next layer, and every line
that would pass through a circle other than its two ends is bent around the circles instead.

Labels stand centred over (attributes) or under (objects) their circles, on one line per layer
side, so within a layer only neighbours' labels can meet, and between two layers only what
hangs below the upper one and what stands above the lower one. A line runs straight where it
is clear of every other circle; otherwise it leaves its upper circle steeply into the gap below
that layer, crosses each layer on its way through a free place between two circles, and enters
its lower circle steeply from the gap above it. The gaps between layers hold no circle, so the
parts of the line inside them are clear too."""

from __future__ import annotations

import bisect
import math
from dataclasses import dataclass
from typing import List, Sequence, Set, Tuple

from ._labels import ASCENT, DESCENT, HEIGHT

Point = Tuple[float, float]

NODE_GAP = 30.0  # the least distance between neighbours in a layer, centre to centre
LAYER_GAP = 80.0  # the least distance between layers, as in quorlan's own drawing
LABEL_PAD = 12.0  # the least room between two labels, or a label and a circle
LABEL_GAP = 3.0  # from a circle to its own label
CLEARANCE = 3.0  # the least room between a line and a circle it does not end at
MARGIN = 8.0  # around everything drawn
# A bent line keeps this far from the circles of a layer it crosses, and leaves or enters its
# own circles this far into the gap between layers: its clearance and 2 more, so that its
# corners are clear too.
PASSING = CLEARANCE + 2
# A line crossing a layer between two circles passes this far from each of them at least.
CROSSING = CLEARANCE + 1
# Between two neighbours in a layer, besides their circles and the passing room on each side:
# room for the line itself.
LINE_ROOM = 2.0
# Between two layers, besides their circles: room for a line leaving one and entering the other.
LAYER_ROOM = 2 * (CLEARANCE + 4)


@dataclass
class Node:
    concept: int
    layer: int
    radius: float
    above: str = ""  # the attribute label, as written
    below: str = ""  # the object label, as written
    above_width: float = 0.0
    below_width: float = 0.0
    x: float = 0.0
    y: float = 0.0


@dataclass
class Label:
    text: str
    x: float  # the middle of its box
    baseline: float
    width: float
    node: int  # index into the nodes
    kind: str  # "attribute" or "object"

    @property
    def box(self) -> Tuple[float, float, float, float]:
        return (
            self.x - self.width / 2,
            self.baseline - ASCENT,
            self.x + self.width / 2,
            self.baseline + DESCENT,
        )


@dataclass
class Arrangement:
    nodes: List[Node]
    lines: List[List[Point]]  # per edge, its points from upper to lower
    labels: List[Label]
    box: Tuple[float, float, float, float]  # left, top, right, bottom of everything drawn


def _space_layer(nodes: Sequence[Node]) -> None:
    """x for the nodes of one layer, left to right: each neighbour as far as its circle, a line
    between them and both pairs of labels need, the layer centred on 0."""
    x = 0.0
    for k, node in enumerate(nodes):
        if k > 0:
            left = nodes[k - 1]
            gap = max(NODE_GAP, left.radius + node.radius + 2 * PASSING + LINE_ROOM)
            if left.above_width or node.above_width:
                gap = max(gap, (left.above_width + node.above_width) / 2 + LABEL_PAD)
            if left.below_width or node.below_width:
                gap = max(gap, (left.below_width + node.below_width) / 2 + LABEL_PAD)
            x += gap
        node.x = x
    shift = x / 2
    for node in nodes:
        node.x -= shift


def _hanging(nodes: Sequence[Node], reach: float, below: bool) -> List[Tuple[float, float, float]]:
    """What a layer puts into the gap below it (below=True) or above it: (left, right, depth)
    for each circle and label, depth measured from the layer's line."""
    out = []
    for node in nodes:
        out.append((node.x - node.radius, node.x + node.radius, node.radius))
        width = node.below_width if below else node.above_width
        if width:
            out.append((node.x - width / 2, node.x + width / 2, reach + LABEL_GAP + HEIGHT))
    return out


def _layer_gap(upper: Sequence[Node], lower: Sequence[Node]) -> float:
    reach_up = max(n.radius for n in upper)
    reach_down = max(n.radius for n in lower)
    need = max(LAYER_GAP, reach_up + reach_down + LAYER_ROOM)
    hanging = sorted(_hanging(upper, reach_up, below=True))
    standing = _hanging(lower, reach_down, below=False)
    if not hanging or not standing:
        return need
    widest = max(r - left for left, r, _ in hanging)
    lefts = [left for left, _, _ in hanging]
    for left, right, depth in standing:
        k = bisect.bisect_left(lefts, left - widest - LABEL_PAD)
        while k < len(hanging) and hanging[k][0] < right + LABEL_PAD:
            h_left, h_right, h_depth = hanging[k]
            if h_right + LABEL_PAD > left:
                need = max(need, h_depth + depth + LABEL_PAD)
            k += 1
    return need


class _Circles:
    """The circles layer by layer, for finding those a segment comes near."""

    def __init__(self, layers: Sequence[Sequence[Node]], layer_y: Sequence[float]):
        self.y = list(layer_y)
        self.reach = [max(n.radius for n in layer) for layer in layers]
        self.xs = [[n.x for n in layer] for layer in layers]
        self.widest = max(self.reach)
        self.nodes = layers

    def clear(self, p: Point, q: Point, ends: Set[int]) -> bool:
        """Whether the segment p-q keeps its clearance from every circle but those whose ids
        are in `ends`. Only the circles of the layers whose band the segment enters are looked
        at, those within reach of the part of the segment inside the band; the first circle too
        near ends the search."""
        y_top, y_bottom = min(p[1], q[1]), max(p[1], q[1])
        dx, dy = q[0] - p[0], q[1] - p[1]
        length2 = dx * dx + dy * dy
        first = bisect.bisect_left(self.y, y_top - self.widest - CLEARANCE)
        for k in range(first, len(self.y)):
            band = self.reach[k] + CLEARANCE
            if self.y[k] - band > y_bottom:
                break
            lo_y, hi_y = max(y_top, self.y[k] - band), min(y_bottom, self.y[k] + band)
            if lo_y > hi_y:
                continue
            if dy == 0:
                x_lo, x_hi = min(p[0], q[0]), max(p[0], q[0])
            else:
                xa = p[0] + dx * (lo_y - p[1]) / dy
                xb = p[0] + dx * (hi_y - p[1]) / dy
                x_lo, x_hi = min(xa, xb), max(xa, xb)
            xs, layer = self.xs[k], self.nodes[k]
            for i in range(
                bisect.bisect_left(xs, x_lo - band), bisect.bisect_right(xs, x_hi + band)
            ):
                w = layer[i]
                if id(w) in ends:
                    continue
                t = (
                    0.0
                    if length2 == 0
                    else max(0.0, min(1.0, ((w.x - p[0]) * dx + (w.y - p[1]) * dy) / length2))
                )
                if math.hypot(w.x - (p[0] + t * dx), w.y - (p[1] + t * dy)) < w.radius + CLEARANCE:
                    return False
        return True

    def free_x(self, k: int, x: float) -> float:
        """The place nearest to x on layer k where a vertical line keeps clear of every circle
        of the layer."""
        # Each circle blocks (n.x - n.radius - CROSSING, n.x + n.radius + CROSSING);
        # neighbours are spaced so that these never join, so at most one holds x.
        xs, reach = self.xs[k], self.reach[k] + CROSSING
        for i in range(bisect.bisect_left(xs, x - reach), bisect.bisect_right(xs, x + reach)):
            n = self.nodes[k][i]
            left, right = n.x - n.radius - CROSSING, n.x + n.radius + CROSSING
            if left < x < right:
                return left if x - left <= right - x else right
        return x


def _steep(end: Node, dx: float, dy: float, sign: float, circles: _Circles) -> Point:
    """Where a bent line leaves `end` into the gap below its layer (sign 1) or enters it from
    the gap above (sign -1): along the line (dx, dy), or more steeply where that passes a
    neighbour; straight down is always clear."""
    p = (end.x, end.y)
    depth = circles.reach[end.layer] + PASSING
    point = p
    for f in (1.0, 0.5, 0.25, 0.0):
        point = (p[0] + sign * dx * depth / dy * f, p[1] + sign * depth)
        if circles.clear(*((p, point) if sign > 0 else (point, p)), {id(end)}):  # top first
            break
    return point


def _route(u: Node, v: Node, circles: _Circles) -> List[Point]:
    p, q = (u.x, u.y), (v.x, v.y)
    if circles.clear(p, q, {id(u), id(v)}):
        return [p, q]
    dx, dy = q[0] - p[0], q[1] - p[1]
    points = [p, _steep(u, dx, dy, 1.0, circles)]
    for k in range(u.layer + 1, v.layer):
        y = circles.y[k]
        x = circles.free_x(k, p[0] + dx * (y - p[1]) / dy)
        reach = circles.reach[k] + PASSING
        points += [(x, y - reach), (x, y + reach)]
    points += [_steep(v, dx, dy, -1.0, circles), q]
    return _pulled(points, circles, {id(u), id(v)})


def _pulled(points: List[Point], circles: _Circles, ends: Set[int]) -> List[Point]:
    """The route with the corners left out that it does not need: from each point kept, on to
    the farthest later point that a straight segment reaches in the clear."""
    out = [points[0]]
    i = 0
    while i < len(points) - 1:
        j = len(points) - 1
        while j > i + 1 and not circles.clear(points[i], points[j], ends):
            j -= 1
        out.append(points[j])
        i = j
    return out


def _labels_of(node: Node, index: int, reach: float) -> List[Label]:
    """The node's labels: its attributes above the circles of its layer (whose largest radius
    is `reach`), its objects below."""
    out = []
    if node.above:
        y = node.y - reach - LABEL_GAP - DESCENT
        out.append(Label(node.above, node.x, y, node.above_width, index, "attribute"))
    if node.below:
        y = node.y + reach + LABEL_GAP + ASCENT
        out.append(Label(node.below, node.x, y, node.below_width, index, "object"))
    return out


def _extent(
    nodes: Sequence[Node], labels: Sequence[Label], lines: Sequence[Sequence[Point]]
) -> Tuple[float, float, float, float]:
    """Left, top, right and bottom of everything drawn: circles, labels and lines' bends."""
    left = min([n.x - n.radius for n in nodes] + [label.box[0] for label in labels])
    right = max([n.x + n.radius for n in nodes] + [label.box[2] for label in labels])
    top = min([n.y - n.radius for n in nodes] + [label.box[1] for label in labels])
    bottom = max([n.y + n.radius for n in nodes] + [label.box[3] for label in labels])
    for line in lines:
        for x, _ in line:
            left, right = min(left, x), max(right, x)
    return left, top, right, bottom


def arrange(layers: Sequence[Sequence[Node]], edges: Sequence[Tuple[int, int]]) -> Arrangement:
    """Places the nodes (given layer by layer, left to right), their labels and the lines of
    `edges`, (upper, lower) indices into the nodes taken layer by layer."""
    for layer in layers:
        _space_layer(layer)
    layer_y = [0.0]
    for k in range(1, len(layers)):
        layer_y.append(layer_y[-1] + _layer_gap(layers[k - 1], layers[k]))
    nodes: List[Node] = []
    labels: List[Label] = []
    for k, layer in enumerate(layers):
        reach = max(n.radius for n in layer)
        for node in layer:
            node.y = layer_y[k]
            labels += _labels_of(node, len(nodes), reach)
            nodes.append(node)
    circles = _Circles(layers, layer_y)
    lines = [_route(nodes[u], nodes[v], circles) for u, v in edges]
    left, top, right, bottom = _extent(nodes, labels, lines)
    return Arrangement(
        nodes, lines, labels, (left - MARGIN, top - MARGIN, right + MARGIN, bottom + MARGIN)
    )
