"""The documentation: its guide notebook runs, and each format page's example reads as the page
says."""

import json
import pathlib
import re

import pytest
from conftest import executed_notebook

import quorlan

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
DOCS = ROOT / "docs"


def guide_pictures(nb):
    return [
        o["data"]
        for c in nb.cells
        if c.cell_type == "code"
        for o in c.outputs
        if o.get("output_type") in ("execute_result", "display_data")
        and "image/svg+xml" in o["data"]
    ]


def test_guide_notebook_runs_on_bob_ross():
    nb = executed_notebook(DOCS / "guide.ipynb")
    text = "".join(o.get("text", "") for c in nb.cells if c.cell_type == "code" for o in c.outputs)
    assert "3463 concepts" in text and "1340 implications" in text
    assert "403 episodes, 67 features" in text and "3463 concepts in all" in text
    plain, labelled, iceberg = guide_pictures(nb)[-3:]
    assert "Lattice \u2014 12 concepts" in plain["text/html"]
    # The part's lattice with its names: a title per concept, every chosen feature written once;
    # then the whole lattice's iceberg of 60 episodes.
    assert labelled["image/svg+xml"].count("<circle") == plain["image/svg+xml"].count("<circle")
    assert labelled["image/svg+xml"].count("<circle") == 12
    features = re.findall(
        r'class="attribute" data-concept="\d+">[^<]*<title>([^<]*)</title>',
        labelled["image/svg+xml"],
    )
    written = [name for title in features for name in title.split("\n")]
    for feature in ["TREES", "MOUNTAIN", "LAKE", "CABIN", "GRASS", "CLOUDS"]:
        assert written.count(feature) == 1, (feature, written)
    assert iceberg["image/svg+xml"].count("<circle") == 99
    # The committed guide shows what it computes: its outputs are those of a run now.
    committed = json.loads((DOCS / "guide.ipynb").read_text(encoding="utf-8"))
    kept = [
        o["data"]
        for c in committed["cells"]
        if c["cell_type"] == "code"
        for o in c["outputs"]
        if "data" in o and "image/svg+xml" in o["data"]
    ]
    assert ["".join(p["image/svg+xml"]) for p in kept[-3:]] == [
        p["image/svg+xml"] for p in (plain, labelled, iceberg)
    ], "the committed guide is out of date: python scripts/build_docs.py"


# Each format page's first fenced example, read under a name of that format, and what the page
# says it gives.
@pytest.mark.parametrize(
    "page, name, objects, attributes",
    [
        ("cxt.md", "e.cxt", ["o1", "o2"], [["a"], ["b"]]),
        ("csv.md", "e.csv", ["o1", "o2"], [["a"], ["a", "b"]]),
        ("fimi.md", "e.dat", ["g0", "g1"], [["m1", "m3"], ["m0", "m3"]]),
        ("fca-xml.md", "e.xml", ["o1"], [["b"]]),
        ("json.md", "e.json", ["o1", "o2"], [["a"], ["b"]]),
    ],
)
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


# Every Python example of the README and the docs runs, and each result a comment shows (with
# "..." for what it leaves out) is what the code gives.
EXAMPLE_PAGES = ["README.md", *sorted(str(p.relative_to(ROOT)) for p in DOCS.rglob("*.md"))]
SHOWN = re.compile(r"^([\[{('\"\d-]|[A-Za-z_]\w*\()")


def examples(page):
    return re.findall(r"```python\n(.*?)```", (ROOT / page).read_text(), re.S)


@pytest.mark.parametrize("page", [p for p in EXAMPLE_PAGES if examples(p)])
def test_examples_print_what_their_comments_say(page, tmp_path, monkeypatch):
    import ast

    for name in ("examples", "docs"):
        (tmp_path / name).symlink_to(ROOT / name)
    monkeypatch.chdir(tmp_path)  # files the examples write land here
    namespace = {"quorlan": quorlan, "pathlib": pathlib}
    for block in examples(page):
        lines = block.splitlines()
        statements = ast.parse(block).body
        for k, node in enumerate(statements):
            # The comment after the statement, and the comment lines below it.
            comment = [lines[node.end_lineno - 1][node.end_col_offset :].strip()]
            stop = statements[k + 1].lineno - 1 if k + 1 < len(statements) else len(lines)
            comment += [x.strip() for x in lines[node.end_lineno : stop] if x.strip()]
            said = " ".join(c.lstrip("#").strip() for c in comment if c.startswith("#"))
            if not isinstance(node, ast.Expr):
                exec(compile(ast.Module([node], []), page, "exec"), namespace)
                continue
            value = eval(compile(ast.Expression(node.value), page, "eval"), namespace)
            if SHOWN.match(said):
                pattern = ".*".join(re.escape(part) for part in said.split("..."))
                assert re.fullmatch(pattern, repr(value), re.S), (page, said, repr(value)[:300])


def test_declared_licences_are_those_every_build_links():
    # What pyproject.toml declares goes into every wheel, a GCC build from the sdist's included:
    # the parser libraries' licences, not the zig runtime's, which the zig build adds to its own
    # wheels (scripts/wheel_licences.py, checked on them by the test command's wheel stage).
    import runpy

    licences = runpy.run_path(str(ROOT / "scripts" / "wheel_licences.py"))
    text = (ROOT / "pyproject.toml").read_text()
    declared = re.search(r"license-files = \[(.*?)\]", text, re.S).group(1)
    assert sorted(re.findall(r'"([^"]+)"', declared)) == sorted(licences["ALWAYS"].values())
    assert f'license = "{licences["EXPRESSION"]}"' in text
    assert "zig" not in declared
