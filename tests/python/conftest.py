import pathlib

import pytest

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"


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
