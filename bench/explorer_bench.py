"""The explorer on mushroom's iceberg at 1,000 objects (3,427 concepts): how long Python takes to
make it (CPU time, best of three: the labelled view, the fragment of a view, and explore() of
the lattice, which is both), how large the fragment is (bytes per concept without the names'
text, and the names' text), and in headless Chromium how long a click and a search take to
restyle the picture (median of 20, each to the next style and layout) and the script's start.

    python bench/explorer_bench.py DATA    # DATA holds fimi/mushroom.dat; chromium on PATH
"""

import json
import pathlib
import re
import sys
import tempfile

from timing import best  # bench/timing.py, beside this file

import quorlan
import quorlan_tools as qt
import quorlan_view

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts"))
import headless  # noqa: E402  (scripts/headless.py: the browser, its flags, its page)

TIMING = r"""
<pre id="result"></pre>
<script>
const root = document.querySelector('.quorlan-explorer');
const circles = [...root.querySelectorAll('circle[data-concept]')];
const input = root.querySelector('input.quorlan-search');
const settle = () => {
  getComputedStyle(circles[0]).opacity;
  document.body.getBoundingClientRect();
};
const median = (xs) => xs.sort((a, b) => a - b)[xs.length >> 1];
settle();
const clicks = [], searches = [];
for (let k = 0; k < 20; k++) {
  const c = circles[Math.floor(k * (circles.length - 1) / 19)];
  const t = performance.now();
  c.dispatchEvent(new MouseEvent('click', {bubbles: true}));
  settle();
  clicks.push(performance.now() - t);
}
for (const name of window.NAMES) {
  const t = performance.now();
  input.value = name;
  input.dispatchEvent(new Event('input', {bubbles: true}));
  settle();
  searches.push(performance.now() - t);
}
document.getElementById('result').textContent = JSON.stringify({
  click: median(clicks), click_max: Math.max(...clicks), search: median(searches),
  search_max: Math.max(...searches), start: window.STARTED});
</script>"""


def in_browser(fragment, names):
    browser = headless.chromium()
    if browser is None:
        sys.exit("explorer_bench: no chromium on PATH")
    with tempfile.TemporaryDirectory() as tmp:
        page = headless.write_page(
            tmp,
            "<script>const T0 = performance.now();</script>"
            + fragment
            + "<script>window.STARTED = performance.now() - T0;"
            f"window.NAMES = {json.dumps(names)};</script>" + TIMING,
            style="body{width:1000px}",
        )
        dom = headless.dump_dom(browser, page, timeout=300)
    return json.loads(re.search(r'<pre id="result">(.*?)</pre>', dom, re.S).group(1))


def sizes(fragment, n_concepts):
    """Bytes per concept of everything but the names' text (titles, labels and the embedded
    lists of names), and the bytes of that text."""
    names = 0
    for pattern in (
        r"<title>(.*?)</title>",
        r"<text [^>]*>([^<]*)",
        r'"objects":\[(.*?)\]',
        r'"attributes":\[(.*?)\]',
    ):
        names += sum(len(m.encode()) for m in re.findall(pattern, fragment, re.S))
    total = len(fragment.encode())
    return total, (total - names) / n_concepts, names


def main():
    data = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "../shared/data")
    path = data / "fimi" / "mushroom.dat"
    lattice = qt.iceberg(quorlan.parse_context(path.read_bytes(), path.name), 1000)
    view = quorlan_view.labelled(lattice)
    fragment = quorlan_view.explore(view)._repr_html_()
    print(
        f"mushroom, iceberg at 1,000 objects: {lattice.n_concepts} concepts, "
        f"{view.n_labels} labels, {view.width:.0f} x {view.height:.0f} px"
    )
    print(
        f"  labelled(lattice)            {best(lambda: quorlan_view.labelled(lattice))[0]:7.3f} s"
    )
    print(
        "  explore(view)._repr_html_()  "
        f"{best(lambda: quorlan_view.explore(view)._repr_html_())[0]:7.3f} s"
    )
    print(
        "  explore(lattice)._repr_html_()"
        f"{best(lambda: quorlan_view.explore(lattice)._repr_html_())[0]:7.3f} s"
    )
    total, per_concept, names = sizes(fragment, lattice.n_concepts)
    print(
        f"  fragment {total / 1e6:.2f} MB: {per_concept:.0f} bytes per concept and "
        f"{names / 1e6:.2f} MB of names' text"
    )
    shown = qt.names(quorlan.parse_context(path.read_bytes(), path.name))[0]
    seen = in_browser(fragment, [shown[k * (len(shown) - 1) // 19] for k in range(20)])
    print(
        f"  Chromium: click {seen['click']:.1f} ms (median, max {seen['click_max']:.1f}), "
        f"search {seen['search']:.1f} ms (median, max {seen['search_max']:.1f}), "
        f"page with the explorer started in {seen['start']:.0f} ms"
    )


if __name__ == "__main__":
    main()
