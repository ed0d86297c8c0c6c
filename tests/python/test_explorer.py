"""The explorer in a real browser: every click, key and search on pages of several explorers,
read back from the page and checked against quorlan_tools' order; the fragment without its
script; the TikZ picture; the label modes."""

import html
import json
import pathlib
import random
import re
import shutil
import subprocess

import pytest
from conftest import DATA, chromium, cxt, headless

import quorlan
import quorlan_tools as qt
import quorlan_view
from quorlan_view._writer import latex_text

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
# Names that would be markup or script if written as such anywhere in the page.
HOSTILE = [
    "</script><script>window.pwned=1</script>",
    '<img src=x onerror="window.pwned=2">',
    "]]> & &amp; \"'",
    "<!-- x",
    "\\u003c/b>",
]


def lattice_of(path):
    return quorlan.compute_lattice(quorlan.parse_context(path.read_bytes(), path.name))


def lattice_from(objects, attributes, rows):
    return quorlan.compute_lattice(quorlan.parse_context(cxt(objects, attributes, rows), "t.cxt"))


def random_lattice(seed, n, m, density):
    rng = random.Random(seed)
    rows = [" ".join(str(j) for j in range(m) if rng.random() < density) for _ in range(n)]
    return quorlan.compute_lattice(quorlan.parse_context("\n".join(rows).encode(), "r.dat"))


def run_page(tmp_path, body):
    """The page's body run in Chromium; what its script left in <pre id="result">."""
    page = headless.write_page(tmp_path, body, style="body{width:1000px}")
    dom = headless.dump_dom(chromium(), page)
    found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
    assert found, dom[-2000:]
    return json.loads(html.unescape(found.group(1)))


# Drives every explorer of the page in turn: a click on each circle (with what it marked and
# what the panel says), each arrow key from each concept, Escape, a click on the background,
# and the searches of window.QUERIES.
DRIVER = r"""
<pre id="result"></pre>
<script>
const all = [...document.querySelectorAll('.quorlan-explorer')];
const click = (el) => el.dispatchEvent(new MouseEvent('click', {bubbles: true}));
const key = (root, k) => root.dispatchEvent(new KeyboardEvent('keydown', {key: k, bubbles: true}));
const out = all.map((root, e) => {
  const circles = [...root.querySelectorAll('circle[data-concept]')];
  const lines = [...root.querySelector('svg g').children];
  const ids = (sel) => [...root.querySelectorAll(sel)].map((x) => +x.dataset.concept);
  const chosen = () => { const s = ids('circle.selected'); return s.length ? s[0] : null; };
  const panel = root.querySelector('.quorlan-panel');
  const clicks = circles.map((c) => {
    click(c);
    return {selected: ids('circle.selected'), up: ids('circle.up'), down: ids('circle.down'),
            lines: lines.flatMap((l, k) => l.classList.contains('hl') ? [k] : []),
            labels: ids('text.hl'), active: root.classList.contains('quorlan-active'),
            shown: !panel.hidden, head: panel.querySelector('.quorlan-head').textContent,
            objects: panel.querySelector('.quorlan-objects .quorlan-names').textContent,
            attributes: panel.querySelector('.quorlan-attributes .quorlan-names').textContent,
            elsewhere: all.filter((r) => r !== root)
                          .reduce((k, r) => k + r.querySelectorAll('.selected,.hl').length, 0)};
  });
  const keys = {};
  for (const k of ['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight']) {
    keys[k] = circles.map((c) => { click(c); key(root, k); return chosen(); });
  }
  key(root, 'Escape');
  const escaped = root.querySelectorAll('.selected,.up,.down,.hl').length +
                  (root.classList.contains('quorlan-active') ? 1 : 0) + (panel.hidden ? 0 : 1);
  const fromNothing = {};
  for (const k of ['ArrowUp', 'ArrowDown']) {
    key(root, 'Escape'); key(root, k); fromNothing[k] = chosen();
  }
  click(circles[0]);
  click(root.querySelector('svg'));
  const background = root.querySelectorAll('.selected').length;
  const input = root.querySelector('input.quorlan-search');
  const searches = (window.QUERIES[e] || []).map((q) => {
    key(root, 'Escape');
    input.value = q;
    input.dispatchEvent(new Event('input', {bubbles: true}));
    return [chosen(), input.classList.contains('quorlan-nomatch')];
  });
  key(root, 'Escape');
  return {clicks, keys, escaped, fromNothing, background, searches,
          bar: !root.querySelector('.quorlan-bar').hidden};
});
document.getElementById('result').textContent = JSON.stringify(
  {explorers: out, pwned: window.pwned || 0, images: document.querySelectorAll('img').length,
   scripts: document.querySelectorAll('script').length});
</script>"""


