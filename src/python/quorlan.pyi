"""Formal Concept Analysis: concepts, implication bases and lattice drawings from context files."""

import builtins
from typing import Final, TypedDict, final

__all__ = [
    "Context",
    "Lattice",
    "parse_context",
    "supported_algorithms",
    "compute_concepts",
    "compute_lattice",
    "compute_implications",
    "__version__",
]

__version__: Final[str]

class _Concept(TypedDict):
    extent: list[str]
    intent: list[str]

class _Implication(TypedDict):
    premise: list[str]
    conclusion: list[str]
    support: int
    confidence: float

@final
class Context:
    """Wraps a parsed `Context` so Python can hold it across calls."""

    @property
    def n_objects(self) -> int: ...
    @property
    def n_attributes(self) -> int: ...

@final
class Lattice:
    """Wraps a `Lattice` so Python can render it."""

    @property
    def n_concepts(self) -> int:
        """Number of concepts in the lattice."""
    def concepts(self) -> list[_Concept]:
        """Returns the lattice's concepts as a list of dicts."""
    def svg(self) -> str:
        """Renders the lattice as SVG and returns the string."""
    def _repr_svg_(self) -> str:
        """Jupyter SVG renderer."""
    def _repr_html_(self) -> str:
        """Jupyter HTML renderer. SVG inside a captioned div."""

def parse_context(bytes: builtins.bytes, filename: str = "upload.cxt") -> Context:
    """Parses raw bytes into a `Context`."""

def supported_algorithms() -> list[str]:
    """Returns the list of algorithm names accepted by `compute_concepts`."""

def compute_concepts(ctx: Context, algorithm: str = "next-closure") -> list[_Concept]:
    """Computes the concept lattice and returns concepts as a list of dicts."""

def compute_lattice(ctx: Context, algorithm: str = "next-closure") -> Lattice:
    """Computes the concept lattice and returns a `Lattice` object."""

def compute_implications(ctx: Context) -> list[_Implication]:
    """Computes the Duquenne-Guigues canonical implication base."""
