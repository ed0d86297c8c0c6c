"""Concepts on layers, as a drawing orders them."""
from __future__ import annotations

from dataclasses import dataclass
from typing import List, Tuple


@dataclass
class Layered:
    """Concepts on layers: the layers top down, each a list of concept indices from left to
    right, and the covers as (upper, lower) pairs of concept indices."""

    layers: List[List[int]]
    covers: List[Tuple[int, int]]