def queries(lat):
    """Every name, as written and upper-cased, each with the concept it must select."""
    concepts = lat.concepts()  # the top holds every object, the bottom every attribute
    objects = max((c["extent"] for c in concepts), key=len, default=[])
    attributes = max((c["intent"] for c in concepts), key=len, default=[])
    out = []
    for name in objects:
        c = qt.concept_of(lat, extent=[name])
        out += [(name, c), (name.upper(), c)]
    for name in attributes:
        if name.lower() not in {o.lower() for o in objects}:  # objects come first
            out.append((name, qt.concept_of(lat, intent=[name])))
    return out


def test_every_click_key_and_search_on_a_page_of_explorers(tmp_path):
    polygons = lattice_of(ROOT / "examples" / "polygons.cxt")
    animals = lattice_of(DATA / "cxt" / "animals_en.cxt")
    hostile = lattice_from(HOSTILE[:3], HOSTILE[3:] + ["plain"], ["X.X", "XX.", ".XX"])
    cases = [  # (lattice, view, whole lattice or not)
        (polygons, quorlan_view.labelled(polygons), True),
        (polygons, quorlan_view.labelled(polygons), True),  # the same twice on the page
        (animals, quorlan_view.labelled(animals, labels="full"), True),
        (animals, quorlan_view.part(animals, around=5, depth=2), False),
        (animals, quorlan_view.part(animals, min_extent=4, labels="none"), False),
        (hostile, quorlan_view.labelled(hostile), True),
        (lattice_from([], [], []), quorlan_view.labelled(lattice_from([], [], [])), True),
    ] + [
        (lat, quorlan_view.labelled(lat, sizes=True), True)
        for lat in (
            random_lattice(s, n, m, d) for s, n, m, d in [(1, 20, 8, 0.4), (2, 12, 14, 0.3)]
        )
    ]
    searched = [queries(lat) if whole else [] for lat, _, whole in cases]
    searched[0] += [
        ("squ", qt.concept_of(polygons, extent=["square"])),
        ("FOUR", qt.concept_of(polygons, intent=["four sides"])),
        ("zzz", None),
    ]
    page = "".join(quorlan_view.explore(view)._repr_html_() for _, view, _ in cases)
    page += "<script>window.QUERIES = %s;</script>" % json.dumps(
        [[q for q, _ in s] for s in searched]
    ).replace("<", "\\u003c")
    seen = run_page(tmp_path, page + DRIVER)
    assert seen["pwned"] == 0 and seen["images"] == 0
    assert seen["scripts"] == 2 * len(cases) + 2  # data and code of each, the test's own
    for (lat, view, whole), got, expected_searches in zip(cases, seen["explorers"], searched):
        check_clicks(lat, view, got["clicks"])
        check_keys(lat, view, whole, got)
        assert got["escaped"] == 0 and got["background"] == 0 and got["bar"]
        assert got["searches"] == [[c, c is None] for _, c in expected_searches]


def check_clicks(lat, view, clicks):
    drawn = view._drawn
    shown = [n.concept for n in drawn.arranged.nodes]
    labelled = {shown[label.node] for label in drawn.arranged.labels}
    concepts = lat.concepts()
    assert len(clicks) == len(shown)
    for c, got in zip(shown, clicks):
        up = set(qt.up_set(lat, c).tolist()) & set(shown) - {c}
        down = set(qt.down_set(lat, c).tolist()) & set(shown) - {c}
        lit = up | down | {c}
        assert got["selected"] == [c] and set(got["up"]) == up and set(got["down"]) == down
        assert len(got["up"]) == len(up) and len(got["down"]) == len(down)
        assert got["lines"] == [
            k for k, (u, v) in enumerate(drawn.edges) if shown[u] in lit and shown[v] in lit
        ]
        assert set(got["labels"]) == lit & labelled
        extent, intent = concepts[c]["extent"], concepts[c]["intent"]
        assert got["head"] == (
            f"concept {c}: {len(extent)} object{'s' * (len(extent) != 1)}, "
            f"{len(intent)} attribute{'s' * (len(intent) != 1)}"
        )
        assert got["objects"] == ", ".join(extent) and got["attributes"] == ", ".join(intent)
        assert got["active"] and got["shown"] and got["elsewhere"] == 0


