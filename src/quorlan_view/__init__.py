"""Readable pictures of quorlan's lattices in a notebook.

`labelled(lattice)` draws a lattice as quorlan does, with the names of its objects and
attributes written on it; `part(lattice, ...)` draws part of a large one (an iceberg, or the
concepts around one). Both return a `View`, which Jupyter shows fitted to the width of the
output, and which `save()` writes as SVG, as a TikZ picture for LaTeX (or as PNG or PDF with the
package cairosvg). `explore(view_or_lattice)` makes one interactive in the notebook: click a
concept to see its filter, ideal, extent and intent; search; walk with the keys; zoom. The
module is pure Python; the lattice's structure (covers, layers, neighbours, the parts' own
orders) comes from quorlan_tools.
"""

from ._explorer import Explorer, explore
from ._view import LABEL_MODES, MAX_CONCEPTS, View, labelled, part

__all__ = ["Explorer", "LABEL_MODES", "MAX_CONCEPTS", "View", "explore", "labelled", "part"]
