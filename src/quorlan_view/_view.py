"""Views of a lattice: labelled drawings of the whole or of a part, and their documents."""
from __future__ import annotations

import html
import math
import os
import zlib
from typing import TYPE_CHECKING, Dict, List, Mapping, Optional, Sequence, Set, Tuple, Union

import numpy as np

import quorlan_tools as qt
from quorlan_tools import _checks, _native

from ._arrange import Arrangement, Node, arrange
from ._drawing import Layered
from ._labels import FONT_SIZE, introduced, listed, shortened, text_width
from ._layered import layer_part

if TYPE_CHECKING:
    import quorlan
    from quorlan import _Concept as Concept

# Scaled down to the width of a narrower page, never wider than drawn.
_FIT = ' style="max-width:100%;height:auto"'
RADIUS = 6.0
STROKE = 1.5
FONT = "DejaVu Sans Mono, Menlo, Consolas, monospace"

# The whole lattice's concepts as a list, or a part's as a dict by index.
Concepts = Union[Sequence["Concept"], Mapping[int, "Concept"]]


class View:
    """A labelled drawing of a lattice or of part of one, made by `labelled` or `part`.

    Jupyter shows it through `_repr_html_` (or `_repr_svg_`), scaled down to the width of the
    output when it is wider. `svg()` gives the standalone document and `save(path)` writes it.
    """

    def __init__(self, body: str, width: float, height: float, concepts: int, labels: int):
        self._body = body
        self.width = width  #: the drawing's natural width, in pixels
        self.height = height  #: the drawing's natural height, in pixels
        self.n_concepts = concepts  #: how many concepts the view shows
        self.n_labels = labels  #: how many labels it writes

    def __repr__(self) -> str:
        return (f"View(concepts={self.n_concepts}, labels={self.n_labels}, "
                f"width={self.width:.0f}, height={self.height:.0f})")

    def svg(self) -> str:
        """The standalone SVG document."""
        return '<?xml version="1.0" encoding="UTF-8"?>\n' + self._body

    def _repr_svg_(self) -> str:
        return self.svg()

    def _repr_html_(self) -> str:
        # Fitted to the output's width; a drawing wider than a notebook's column gets a switch
        # (a check box, no script) between fitted and actual size, which then scrolls.
        fitted = '<div style="max-width:100%;overflow-x:auto">' + self._body + "</div>"
        if self.width <= 900:
            return '<div class="quorlan-view">' + fitted + "</div>"
        View._shown += 1  # ids unique in a page, and the same when a notebook is run again
        switch = f"quorlan-view-{zlib.crc32(self._body.encode()):08x}-{View._shown}"
        return ('<div class="quorlan-view">'
                f"<style>#{switch}:checked ~ div svg{{max-width:none!important}}</style>"
                f'<input type="checkbox" id="{switch}" style="vertical-align:middle">'
                f'<label for="{switch}" style="color:#666;font-size:0.85em"> actual size '
                f"({self.width:.0f} px)</label>" + fitted + "</div>")

    _shown = 0  # views shown with a size switch in this process, for unique ids

    def save(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the view to `path`: an SVG document for a name ending in .svg, a PNG image or
        a PDF document for .png or .pdf (these need the package cairosvg)."""
        suffix = os.path.splitext(os.fspath(path))[1].lower()
        if suffix == ".svg":
            with open(path, "w", encoding="utf-8") as f:
                f.write(self.svg())
            return
        if suffix not in (".png", ".pdf"):
            raise ValueError(f"cannot save a view as {suffix or 'a file without a suffix'}: "
                             "the name must end in .svg, .png or .pdf")
        try:
            import cairosvg  # type: ignore[import-untyped,import-not-found,unused-ignore]
        except ImportError as e:
            raise ImportError(f"saving a view as {suffix[1:].upper()} needs the package "
                              "cairosvg (pip install cairosvg); .svg needs nothing") from e
        write = cairosvg.svg2png if suffix == ".png" else cairosvg.svg2pdf
        # At its own size: cairosvg takes the fit to the page for a height of nothing.
        write(bytestring=self.svg().replace(_FIT, "", 1).encode(), write_to=os.fspath(path))


def _number(v: float) -> str:
    return f"{v:.1f}"


def _concept_title(concept: "Concept") -> str:
    extent, intent = concept["extent"], concept["intent"]
    return (f"{len(extent)} object{'' if len(extent) == 1 else 's'}: {listed(extent)}\n"
            f"{len(intent)} attribute{'' if len(intent) == 1 else 's'}: {listed(intent)}")


def _document(arranged: Arrangement, concepts: Concepts, full: Dict[Tuple[int, str], List[str]]) \
        -> Tuple[str, float, float]:
    left, top, right, bottom = arranged.box
    width, height = right - left, bottom - top
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="{_number(left)} {_number(top)} '
           f'{_number(width)} {_number(height)}" width="{_number(width)}" '
           f'height="{_number(height)}"{_FIT}>\n',
           f'  <g stroke="#444" stroke-width="{STROKE}" fill="none">\n']
    for line in arranged.lines:
        if len(line) == 2:
            (x1, y1), (x2, y2) = line
            out.append(f'    <line x1="{_number(x1)}" y1="{_number(y1)}" x2="{_number(x2)}" '
                       f'y2="{_number(y2)}" />\n')
        else:
            points = " ".join(f"{_number(x)},{_number(y)}" for x, y in line)
            out.append(f'    <polyline points="{points}" />\n')
    out.append(f'  </g>\n  <g fill="white" stroke="#222" stroke-width="{STROKE}">\n')
    for node in arranged.nodes:
        title = html.escape(_concept_title(concepts[node.concept]), quote=False)
        out.append(f'    <circle cx="{_number(node.x)}" cy="{_number(node.y)}" '
                   f'r="{_number(node.radius)}" data-concept="{node.concept}">'
                   f'<title>{title}</title></circle>\n')
    # Each label over a white halo of itself, which hides the lines behind it.
    out.append(f'  </g>\n  <g font-family="{FONT}" font-size="{FONT_SIZE:g}" '
               'text-anchor="middle">\n    <g fill="none" stroke="white" stroke-width="3" '
               'stroke-linejoin="round">\n')
    for label in arranged.labels:
        out.append(f'      <text x="{_number(label.x)}" y="{_number(label.baseline)}">'
                   f'{html.escape(label.text, quote=False)}</text>\n')
    out.append('    </g>\n    <g fill="#111">\n')
    for label in arranged.labels:
        node = arranged.nodes[label.node]
        names = full[(node.concept, label.kind)]
        title = html.escape(listed(names, separator="\n"), quote=False)  # a name a line
        out.append(f'      <text x="{_number(label.x)}" y="{_number(label.baseline)}" '
                   f'class="{label.kind}" data-concept="{node.concept}">'
                   f'{html.escape(label.text, quote=False)}<title>{title}</title></text>\n')
    out.append("    </g>\n  </g>\n</svg>\n")
    return "".join(out), width, height


def _view(concepts: Concepts, layered: Layered, lattice_covers: Sequence[Tuple[int, int]],
          sizes: bool) -> View:
    shown = [c for layer in layered.layers for c in layer]
    above, below = introduced(concepts, lattice_covers, shown)
    top = max((len(concepts[c]["extent"]) for c in shown), default=0)
    full: Dict[Tuple[int, str], List[str]] = {}
    layers: List[List[Node]] = []
    index: Dict[int, int] = {}
    for k, layer in enumerate(layered.layers):
        row = []
        for c in layer:
            radius = RADIUS
            if sizes:
                radius = 4.0 + 12.0 * math.sqrt(len(concepts[c]["extent"]) / max(top, 1))
            node = Node(c, k, radius)
            if above[c]:
                node.above = shortened(above[c])
                node.above_width = text_width(node.above)
                full[(c, "attribute")] = above[c]
            if below[c]:
                node.below = shortened(below[c])
                node.below_width = text_width(node.below)
                full[(c, "object")] = below[c]
            index[c] = len(index)
            row.append(node)
        layers.append(row)
    edges = [(index[u], index[v]) for u, v in layered.covers]
    arranged = arrange(layers, edges)
    body, width, height = _document(arranged, concepts, full)
    return View(body, width, height, len(shown), len(arranged.labels))


#: Past this many concepts, `labelled` refuses a lattice at once (a drawing of thousands of
#: concepts is unreadable, and slow to arrange): draw a part, or raise the limit.
MAX_CONCEPTS = 5000


def _check_size(count: int, limit: int, what: str) -> None:
    if count > _checks.integer(limit, "max_concepts"):
        raise ValueError(f"{what} has {count} concepts, more than max_concepts={limit}: draw "
                         "part of it with part(lattice, min_extent=...) or part(lattice, "
                         "around=...), or pass a larger max_concepts")


def labelled(lattice: "quorlan.Lattice", *, sizes: bool = False,
             max_concepts: int = MAX_CONCEPTS) -> View:
    """The lattice drawn as quorlan draws it (the same layers, the same order within each
    layer), with its reduced labelling: each attribute above the concept that introduces it,
    each object below the concept that introduces it. No two labels overlap, no label covers a
    circle, and no line passes through a circle other than its two ends. Every concept has a
    hover title; with sizes=True a circle's area follows the size of its extent. A lattice of
    more than `max_concepts` concepts is refused with a ValueError (see `part`)."""
    lat = _checks.lattice(lattice, "lattice")
    _check_size(lat.n_concepts, max_concepts, "the lattice")
    concepts = lat.concepts()
    covers = [(upper, lower) for lower, upper in qt.covers(lat).tolist()]
    return _view(concepts, Layered(qt.layout(lat).layers, covers), covers, sizes)


def part(lattice: "quorlan.Lattice", *, min_extent: Optional[int] = None,
         around: Optional[int] = None, depth: int = 1, sizes: bool = False,
         max_concepts: int = MAX_CONCEPTS) -> View:
    """Part of a large lattice: the iceberg of the concepts with at least `min_extent` objects,
    or the concepts at most `depth` covers away from the concept at index `around` (of
    `lattice.concepts()`). The part is drawn as the Hasse diagram of its own concepts: a line
    wherever one shown concept lies below another with no shown concept between them, so that
    comparable concepts are always joined by an upward path; it is laid out by the rules of
    quorlan's own drawing on the part alone, and labelled as an ordered set of its own (each
    shown concept's intent is the union of the attribute labels at it and above it, its extent
    that of the object labels at it and below it). The whole lattice is never drawn."""
    lat = _checks.lattice(lattice, "lattice")
    if (min_extent is None) == (around is None):
        raise TypeError("part() takes either min_extent or around, and one of them")
    for name, value in (("min_extent", min_extent), ("around", around), ("depth", depth)):
        if value is not None:
            _checks.integer(value, name)
    sizes_of = _native.extent_sizes(lat)
    if min_extent is not None:
        chosen = np.flatnonzero(sizes_of >= min_extent).tolist()
        if not chosen:
            raise ValueError(f"no concept has {min_extent} objects or more: the lattice's "
                             f"largest extent has {int(sizes_of.max())}")
    else:
        assert around is not None
        start = _checks.index(around, lat.n_concepts, "around")
        if depth < 0:
            raise ValueError(f"depth must be 0 or more; got {depth}")
        chosen = sorted(_within(lat, start, depth))
    _check_size(len(chosen), max_concepts, "the part")
    concepts = dict(zip(chosen, _native.concepts_at(lat, chosen)))
    pairs = _native.shown_covers(lat, chosen).tolist()
    covers = [(upper, lower) for lower, upper in pairs]
    return _view(concepts, layer_part(chosen, sizes_of.tolist(), covers), covers, sizes)


def _within(lattice: "quorlan.Lattice", start: int, depth: int) -> Set[int]:
    """The concepts at most `depth` covers away from `start`, up or down."""
    seen, frontier = {start}, [start]
    for _ in range(depth):
        found = [n for c in frontier
                 for n in qt.upper_covers(lattice, c) + qt.lower_covers(lattice, c)]
        frontier = [n for n in dict.fromkeys(found) if n not in seen]
        seen.update(frontier)
    return seen
