"""quorlan_view: its pictures keep their promises (checked on the rendered geometry), they are
labelled as the reduced labelling says, parts are laid out by the module's own rules, and a
View shows, saves and refuses as documented."""

import importlib.util
import pathlib
import sys

import pytest
from conftest import DATA, chromium, contexts, cxt, headless
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from view_geometry import Geometry, distance, read_drawing

import quorlan
import quorlan_view
from quorlan_view._labels import LABEL_WIDTH, shortened, text_width
from quorlan_view._layered import layer_part

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent


def lattice_of(path):
    return quorlan.compute_lattice(quorlan.parse_context(path.read_bytes(), path.name))


CLASSIC = {
    "polygons": ROOT / "examples" / "polygons.cxt",
    "animals": DATA / "cxt" / "animals_en.cxt",
    "music": DATA / "cxt" / "music_en.cxt",
}


def expected_labels(lattice, shown):
    """The labelling of the shown concepts as an ordered set of their own, by its definition:
    each attribute at every shown concept whose intent holds it and no shown concept above it
    does, each object at every shown concept whose extent holds it and none below it does. For
    the whole lattice this is the reduced labelling."""
    concepts = lattice.concepts()
    extents = {i: set(concepts[i]["extent"]) for i in shown}
    intents = {i: set(concepts[i]["intent"]) for i in shown}
    out = {}
    for c in shown:
        above = [d for d in shown if extents[d] > extents[c]]
        below = [d for d in shown if extents[d] < extents[c]]
        attributes = [a for a in concepts[c]["intent"] if not any(a in intents[d] for d in above)]
        objects = [o for o in concepts[c]["extent"] if not any(o in extents[d] for d in below)]
        for kind, names in (("attribute", attributes), ("object", objects)):
            if len(names) > 40:  # a title lists the first 40 and how many more
                names = names[:40] + [f"\u2026 (+{len(names) - 40})"]
            if names:
                out[(c, kind)] = names
    return out


def hasse(lattice, shown):
    """(upper, lower) pairs of shown concepts with no shown concept between them."""
    extents = {i: set(lattice.concepts()[i]["extent"]) for i in shown}
    return {
        (u, v)
        for u in shown
        for v in shown
        if extents[v] < extents[u] and not any(extents[v] < extents[w] < extents[u] for w in shown)
    }


def drawn_lines(g):
    return {(g.at(line[0])[3], g.at(line[-1])[3]) for line in g.lines}


def written_labels(geometry):
    return {(c, kind): title.split("\n") for _, kind, c, _, title in geometry.labels}


def check(view, lattice, shown):
    g = Geometry(view.svg())
    assert g.problems() == []
    assert sorted(c for *_, c, _ in g.circles) == sorted(shown)
    assert written_labels(g) == expected_labels(lattice, set(shown))
    # A hover title per concept with both sizes, and a fit to the output's width.
    concepts = lattice.concepts()
    for *_, c, title in g.circles:
        n, m = len(concepts[c]["extent"]), len(concepts[c]["intent"])
        assert title.startswith(f"{n} object") and f"\n{m} attribute" in title
    assert 'style="max-width:100%;height:auto"' in g.svg
    return g


@pytest.mark.parametrize("name", sorted(CLASSIC))
@pytest.mark.parametrize("sizes", [False, True])
def test_classic_lattices_labelled(name, sizes):
    lattice = lattice_of(CLASSIC[name])
    view = quorlan_view.labelled(lattice, sizes=sizes)
    g = check(view, lattice, range(lattice.n_concepts))
    # The module's layers and the order within each layer are kept.
    module = read_drawing(lattice.svg())
    y = {c: cy for _, cy, _, c, _ in g.circles}
    x = {c: cx for cx, _, _, c, _ in g.circles}
    for layer, below in zip(module.layers, module.layers[1:]):
        assert len({y[c] for c in layer}) == 1 and y[layer[0]] < y[below[0]]
    for layer in module.layers:
        assert [x[c] for c in layer] == sorted(x[c] for c in layer)
    assert view.n_labels == len(g.labels) > 0


def test_bob_ross_iceberg():
    lattice = lattice_of(ROOT / "docs" / "data" / "bob-ross.cxt")
    view = quorlan_view.part(lattice, min_extent=60)
    shown = [i for i, c in enumerate(lattice.concepts()) if len(c["extent"]) >= 60]
    assert view.n_concepts == len(shown) == 99
    g = check(view, lattice, shown)
    # Its lines are the lattice's covers among the iceberg's concepts (an up-set keeps them),
    # which are its own Hasse diagram.
    covers = {(u, v) for u, v in read_drawing(lattice.svg()).covers if u in shown and v in shown}
    assert drawn_lines(g) == covers == hasse(lattice, shown)


