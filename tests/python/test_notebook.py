import json
import pathlib
import re

import pytest
from conftest import chromium, executed_notebook, headless

import quorlan

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent.parent / "examples"


def test_quickstart_notebook_shows_the_lattice():
    nb = executed_notebook(EXAMPLES / "quickstart.ipynb")
    last = nb.cells[-1].outputs
    data = [o["data"] for o in last if o.get("output_type") == "execute_result"]
    assert len(data) == 1
    assert data[0]["image/svg+xml"].startswith("<?xml")
    assert "Lattice \u2014 " in data[0]["text/html"] and " concepts</div>" in data[0]["text/html"]
    printed = "".join(o.get("text", "") for o in nb.cells[2].outputs)
    assert "square" in printed
    # The cell that presses the interrupt button half a second into a long computation.
    stopped = [
        o.get("text", "")
        for c in nb.cells
        if c.cell_type == "code"
        for o in c.outputs
        if "stopped after" in o.get("text", "")
    ]
    assert len(stopped) == 1
    assert 0.4 <= float(stopped[0].split()[2]) < 1.5, stopped


def test_html_fragment_drawn_by_a_browser(tmp_path):
    image = pytest.importorskip("PIL.Image")
    browser = chromium()
    ctx = quorlan.parse_context((EXAMPLES / "polygons.cxt").read_bytes(), "polygons.cxt")
    lattice = quorlan.compute_lattice(ctx, "fcbo")
    svg = lattice.svg()
    background = (255, 238, 204)
    page = headless.write_page(
        tmp_path,
        lattice._repr_html_()
        + "<script>const r=document.querySelector('svg').getBoundingClientRect();"
        "document.title=JSON.stringify([r.left,r.top]);</script>",
        style="body{margin:0;background:#ffeecc}svg{display:block}",
    )
    dom = headless.dump_dom(browser, page, 1400, 1000, timeout=120)
    left, top = json.loads(re.search(r"<title>(.*?)</title>", dom).group(1))
    shot = tmp_path / "shot.png"
    headless.screenshot(browser, page, shot, 1400, 1000)
    img = image.open(shot).convert("RGB")

    def drawn_near(x, y):
        return any(
            img.getpixel((round(left + x) + dx, round(top + y) + dy)) != background
            for dx in (-1, 0, 1)
            for dy in (-1, 0, 1)
        )

    circles = [
        (float(a), float(b)) for a, b in re.findall(r'<circle cx="([\d.]+)" cy="([\d.]+)"', svg)
    ]
    lines = re.findall(r'<line x1="([\d.]+)" y1="([\d.]+)" x2="([\d.]+)" y2="([\d.]+)"', svg)
    assert len(circles) == lattice.n_concepts and lines
    assert img.getpixel((2, 2)) == background
    for cx, cy in circles:
        assert drawn_near(cx, cy), (cx, cy)
    for x1, y1, x2, y2 in lines:
        # a quarter of the way along, clear of the circles at the ends
        x = float(x1) + (float(x2) - float(x1)) * 0.25
        y = float(y1) + (float(y2) - float(y1)) * 0.25
        assert drawn_near(x, y), (x, y)
