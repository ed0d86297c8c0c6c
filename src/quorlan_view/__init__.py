"""Readable pictures of quorlan's lattices in a notebook.

`labelled(lattice)` draws a lattice as quorlan does, with the names of its objects and
attributes written on it; `part(lattice, ...)` draws part of a large one (an iceberg, or the
concepts around one). Both return a `View`, which Jupyter shows fitted to the width of the
output, and which `save()` writes as SVG (or as PNG or PDF with the package cairosvg). The
module is pure Python; the lattice's structure (covers, layers, neighbours, the parts' own
orders) comes from quorlan_tools.
"""
from ._view import MAX_CONCEPTS, View, labelled, part

__all__ = ["MAX_CONCEPTS", "View", "labelled", "part"]
