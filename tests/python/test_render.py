import pathlib

import pytest
from conftest import cxt

import quorlan

GOLDEN = pathlib.Path(__file__).resolve().parent.parent / "data" / "golden"
PREFIX = (
    '<div class="quorlan-lattice"><div style="color:#666;font-size:0.85em;'
    'margin-bottom:0.25em;">Lattice \u2014 '
)


def lattice(objects, attributes, rows, algorithm="next-closure"):
    return quorlan.compute_lattice(quorlan.parse_context(cxt(objects, attributes, rows)), algorithm)


def test_lattice_class_surface():
    L = quorlan.Lattice
    assert L.__doc__ == (
        "Wraps a `Lattice` so Python can render it.\n\nCarries the originating "
        "context alongside the lattice so attribute\nand object names can be "
        "projected into the rendered output and dict\nviews."
    )
    assert (L.__module__, L.__qualname__, L.__bases__) == ("quorlan", "Lattice", (object,))
    assert L.n_concepts.__doc__ == "Number of concepts in the lattice."
    for name in ("concepts", "_repr_svg_", "_repr_html_", "svg"):
        assert getattr(L, name).__text_signature__ == "($self)"
    assert L.svg.__doc__ == (
        "Renders the lattice as SVG and returns the string.\n\nEquivalent to "
        "`_repr_svg_` but callable explicitly. Useful for\nscripts that want "
        "to save the SVG to disk."
    )
    assert L._repr_svg_.__doc__ == (
        "Jupyter SVG renderer. Called automatically when this object "
        "is\nthe last expression in a notebook cell."
    )
    assert L._repr_html_.__doc__ == "Jupyter HTML renderer. SVG inside a captioned div."
    assert L.concepts.__doc__ == "Returns the lattice's concepts as a list of dicts."
    with pytest.raises(TypeError, match="^No constructor defined for Lattice$"):
        L()
    with pytest.raises(TypeError):

        class Sub(L):
            pass

    lat = lattice(["o1", "o2"], ["a", "b"], ["X.", ".X"])
    with pytest.raises(AttributeError):
        lat.n_concepts = 2
    with pytest.raises(AttributeError):
        lat.extra = 1


def test_diamond_matches_golden_and_html_fragment():
    lat = lattice(["o1", "o2"], ["a", "b"], ["X.", ".X"])
    assert repr(lat) == "Lattice(concepts=4)" and lat.n_concepts == 4 and len(lat.concepts()) == 4
    before = lat.concepts()
    svg = lat.svg()
    assert svg == (GOLDEN / "diamond.svg").read_text()
    assert lat._repr_svg_() == svg and lat.svg() == svg
    html = lat._repr_html_()
    assert html == PREFIX + "4" + " concepts</div>" + svg + "</div>"
    # The caption's dash is the one character U+2014, so the count starts at byte 104.
    assert html.encode().index(b"4 concepts") == 104
    assert lat.concepts() == before


def test_single_concept_document():
    lat = quorlan.compute_lattice(quorlan.parse_context(b"B\n0\n0\n"))
    assert repr(lat) == "Lattice(concepts=1)"
    assert lat.svg() == (GOLDEN / "one.svg").read_text()
    assert "Lattice \u2014 1 concepts</div>" in lat._repr_html_()


def test_svg_is_independent_of_algorithm_order_only_through_indices():
    rows = ["XX.", "X.X", ".XX", "X.."]
    for algo in ("next-closure", "fcbo", "in-close-5"):
        lat = lattice(["p", "q", "r", "s"], ["a", "b", "c"], rows, algo)
        svg = lat.svg()
        assert svg.count("<circle") == lat.n_concepts
        assert svg.endswith("</svg>\n") and "\r" not in svg
