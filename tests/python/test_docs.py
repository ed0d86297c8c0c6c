"""The documentation: its guide notebook runs, and each format page's example reads as the page
says."""
import pathlib
import re

import pytest

import quorlan
from conftest import executed_notebook

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
DOCS = ROOT / "docs"


def test_guide_notebook_runs_on_bob_ross():
    nb = executed_notebook(DOCS / "guide.ipynb")
    text = "".join(o.get("text", "") for c in nb.cells if c.cell_type == "code" for o in c.outputs)
    assert "3463 concepts" in text and "1340 implications" in text
    last = [o["data"] for o in nb.cells[-1].outputs if o.get("output_type") == "execute_result"]
    assert last[0]["image/svg+xml"].startswith("<?xml")
    assert "Lattice \u2014 12 concepts" in last[0]["text/html"]


# Each format page's first fenced example, read under a name of that format, and what the page
# says it gives.
@pytest.mark.parametrize("page, name, objects, attributes", [
    ("cxt.md", "e.cxt", ["o1", "o2"], [["a"], ["b"]]),
    ("csv.md", "e.csv", ["o1", "o2"], [["a"], ["a", "b"]]),
    ("fimi.md", "e.dat", ["g0", "g1"], [["m1", "m3"], ["m0", "m3"]]),
    ("fca-xml.md", "e.xml", ["o1"], [["b"]]),
    ("json.md", "e.json", ["o1", "o2"], [["a"], ["b"]]),
])
def test_format_page_examples(page, name, objects, attributes):
    text = (DOCS / "formats" / page).read_text()
    example = re.search(r"```\w*\n(.*?)```", text, re.S).group(1)
    ctx = quorlan.parse_context(example.encode(), name)
    concepts = quorlan.compute_concepts(ctx)
    assert concepts[0]["extent"] == objects
    # An object's own attributes: the largest intent among the concepts holding it.
    rows = [max((c["intent"] for c in concepts if o in c["extent"]), key=len) for o in objects]
    assert rows == attributes


def test_every_page_the_index_names_exists():
    links = re.findall(r"\]\(([^)#]+)\)", (DOCS / "index.md").read_text())
    assert len(links) >= 15
    for link in links:
        assert (DOCS / link).exists(), link


def test_example_context_in_the_customary_layout():
    # Header, a blank (name) line, the counts, a blank line, then the names: as other FCA
    # tools read it.
    lines = (ROOT / "examples" / "polygons.cxt").read_text().split("\n")
    assert lines[0] == "B" and lines[1] == "" and lines[2].isdigit() and lines[3].isdigit()
    assert lines[4] == "" and lines[5] == "square"


def test_stubs_name_exactly_the_module_surface():
    stub = (ROOT / "src" / "python" / "quorlan.pyi").read_text()
    declared = re.findall(r"^(?:def|class) (\w+)", stub, re.M)
    public = [n for n in declared if not n.startswith("_")]
    assert sorted(public + ["__version__"]) == sorted(quorlan.__all__)