NAMES = st.text(st.sampled_from("ab<&\"' xyzé日本\u0301-"), min_size=1, max_size=30)


@settings(max_examples=40, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(contexts(NAMES, (0, 9), (0, 8)), st.booleans())
def test_random_lattices_keep_the_promises(context, sizes):
    objects, attributes, rows = context
    # Names must be distinct within each kind for the labels to say what they mean.
    objects = [f"{o}{i}" for i, o in enumerate(objects)]
    attributes = [f"{a}{j}" for j, a in enumerate(attributes)]
    marks = ["".join("X" if b else "." for b in row) for row in rows]
    lattice = quorlan.compute_lattice(quorlan.parse_context(cxt(objects, attributes, marks)))
    check(quorlan_view.labelled(lattice, sizes=sizes), lattice, range(lattice.n_concepts))
    top = lattice.concepts()[0]
    iceberg = [
        i for i, c in enumerate(lattice.concepts()) if len(c["extent"]) * 2 >= len(top["extent"])
    ]
    check(quorlan_view.part(lattice, min_extent=(len(top["extent"]) + 1) // 2), lattice, iceberg)


@settings(max_examples=60, deadline=None)
@given(contexts(st.just("n"), (0, 12), (0, 7)))
def test_a_whole_part_is_laid_out_as_the_module_lays_out(context):
    _, _, rows = context
    marks = ["".join("X" if b else "." for b in row) for row in rows]
    m = len(rows[0]) if rows else 0
    lattice = quorlan.compute_lattice(
        quorlan.parse_context(
            cxt([f"o{i}" for i in range(len(rows))], [f"a{j}" for j in range(m)], marks)
        )
    )
    module = read_drawing(lattice.svg())
    sizes = [len(c["extent"]) for c in lattice.concepts()]
    part = layer_part(range(lattice.n_concepts), sizes, module.covers)
    assert (part.layers, part.covers) == (module.layers, module.covers)


def test_neighbourhood_of_a_concept():
    lattice = lattice_of(CLASSIC["animals"])
    covers = read_drawing(lattice.svg()).covers
    around = 7
    one = {around} | {v for u, v in covers if u == around} | {u for u, v in covers if v == around}
    view = quorlan_view.part(lattice, around=around)
    g = check(view, lattice, sorted(one))
    two = set(one)
    for c in one:
        two |= {v for u, v in covers if u == c} | {u for u, v in covers if v == c}
    check(quorlan_view.part(lattice, around=around, depth=2), lattice, sorted(two))
    assert quorlan_view.part(lattice, around=around, depth=0).n_concepts == 1
    assert drawn_lines(g) == hasse(lattice, one)


def test_view_shows_and_saves(tmp_path, monkeypatch):
    view = quorlan_view.labelled(lattice_of(CLASSIC["polygons"]))
    doc = view.svg()
    assert doc.startswith('<?xml version="1.0" encoding="UTF-8"?>\n<svg ')
    assert view._repr_svg_() == doc
    html = view._repr_html_()
    assert html.startswith('<div class="quorlan-view">') and doc.split("\n", 1)[1] in html
    assert "actual size" not in html  # narrow enough: no size switch
    assert "actual size" in quorlan_view.labelled(lattice_of(CLASSIC["music"]))._repr_html_()
    assert repr(view).startswith("View(concepts=16, labels=15, width=")
    view.save(tmp_path / "p.svg")
    assert (tmp_path / "p.svg").read_text(encoding="utf-8") == doc
    if importlib.util.find_spec("cairosvg") is not None:  # the test set-up installs it
        from PIL import Image

        view.save(tmp_path / "p.png")
        view.save(tmp_path / "p.pdf")
        image = Image.open(tmp_path / "p.png").convert("RGBA")
        assert image.size == (round(view.width), round(view.height))
        # Drawn, names included: pixels as dark as the text (#111), darker than every line and
        # circle (#444, #222).
        page = Image.new("RGBA", image.size, "white")
        page.alpha_composite(image)
        assert page.convert("L").getextrema()[0] < 25
        assert (tmp_path / "p.pdf").read_bytes().startswith(b"%PDF")
    monkeypatch.setitem(sys.modules, "cairosvg", None)  # as when it is not installed
    for suffix in (".png", ".pdf"):
        with pytest.raises(ImportError, match="needs the package cairosvg"):
            view.save(tmp_path / f"p{suffix}")
    with pytest.raises(ValueError, match="must end in .svg, .tex, .png or .pdf"):
        view.save(tmp_path / "p.txt")


@pytest.mark.parametrize(
    "kwargs, error, message",
    [
        ({}, TypeError, "either min_extent or around"),
        ({"min_extent": 1, "around": 0}, TypeError, "either min_extent or around"),
        ({"min_extent": True}, TypeError, "min_extent must be an int"),
        ({"around": 1.0}, TypeError, "around must be an int"),
        ({"min_extent": 10}, ValueError, "no concept has 10 objects or more"),
        ({"around": 16}, ValueError, "from 0 to 15; got 16"),
        ({"around": 0, "depth": -1}, ValueError, "depth must be 0 or more"),
    ],
)
def test_part_refuses_what_it_cannot_draw(kwargs, error, message):
    with pytest.raises(error, match=message):
        quorlan_view.part(lattice_of(CLASSIC["polygons"]), **kwargs)


@pytest.mark.parametrize(
    "seed, n, m, density", [(1, 40, 12, 0.3), (2, 25, 16, 0.2), (3, 60, 10, 0.45), (4, 12, 30, 0.3)]
)
def test_larger_random_lattices_keep_the_promises(seed, n, m, density):
    import random

    rng = random.Random(seed)
    rows = [" ".join(str(j) for j in range(m) if rng.random() < density) for _ in range(n)]
    lattice = quorlan.compute_lattice(quorlan.parse_context("\n".join(rows).encode(), "r.dat"))
    for sizes in (False, True):
        check(quorlan_view.labelled(lattice, sizes=sizes), lattice, range(lattice.n_concepts))


# The promises in a real browser, with the fonts it picks: text boxes measured by the browser.
BROWSER_CHECK = r"""
<script>
const svg = document.querySelector('.quorlan-view svg');
const texts = [...svg.querySelectorAll('text[class]')].map(t => t.getBBox());
const circles = [...svg.querySelectorAll('circle')].map(
  c => [+c.getAttribute('cx'), +c.getAttribute('cy'), +c.getAttribute('r')]);
const problems = [];
texts.forEach((a, i) => {
  texts.slice(i + 1).forEach(b => {
    if (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
      problems.push('labels overlap');
  });
  circles.forEach(([x, y, r]) => {
    const nx = Math.min(Math.max(x, a.x), a.x + a.width);
    const ny = Math.min(Math.max(y, a.y), a.y + a.height);
    if (Math.hypot(x - nx, y - ny) < r) problems.push('label covers a circle');
  });
});
const shown = svg.getBoundingClientRect();
document.title = JSON.stringify({problems, texts: texts.length, width: shown.width,
                                 page: document.body.getBoundingClientRect().width});
</script>"""


@pytest.mark.parametrize("name", ["polygons", "music"])
def test_promises_hold_in_a_browser(tmp_path, name):
    import json
    import re

    browser = chromium()
    view = quorlan_view.labelled(lattice_of(CLASSIC[name]))
    page = headless.write_page(
        tmp_path, view._repr_html_() + BROWSER_CHECK, style="body{margin:0;width:1000px}"
    )
    dom = headless.dump_dom(browser, page, timeout=120)
    seen = json.loads(re.search(r"<title>(.*?)</title>", dom).group(1))
    assert seen["problems"] == [] and seen["texts"] == view.n_labels
    assert seen["width"] <= 1000 and seen["page"] == 1000
    assert seen["width"] == pytest.approx(min(view.width, 1000), abs=1)


def test_typed_throughout():
    # py.typed is shipped, and the module passes mypy's strict mode against quorlan's stubs.
    import os
    import subprocess

    package = pathlib.Path(quorlan_view.__file__).parent
    assert (package / "py.typed").exists()
    # quorlan's stubs from the sources; the module from the sources too, unless it is installed
    # (mypy finds installed packages itself, and refuses site-packages in MYPYPATH).
    paths = [str(ROOT / "src" / "python")]
    if package.parent.name != "site-packages":
        paths.append(str(package.parent))
    env = dict(os.environ, MYPYPATH=os.pathsep.join(paths))
    done = subprocess.run(
        [
            sys.executable,
            "-m",
            "mypy",
            "--strict",
            "--no-incremental",
            "-p",
            "quorlan_view",
            "-p",
            "quorlan_tools",
        ],
        capture_output=True,
        text=True,
        env=env,
        cwd=ROOT,
        timeout=300,
    )
    assert done.returncode == 0, done.stdout + done.stderr


def plain_shortened(names, width=LABEL_WIDTH):
    """The labels' shortening by its definition: every name if they fit, else the most names
    that fit with their "+N", else the longest start of the first name with an ellipsis."""
    if text_width(", ".join(names)) <= width:
        return ", ".join(names)
    counted = [", ".join(names[:k]) + f" +{len(names) - k}" for k in range(1, len(names))]
    fitting = [text for text in counted if text_width(text) <= width]
    if fitting:
        return fitting[-1]
    rest = f" +{len(names) - 1}" if len(names) > 1 else ""
    cuts = [names[0][:k] + "\u2026" + rest for k in range(len(names[0]), -1, -1)]
    return next((c for c in cuts if text_width(c) <= width), cuts[-1])


@settings(max_examples=300, deadline=None)
@given(
    st.lists(
        st.text(st.sampled_from("ab日\u0301 ,"), min_size=1, max_size=12), min_size=1, max_size=40
    ),
    st.sampled_from([LABEL_WIDTH, 30.0, 6.82 * 7, 1000.0]),
)
def test_shortening_is_the_plain_one(names, width):
    assert shortened(names, width) == plain_shortened(names, width)


GOLDEN = ROOT / "tests" / "data" / "golden"


@pytest.mark.parametrize(
    "name, make",
    [
        ("view_polygons.svg", lambda: quorlan_view.labelled(lattice_of(CLASSIC["polygons"]))),
        (
            "view_music_sizes.svg",
            lambda: quorlan_view.labelled(lattice_of(CLASSIC["music"]), sizes=True),
        ),
        (
            "view_animals_part.svg",
            lambda: quorlan_view.part(lattice_of(CLASSIC["animals"]), around=5, depth=2),
        ),
    ],
)
def test_views_match_their_golden_documents(name, make):
    import os

    doc = make().svg()
    if os.environ.get("QUORLAN_UPDATE_GOLDEN"):
        (GOLDEN / name).write_text(doc, encoding="utf-8")
    assert doc == (GOLDEN / name).read_text(encoding="utf-8")


def plain_clear(layers, p, q, ends):
    """A segment's clearance by its definition: at least CLEARANCE from every circle that is
    not one of its ends."""
    from quorlan_view._arrange import CLEARANCE

    return all(
        id(n) in ends or distance((n.x, n.y), p, q) >= n.radius + CLEARANCE
        for layer in layers
        for n in layer
    )


def plain_free_x(layer, x):
    from quorlan_view._arrange import CLEARANCE

    for n in layer:
        left, right = n.x - n.radius - CLEARANCE - 1, n.x + n.radius + CLEARANCE + 1
        if left < x < right:
            return left if x - left <= right - x else right
    return x


@settings(max_examples=150, deadline=None)
@given(st.integers(0, 2**32 - 1))
def test_line_routing_tests_are_the_plain_ones(seed):
    # The searches by layer band and by place agree with looking at every circle.
    import random

    from quorlan_view._arrange import Node, _Circles

    rng = random.Random(seed)
    layers, ys = [], []
    for k in range(rng.randint(1, 5)):
        x, layer = rng.uniform(-50, 50), []
        for _ in range(rng.randint(1, 8)):
            node = Node(0, k, rng.choice([6.0, rng.uniform(4, 16)]))
            x += node.radius + rng.uniform(8, 60) + (layer[-1].radius if layer else 0)
            node.x, node.y = x, 80.0 * k
            layer.append(node)
        layers.append(layer)
        ys.append(80.0 * k)
    circles = _Circles(layers, ys)
    nodes = [n for layer in layers for n in layer]
    for _ in range(40):
        if rng.random() < 0.5:
            a, b = rng.sample(nodes, 2) if len(nodes) > 1 else (nodes[0], nodes[0])
            p, q, ends = (a.x, a.y), (b.x, b.y), {id(a), id(b)}
        else:
            p = (rng.uniform(-100, 500), rng.uniform(-20, 400))
            q = (rng.uniform(-100, 500), rng.choice([p[1], rng.uniform(-20, 400)]))
            ends = set()
        assert circles.clear(p, q, ends) == plain_clear(layers, p, q, ends)
        k = rng.randrange(len(layers))
        x = rng.choice([rng.uniform(-100, 500), rng.choice(layers[k]).x + rng.uniform(-25, 25)])
        assert circles.free_x(k, x) == plain_free_x(layers[k], x)
