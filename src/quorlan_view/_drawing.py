"""The drawing quorlan makes of a lattice, read back from its SVG document: circle i is concept
i, and there is one line per cover, from the upper concept to the lower one."""
from __future__ import annotations

import re
from dataclasses import dataclass
from typing import Dict, List, Tuple

_CIRCLE = re.compile(r'<circle cx="(-?[0-9.]+)" cy="(-?[0-9.]+)" r="[0-9.]+" />')
_LINE = re.compile(
    r'<line x1="(-?[0-9.]+)" y1="(-?[0-9.]+)" x2="(-?[0-9.]+)" y2="(-?[0-9.]+)" />')


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
    covers = [(at[(m.group(1), m.group(2))], at[(m.group(3), m.group(4))])
              for m in _LINE.finditer(svg)]
    level = {y: k for k, y in enumerate(sorted(set(ys)))}
    layers: List[List[int]] = [[] for _ in level]
    for i in sorted(range(len(xs)), key=lambda i: xs[i]):
        layers[level[ys[i]]].append(i)
    return Layered(layers, covers)
