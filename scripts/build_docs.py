"""Brings the documentation's generated parts up to date: runs the guide notebook in place, so
that its outputs (the pictures among them) are committed with it, and takes the screenshots of
docs/images in a headless Chromium, 1,000 pixels wide, as a notebook column shows them.

    python scripts/build_docs.py    # with quorlan and quorlan_view importable, chromium on PATH
"""

import pathlib
import sys
import tempfile

import headless  # scripts/headless.py, beside this file
import nbclient
import nbformat

import quorlan
import quorlan_view

ROOT = pathlib.Path(__file__).resolve().parent.parent
DOCS = ROOT / "docs"


def read(path):
    return quorlan.compute_lattice(quorlan.parse_context(path.read_bytes(), path.name))


def shot(fragment, png, width, height, script=""):
    """The fragment as a notebook shows it, in a column `width` pixels wide, after `script`
    ran; `root` is the fragment's explorer, where it has one."""
    browser = headless.chromium()
    if browser is None:
        sys.exit("build_docs: no chromium on PATH")
    with tempfile.TemporaryDirectory() as tmp:
        page = headless.write_page(
            tmp,
            f"<div style='width:{width}px;padding:4px'>{fragment}</div>"
            + (
                "<script>const root = document.querySelector('.quorlan-explorer');"
                f"{script}</script>"
                if script
                else ""
            ),
            style="body{margin:0;background:white}",
        )
        headless.screenshot(browser, page, png, width + 8, height)


def screenshot(view, png, width=1000):
    """The view as a notebook's HTML output shows it."""
    scale = min(1.0, width / view.width)
    height = int(view.height * scale) + 40  # the size switch's line above wide pictures
    shot(view._repr_html_(), png, width, height)


def explorer_screenshot(explorer, png, action, width=1000, height=720):
    """The explorer as a notebook shows it, after `action` (a script run on its element,
    `root`) has clicked, searched or zoomed."""
    shot(explorer._repr_html_(), png, width, height, action)


def click(concept):
    return (
        f"root.querySelector('circle[data-concept=\"{concept}\"]')"
        ".dispatchEvent(new MouseEvent('click', {bubbles: true}));"
    )


def main():
    guide = DOCS / "guide.ipynb"
    nb = nbformat.read(guide, as_version=4)
    nbclient.NotebookClient(
        nb, timeout=300, kernel_name="python3", resources={"metadata": {"path": str(DOCS)}}
    ).execute()
    nbformat.write(nb, guide)
    images = DOCS / "images"
    images.mkdir(exist_ok=True)
    bob = read(DOCS / "data" / "bob-ross.cxt")
    for name, view in [
        ("polygons", quorlan_view.labelled(read(ROOT / "examples" / "polygons.cxt"))),
        (
            "animals",
            quorlan_view.labelled(read(ROOT / "tests" / "data" / "cxt" / "animals_en.cxt")),
        ),
        ("music", quorlan_view.labelled(read(ROOT / "tests" / "data" / "cxt" / "music_en.cxt"))),
        ("bob-ross-iceberg", quorlan_view.part(bob, min_extent=60)),
    ]:
        screenshot(view, images / f"{name}.png")
        print(f"docs/images/{name}.png: {view!r}")
    mountain = next(i for i, c in enumerate(bob.concepts()) if c["intent"] == ["MOUNTAIN"])
    search = (
        "const s = root.querySelector('.quorlan-search'); s.value = 'lake';"
        "s.dispatchEvent(new Event('input', {bubbles: true}));"
    )
    # Six turns of the wheel over the selected concept, as a reader zooms in on it.
    zoom = (
        "const r = root.querySelector('circle.selected').getBoundingClientRect();"
        "for (let k = 0; k < 6; k++) root.querySelector('svg').dispatchEvent(new WheelEvent("
        "'wheel', {deltaY: -100, clientX: r.left + r.width / 2, clientY: r.top + r.height "
        "/ 2, bubbles: true, cancelable: true}));"
    )
    whole = quorlan_view.explore(quorlan_view.part(bob, min_extent=60))
    for name, action in [
        ("explorer-whole", click(mountain)),
        ("explorer-select", click(mountain) + zoom),
        ("explorer-search", search + zoom),
    ]:
        explorer_screenshot(whole, images / f"{name}.png", action)
        print(f"docs/images/{name}.png: {whole!r}")


if __name__ == "__main__":
    main()
