"""Views of a lattice: labelled drawings of the whole or of a part, and their documents."""

from __future__ import annotations

import math
import os
import zlib
from typing import TYPE_CHECKING, Dict, List, Mapping, Optional, Sequence, Set, Tuple, Union

import numpy as np

import quorlan_tools as qt
from quorlan_tools import _checks, _native

from ._arrange import Node, arrange
from ._drawing import Drawn, Layered
from ._labels import listed, shortened, text_width
from ._layered import layer_part
from ._writer import FIT, svg_body, tikz

if TYPE_CHECKING:
    import quorlan
    from quorlan import _Concept as Concept

RADIUS = 6.0
# With sizes=True, a circle's radius runs from SMALLEST (no object) to SMALLEST + GROWTH (the
# largest extent shown), its area following the size of the extent.
SMALLEST = 4.0
GROWTH = 12.0
# A drawing wider than this (about a notebook's column) gets a switch to its actual size.
COLUMN = 900
#: The label modes of `labelled`, `part` and `explore`.
LABEL_MODES = ("reduced", "full", "none")

# The whole lattice's concepts as a list, or a part's as a dict by index.
Concepts = Union[Sequence["Concept"], Mapping[int, "Concept"]]


class View:
    """A labelled drawing of a lattice or of part of one, made by `labelled` or `part`.

    Jupyter shows it through `_repr_html_` (or `_repr_svg_`), scaled down to the width of the
    output when it is wider. `svg()` gives the standalone document, `tikz()` the picture for a
    LaTeX paper, and `save(path)` writes either. `quorlan_view.explore(view)` makes it
    interactive.
    """

    def __init__(self, drawn: Drawn):
        self._drawn = drawn
        self._body = svg_body(drawn)
        left, top, right, bottom = drawn.arranged.box
        self.width = right - left  #: the drawing's natural width, in pixels
        self.height = bottom - top  #: the drawing's natural height, in pixels
        self.n_concepts = len(drawn.arranged.nodes)  #: how many concepts the view shows
        self.n_labels = len(drawn.arranged.labels)  #: how many labels it writes

    def __repr__(self) -> str:
        return (
            f"View(concepts={self.n_concepts}, labels={self.n_labels}, "
            f"width={self.width:.0f}, height={self.height:.0f})"
        )

    def svg(self) -> str:
        """The standalone SVG document."""
        return '<?xml version="1.0" encoding="UTF-8"?>\n' + self._body

    def tikz(self) -> str:
        """The drawing as a TikZ picture (`\\begin{tikzpicture}` ... `\\end{tikzpicture}`) with
        the same geometry, for `\\input` into a LaTeX document that loads the package tikz:
        one `\\draw` per line, one node per concept (named `c` and its index in
        `lattice.concepts()`), one node per label, names escaped for LaTeX. Labels are set in
        the document's typewriter font; names beyond Latin scripts need LuaLaTeX or XeLaTeX."""
        return tikz(self._drawn)

    def _repr_svg_(self) -> str:
        return self.svg()

    def _repr_html_(self) -> str:
        # Fitted to the output's width; a drawing wider than a notebook's column gets a switch
        # (a check box, no script) between fitted and actual size, which then scrolls.
        fitted = '<div style="max-width:100%;overflow-x:auto">' + self._body + "</div>"
        if self.width <= COLUMN:
            return '<div class="quorlan-view">' + fitted + "</div>"
        View._shown += 1  # ids unique in a page, and the same when a notebook is run again
        switch = f"quorlan-view-{zlib.crc32(self._body.encode()):08x}-{View._shown}"
        return (
            '<div class="quorlan-view">'
            f"<style>#{switch}:checked ~ div svg{{max-width:none!important}}</style>"
            f'<input type="checkbox" id="{switch}" style="vertical-align:middle">'
            f'<label for="{switch}" style="color:#666;font-size:0.85em"> actual size '
            f"({self.width:.0f} px)</label>" + fitted + "</div>"
        )

    _shown = 0  # views shown with a size switch in this process, for unique ids

    def save(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the view to `path`: an SVG document for a name ending in .svg, the TikZ
        picture for .tex, a PNG image or a PDF document for .png or .pdf (these need the
        package cairosvg)."""
        suffix = os.path.splitext(os.fspath(path))[1].lower()
        if suffix in (".svg", ".tex"):
            with open(path, "w", encoding="utf-8") as f:
                f.write(self.svg() if suffix == ".svg" else self.tikz())
            return
        if suffix not in (".png", ".pdf"):
            raise ValueError(
                f"cannot save a view as {suffix or 'a file without a suffix'}: "
                "the name must end in .svg, .tex, .png or .pdf"
            )
        try:
            import cairosvg  # type: ignore[import-untyped,import-not-found,unused-ignore]
        except ImportError as e:
            raise ImportError(
                f"saving a view as {suffix[1:].upper()} needs the package "
                "cairosvg (pip install cairosvg); .svg needs nothing"
            ) from e
        write = cairosvg.svg2png if suffix == ".png" else cairosvg.svg2pdf
        # At its own size: cairosvg takes the fit to the page for a height of nothing.
        write(bytestring=self.svg().replace(FIT, "", 1).encode(), write_to=os.fspath(path))


def _concept_title(concept: "Concept") -> str:
    extent, intent = concept["extent"], concept["intent"]
    return (
        f"{len(extent)} object{'' if len(extent) == 1 else 's'}: {listed(extent)}\n"
        f"{len(intent)} attribute{'' if len(intent) == 1 else 's'}: {listed(intent)}"
    )


def label_mode(value: object) -> str:
    if not isinstance(value, str):
        raise TypeError(f"labels must be a str, not {type(value).__name__}")
    if value not in LABEL_MODES:
        raise ValueError(f"labels must be 'reduced', 'full' or 'none'; got {_checks.shown(value)}")
    return value


def _radius(extent_size: int, largest: int) -> float:
    """A circle's radius when sizes are drawn: its area grows with the extent's size."""
    return SMALLEST + GROWTH * math.sqrt(extent_size / max(largest, 1))


def _label(
    node: Node,
    at: int,
    above: Sequence[str],
    below: Sequence[str],
    titles: Dict[Tuple[int, str], str],
) -> None:
    """The label texts of the node drawn `at`-th, shortened, and their widths; the whole lists
    as the labels' titles."""
    if above:
        node.above = shortened(above)
        node.above_width = text_width(node.above)
        titles[(at, "attribute")] = listed(above, separator="\n")
    if below:
        node.below = shortened(below)
        node.below_width = text_width(node.below)
        titles[(at, "object")] = listed(below, separator="\n")


def _view(
    lat: "quorlan.Lattice", concepts: Concepts, layered: Layered, sizes: bool, labels: str
) -> View:
    """The view of the concepts on `layered`, labelled as an ordered set of their own (ordered
    by `layered.covers`)."""
    shown = [c for layer in layered.layers for c in layer]
    flat = [x for upper, lower in layered.covers for x in (lower, upper)]
    object_labels, attribute_labels = _native.native.reduced_labels(lat, shown, flat)
    objects, attributes = _native.native.names(lat)
    top = max((len(concepts[c]["extent"]) for c in shown), default=0)
    label_titles: Dict[Tuple[int, str], str] = {}
    layers: List[List[Node]] = []
    index: Dict[int, int] = {}
    for k, layer in enumerate(layered.layers):
        row = []
        for c in layer:
            at = len(index)
            node = Node(c, k, _radius(len(concepts[c]["extent"]), top) if sizes else RADIUS)
            if labels == "reduced":
                above = [attributes[a] for a in attribute_labels[at]]
                below = [objects[o] for o in object_labels[at]]
            else:
                full = labels == "full"
                above = concepts[c]["intent"] if full else []
                below = concepts[c]["extent"] if full else []
            _label(node, at, above, below, label_titles)
            index[c] = at
            row.append(node)
        layers.append(row)
    edges = [(index[u], index[v]) for u, v in layered.covers]
    arranged = arrange(layers, edges)
    titles = [_concept_title(concepts[n.concept]) for n in arranged.nodes]
    return View(
        Drawn(
            lat,
            arranged,
            edges,
            titles,
            label_titles,
            objects,
            attributes,
            object_labels,
            attribute_labels,
            labels,
        )
    )


#: Past this many concepts, `labelled` refuses a lattice at once (a drawing of thousands of
#: concepts is unreadable, and slow to arrange): draw a part, or raise the limit.
MAX_CONCEPTS = 5000


def _check_size(count: int, limit: int, what: str) -> None:
    if count > _checks.integer(limit, "max_concepts"):
        raise ValueError(
            f"{what} has {count} concepts, more than max_concepts={limit}: draw "
            "part of it with part(lattice, min_extent=...) or part(lattice, "
            "around=...), or pass a larger max_concepts"
        )


def labelled(
    lattice: "quorlan.Lattice",
    *,
    sizes: bool = False,
    labels: str = "reduced",
    max_concepts: int = MAX_CONCEPTS,
) -> View:
    """The lattice drawn as quorlan draws it (the same layers, the same order within each
    layer), with its reduced labelling: each attribute above the concept that introduces it,
    each object below the concept that introduces it. No two labels overlap, no label covers a
    circle, and no line passes through a circle other than its two ends. Every concept has a
    hover title; with sizes=True a circle's area follows the size of its extent. With
    labels="full" every concept is labelled with its whole intent above it and its whole extent
    below it (each cut to a label's length with "+N", the whole in the label's hover title);
    labels="none" writes no label. A lattice of more than `max_concepts` concepts is refused
    with a ValueError (see `part`)."""
    lat = _checks.lattice(lattice, "lattice")
    mode, sizes = label_mode(labels), _checks.boolean(sizes, "sizes")
    _check_size(lat.n_concepts, max_concepts, "the lattice")
    concepts = lat.concepts()
    covers = [(upper, lower) for lower, upper in qt.covers(lat).tolist()]
    return _view(lat, concepts, Layered(qt.layout(lat).layers, covers), sizes, mode)


def part(
    lattice: "quorlan.Lattice",
    *,
    min_extent: Optional[int] = None,
    around: Optional[int] = None,
    depth: int = 1,
    sizes: bool = False,
    labels: str = "reduced",
    max_concepts: int = MAX_CONCEPTS,
) -> View:
    """Part of a large lattice: the iceberg of the concepts with at least `min_extent` objects,
    or the concepts at most `depth` covers away from the concept at index `around` (of
    `lattice.concepts()`). The part is drawn as the Hasse diagram of its own concepts: a line
    wherever one shown concept lies below another with no shown concept between them, so that
    comparable concepts are always joined by an upward path; it is laid out by the rules of
    quorlan's own drawing on the part alone, and labelled as an ordered set of its own (each
    shown concept's intent is the union of the attribute labels at it and above it, its extent
    that of the object labels at it and below it); `sizes` and `labels` as for `labelled`. The
    whole lattice is never drawn."""
    lat = _checks.lattice(lattice, "lattice")
    mode, sizes = label_mode(labels), _checks.boolean(sizes, "sizes")
    if (min_extent is None) == (around is None):
        raise TypeError("part() takes either min_extent or around, and one of them")
    for name, value in (("min_extent", min_extent), ("around", around), ("depth", depth)):
        if value is not None:
            _checks.integer(value, name)
    sizes_of = _native.extent_sizes(lat)
    if min_extent is not None:
        if min_extent < 0:
            raise ValueError(f"min_extent must be 0 or more; got {min_extent}")
        chosen = np.flatnonzero(sizes_of >= min_extent).tolist()
        if not chosen:
            raise ValueError(
                f"no concept has {min_extent} objects or more: the lattice's "
                f"largest extent has {int(sizes_of.max())}"
            )
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
    return _view(lat, concepts, layer_part(chosen, sizes_of.tolist(), covers), sizes, mode)


def _within(lattice: "quorlan.Lattice", start: int, depth: int) -> Set[int]:
    """The concepts at most `depth` covers away from `start`, up or down."""
    seen, frontier = {start}, [start]
    for _ in range(depth):
        if not frontier:  # nothing further: a depth beyond the lattice costs nothing
            break
        found = [
            n for c in frontier for n in qt.upper_covers(lattice, c) + qt.lower_covers(lattice, c)
        ]
        frontier = [n for n in dict.fromkeys(found) if n not in seen]
        seen.update(frontier)
    return seen
