"""The geometry of a quorlan_view document read back, and its promises checked on it: labels
apart from each other and from every circle, lines clear of every circle but their two ends.
Label boxes come from the metrics the views assume for their monospace font (0.62 em a
character, 1.25 for East Asian wide ones; ascent 0.93 em, descent 0.24 em, at 11 px)."""

import html
import math
import re
import unicodedata
from dataclasses import dataclass
from typing import Dict, List, Tuple

FONT = 11.0
CIRCLE = re.compile(
    r'<circle cx="(-?[\d.]+)" cy="(-?[\d.]+)" r="([\d.]+)" '
    r'data-concept="(\d+)"><title>([^<]*)</title></circle>'
)
TEXT = re.compile(
    r'<text x="(-?[\d.]+)" y="(-?[\d.]+)" class="(\w+)" data-concept="(\d+)">'
    r"([^<]*)<title>([^<]*)</title></text>"
)
LINE = re.compile(r'<line x1="(-?[\d.]+)" y1="(-?[\d.]+)" x2="(-?[\d.]+)" y2="(-?[\d.]+)" />')
POLYLINE = re.compile(r'<polyline points="([^"]*)" />')


def width(text):
    return FONT * sum(
        0 if unicodedata.combining(c) else 1.25 if unicodedata.east_asian_width(c) in "WF" else 0.62
        for c in text
    )


class Geometry:
    def __init__(self, svg):
        self.svg = svg
        self.circles = [
            (float(x), float(y), float(r), int(c), html.unescape(t))
            for x, y, r, c, t in CIRCLE.findall(svg)
        ]
        self.labels = []
        for x, y, kind, c, text, title in TEXT.findall(svg):
            text, x, y = html.unescape(text), float(x), float(y)
            w = width(text)
            box = (x - w / 2, y - 0.93 * FONT, x + w / 2, y + 0.24 * FONT)
            self.labels.append((box, kind, int(c), text, html.unescape(title)))
        self.lines = [
            [(float(a), float(b)), (float(c), float(d))] for a, b, c, d in LINE.findall(svg)
        ]
        self.lines += [
            [tuple(map(float, p.split(","))) for p in points.split()]
            for points in POLYLINE.findall(svg)
        ]

    def at(self, point):
        """The circle whose centre is the point."""
        found = [
            c
            for c in self.circles
            if math.isclose(c[0], point[0], abs_tol=0.051)
            and math.isclose(c[1], point[1], abs_tol=0.051)
        ]
        assert len(found) == 1, point
        return found[0]

    def problems(self):
        """Every broken promise, as a readable list."""
        out = []
        for i, (a, _, ca, ta, _) in enumerate(self.labels):
            for b, _, cb, tb, _ in self.labels[i + 1 :]:
                if a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]:
                    out.append(f"labels overlap: {ta!r} of {ca} and {tb!r} of {cb}")
            for x, y, r, c, _ in self.circles:
                nx, ny = min(max(x, a[0]), a[2]), min(max(y, a[1]), a[3])
                if math.hypot(x - nx, y - ny) < r:
                    out.append(f"label {ta!r} of {ca} covers circle {c}")
        for line in self.lines:
            ends = {self.at(line[0])[3], self.at(line[-1])[3]}
            if any(q[1] <= p[1] for p, q in zip(line, line[1:])):
                out.append(f"line {line} does not run downwards")
            for x, y, r, c, _ in self.circles:
                if c in ends:
                    continue
                if any(distance((x, y), p, q) < r - 0.06 for p, q in zip(line, line[1:])):
                    out.append(f"line {line[0]} -> {line[-1]} passes through circle {c}")
        return out


def distance(point, p, q):
    dx, dy = q[0] - p[0], q[1] - p[1]
    length2 = dx * dx + dy * dy
    t = (
        0
        if length2 == 0
        else max(0, min(1, ((point[0] - p[0]) * dx + (point[1] - p[1]) * dy) / length2))
    )
    return math.hypot(point[0] - p[0] - t * dx, point[1] - p[1] - t * dy)


# The module's own drawing read back from its SVG document (circle i is concept i, one line per
# cover): an oracle for the layers and covers quorlan_tools reports.
_CIRCLE = re.compile(r'<circle cx="(-?[0-9.]+)" cy="(-?[0-9.]+)" r="[0-9.]+" />')
_LINE = re.compile(r'<line x1="(-?[0-9.]+)" y1="(-?[0-9.]+)" x2="(-?[0-9.]+)" y2="(-?[0-9.]+)" />')


@dataclass
class Layered:
    """Concepts on layers: the layers top down, each a list of concept indices from left to
    right, and the covers as (upper, lower) pairs of concept indices."""

    layers: List[List[int]]
    covers: List[Tuple[int, int]]


def read_drawing(svg: str) -> Layered:
    """The layers, their order and the covers of a drawing by `Lattice.svg()`."""
    at: Dict[Tuple[str, str], int] = {}
    xs: List[float] = []
    ys: List[float] = []
    for i, m in enumerate(_CIRCLE.finditer(svg)):
        at[(m.group(1), m.group(2))] = i
        xs.append(float(m.group(1)))
        ys.append(float(m.group(2)))
    covers = [
        (at[(m.group(1), m.group(2))], at[(m.group(3), m.group(4))]) for m in _LINE.finditer(svg)
    ]
    level = {y: k for k, y in enumerate(sorted(set(ys)))}
    layers: List[List[int]] = [[] for _ in level]
    for i in sorted(range(len(xs)), key=lambda i: xs[i]):
        layers[level[ys[i]]].append(i)
    return Layered(layers, covers)