def check_keys(lat, view, whole, got):
    nodes = view._drawn.arranged.nodes
    x = {n.concept: n.x for n in nodes}
    shown = [n.concept for n in nodes]
    if whole:  # the lattice's own covers and layers
        uppers = {c: qt.upper_covers(lat, c) for c in shown}
        lowers = {c: qt.lower_covers(lat, c) for c in shown}
        layers = qt.layout(lat).layers
    else:  # the part's Hasse diagram and layers
        uppers = {c: [shown[u] for u, v in view._drawn.edges if shown[v] == c] for c in shown}
        lowers = {c: [shown[v] for u, v in view._drawn.edges if shown[u] == c] for c in shown}
        layers = [
            [n.concept for n in nodes if n.layer == k]
            for k in range(1 + max(n.layer for n in nodes))
        ]
    row = {c: layer for layer in layers for c in layer}

    def leftmost(cs, c):
        return min(cs, key=lambda d: x[d]) if cs else c

    def along(c, step):
        k = row[c].index(c) + step
        return row[c][k] if 0 <= k < len(row[c]) else c

    assert got["keys"]["ArrowUp"] == [leftmost(uppers[c], c) for c in shown]
    assert got["keys"]["ArrowDown"] == [leftmost(lowers[c], c) for c in shown]
    assert got["keys"]["ArrowLeft"] == [along(c, -1) for c in shown]
    assert got["keys"]["ArrowRight"] == [along(c, 1) for c in shown]
    assert got["fromNothing"] == {"ArrowDown": layers[0][0], "ArrowUp": layers[-1][0]}


def test_without_its_script_the_fragment_is_the_static_picture(tmp_path):
    view = quorlan_view.labelled(lattice_of(DATA / "cxt" / "animals_en.cxt"))
    fragment = quorlan_view.explore(view)._repr_html_()
    stripped = re.sub(r"<script\b.*?</script>", "", fragment, flags=re.S)
    assert "<script" not in stripped and view._body in stripped
    seen = run_page(
        tmp_path,
        stripped
        + """<pre id="result"></pre><script>
const root = document.querySelector('.quorlan-explorer');
const shown = (sel) => getComputedStyle(root.querySelector(sel)).display !== 'none';
const box = root.querySelector('svg').getBoundingClientRect();
document.getElementById('result').textContent = JSON.stringify({
  width: box.width, height: box.height, bar: shown('.quorlan-bar'), panel: shown('.quorlan-panel'),
  circles: root.querySelectorAll('circle').length,
  labels: root.querySelectorAll('text[class]').length});
</script>""",
    )
    assert seen == {
        "width": pytest.approx(min(view.width, 1000), abs=1),
        "height": pytest.approx(view.height * min(1, 1000 / view.width), abs=1),
        "bar": False,
        "panel": False,
        "circles": view.n_concepts,
        "labels": view.n_labels,
    }


def test_explore_takes_a_view_or_a_lattice_and_saves_a_page(tmp_path):
    lat = lattice_of(ROOT / "examples" / "polygons.cxt")
    from_lattice = quorlan_view.explore(lat, labels="full", sizes=True)
    assert from_lattice.view.svg() == quorlan_view.labelled(lat, labels="full", sizes=True).svg()
    assert repr(from_lattice) == f"Explorer(concepts=16, labels={from_lattice.view.n_labels})"
    first, second = from_lattice._repr_html_(), from_lattice._repr_html_()
    ids = [re.search(r'id="([^"]+)"', f).group(1) for f in (first, second)]
    assert ids[0] != ids[1] and first.replace(ids[0], ids[1]) == second
    from_lattice.save(tmp_path / "x.html")
    page = (tmp_path / "x.html").read_text(encoding="utf-8")
    assert page.startswith("<!DOCTYPE html>") and "http" not in page.replace(
        'xmlns="http://www.w3.org/2000/svg"', ""
    )  # no network
    for call, error, message in [
        (lambda: from_lattice.save(tmp_path / "x.svg"), ValueError, "must end in .html"),
        (
            lambda: quorlan_view.explore(from_lattice.view, labels="full"),
            TypeError,
            "takes no sizes or labels",
        ),
        (lambda: quorlan_view.explore("x"), TypeError, "View or a quorlan.Lattice, not str"),
        (lambda: quorlan_view.explore(lat, max_concepts=3), ValueError, "max_concepts=3"),
        (
            lambda: quorlan_view.labelled(lat, labels="all"),
            ValueError,
            "labels must be 'reduced', 'full' or 'none'; got 'all'",
        ),
        (
            lambda: quorlan_view.part(lat, around=0, labels=1),
            TypeError,
            "labels must be a str, not int",
        ),
    ]:
        with pytest.raises(error, match=re.escape(message)):
            call()


