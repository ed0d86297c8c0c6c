import pathlib
import sys

import pytest
from hypothesis import strategies as st

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"
sys.path.insert(0, str(DATA.parent.parent / "scripts"))
import headless  # noqa: E402  (scripts/headless.py: the browser, its flags, its page)


def chromium():
    """The headless browser, or the test skipped where the machine has none."""
    found = headless.chromium()
    if found is None:
        pytest.skip("no headless browser on this machine")
    return found


def cxt(objects, attributes, rows):
    """A Burmeister document for the given names and rows of 'X'/'.' marks."""
    lines = ["B", "", str(len(objects)), str(len(attributes)), ""]
    # A trailing mark beyond the last attribute is ignored; it keeps rows of a context without
    # attributes from being blank lines, which the format skips.
    lines += objects + attributes + [r + "|" for r in rows]
    return ("\n".join(lines) + "\n").encode()


@pytest.fixture
def data_dir():
    return DATA


def contexts(names, objects, attributes):
    """A hypothesis strategy of (object names, attribute names, rows of booleans), with names
    drawn from `names` and the two counts from the given ranges."""

    @st.composite
    def draw_context(draw):
        n = draw(st.integers(*objects))
        m = draw(st.integers(*attributes))
        rows = st.lists(st.lists(st.booleans(), min_size=m, max_size=m), min_size=n, max_size=n)
        return (
            draw(st.lists(names, min_size=n, max_size=n)),
            draw(st.lists(names, min_size=m, max_size=m)),
            draw(rows),
        )

    return draw_context()


def executed_notebook(path, timeout=180):
    """The notebook at `path`, run headless in its own directory by the python3 kernel."""
    nbformat = pytest.importorskip("nbformat")
    nbclient = pytest.importorskip("nbclient")
    nb = nbformat.read(path, as_version=4)
    nbclient.NotebookClient(
        nb,
        timeout=timeout,
        kernel_name="python3",
        resources={"metadata": {"path": str(path.parent)}},
    ).execute()
    return nb