def test_label_modes():
    lat = lattice_of(DATA / "cxt" / "music_en.cxt")
    concepts = lat.concepts()
    full = quorlan_view.labelled(lat, labels="full")._drawn
    titles = {
        (full.arranged.nodes[node].concept, kind): title
        for (node, kind), title in full.label_titles.items()
    }
    for c, concept in enumerate(concepts):
        for kind, names in (("attribute", concept["intent"]), ("object", concept["extent"])):
            listed = names if len(names) <= 40 else names[:40] + [f"\u2026 (+{len(names) - 40})"]
            assert titles.get((c, kind)) == ("\n".join(listed) if names else None)
    none = quorlan_view.labelled(lat, labels="none")
    assert none.n_labels == 0 and "<text" not in none.svg()
    assert quorlan_view.labelled(lat).n_labels < len(full.arranged.labels)


def test_tikz_has_the_drawing_s_nodes_lines_and_labels(tmp_path):
    lat = lattice_from(["a_1", "b%", "{c}"], ["x&y", "\\z", "#w~"], ["X.X", "XX.", ".XX"])
    view = quorlan_view.labelled(lat)
    tex = view.tikz()
    drawn = view._drawn
    nodes = re.findall(r"\\node\[concept[^\]]*\] \(c(\d+)\) at \(([-\d.]+),([-\d.]+)\)", tex)
    assert sorted(int(c) for c, _, _ in nodes) == list(range(lat.n_concepts))
    svg_circles = re.findall(
        r'<circle cx="([-\d.]+)" cy="([-\d.]+)" r="[\d.]+" data-concept="(\d+)"', view.svg()
    )
    assert sorted((c, x, y) for c, x, y in nodes) == sorted((c, x, y) for x, y, c in svg_circles)
    assert tex.count("\\draw[cover]") == len(drawn.arranged.lines) == len(qt.covers(lat))
    labels = re.findall(r"\\node\[label\] at \([-\d.]+,[-\d.]+\) \{(.*)\};", tex)
    assert labels == [latex_text(label.text) for label in drawn.arranged.labels]
    assert "\\_" in tex and "\\%" in tex and "\\{c\\}" in tex and "\\textbackslash{}z" in tex
    view.save(tmp_path / "x.tex")
    assert (tmp_path / "x.tex").read_text(encoding="utf-8") == tex
    if shutil.which("pdflatex") is None:
        return
    (tmp_path / "doc.tex").write_text(
        "\\documentclass{article}\\usepackage{tikz}\\begin{document}\\input{x.tex}\\end{document}\n"
    )
    done = subprocess.run(
        ["pdflatex", "-interaction=nonstopmode", "-halt-on-error", "doc.tex"],
        cwd=tmp_path,
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert done.returncode == 0, done.stdout[-3000:]


@pytest.mark.parametrize(
    "text, written",
    [
        ("a_b", r"a\_b"),
        ("50%", r"50\%"),
        ("{x}", r"\{x\}"),
        ("\\", r"\textbackslash{}"),
        ("a&b#c$", r"a\&b\#c\$"),
        ("^~", r"\textasciicircum{}\textasciitilde{}"),
        ("<|>", r"\textless{}\textbar{}\textgreater{}"),
        ("line\nbreak\t", "line break "),
        ("caf\u00e9 +3", "caf\u00e9 +3"),
        ("long\u2026", r"long\ldots{}"),
    ],
)
def test_latex_text(text, written):
    assert latex_text(text) == written


@pytest.mark.parametrize(
    "args, message",
    [
        (([0, 1], [0]), "pairs must have an even length"),
        (([0], [0, 1]), "pairs must join concepts among the indices"),
        (([0, 1], [0, 9]), "from 0 to"),
        (([5], []), "from 0 to"),
    ],
)
def test_reduced_labels_refuses_what_is_not_a_part(args, message):
    from quorlan_tools._native import native

    lat = lattice_from(["a", "b"], ["x"], ["X", "."])
    with pytest.raises(ValueError, match=message):
        native.reduced_labels(lat, *args)
