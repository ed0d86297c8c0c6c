import pathlib
import re
import subprocess
import sys
import textwrap

import pytest
from conftest import cxt

import quorlan

TWO_BY_TWO = cxt(["o1", "o2"], ["a", "b"], ["X.", ".X"])


def test_exports_in_creation_order():
    assert quorlan.__all__ == [
        "Context",
        "Lattice",
        "parse_context",
        "supported_algorithms",
        "compute_concepts",
        "compute_lattice",
        "compute_implications",
        "__version__",
    ]
    pyproject = pathlib.Path(__file__).parents[2] / "pyproject.toml"
    declared = re.search(r'\nversion = "([^"]+)"', pyproject.read_text())
    assert declared is not None
    assert quorlan.__version__ == declared.group(1)
    assert quorlan.__doc__ == ""
    for name in quorlan.__all__[2:7]:
        assert getattr(quorlan, name).__module__ == "quorlan"
        assert getattr(quorlan, name).__name__ == name


@pytest.mark.parametrize(
    "func, signature, doc",
    [
        ("parse_context", "(bytes, filename=...)", "Parses raw bytes into a `Context`."),
        (
            "supported_algorithms",
            "()",
            "Returns the list of algorithm names accepted by `compute_concepts`.",
        ),
        (
            "compute_implications",
            "(ctx)",
            "Computes the Duquenne-Guigues canonical implication base.",
        ),
        (
            "compute_concepts",
            '(ctx, algorithm="next-closure")',
            "Computes the concept lattice and returns concepts as a list of dicts.\n\n"
            "Each dict has keys "
            "`extent` (list of object names) and `intent`\n(list of attribute names). For "
            "notebook-friendly rendering, see\n`compute_lattice`.",
        ),
        (
            "compute_lattice",
            '(ctx, algorithm="next-closure")',
            "Computes the concept lattice and returns a `Lattice` object.\n\n"
            "The returned object renders "
            "as SVG in Jupyter (via `_repr_svg_`).\nUse `.concepts()` to get the same dict-list as "
            "`compute_concepts`.",
        ),
    ],
)
def test_function_signatures_and_docs(func, signature, doc):
    f = getattr(quorlan, func)
    assert f.__text_signature__ == signature
    assert f.__doc__ == doc


def test_context_class():
    ctx = quorlan.parse_context(
        cxt(["a", "b", "c", "d"], ["x", "y", "z"], ["X..", ".X.", "..X", "XXX"])
    )
    assert repr(ctx) == "Context(objects=4, attributes=3)"
    assert (ctx.n_objects, ctx.n_attributes) == (4, 3)
    assert quorlan.Context.__doc__ == "Wraps a parsed `Context` so Python can hold it across calls."
    assert quorlan.Context.__module__ == "quorlan" and quorlan.Context.__qualname__ == "Context"
    assert quorlan.Context.__bases__ == (object,)
    assert quorlan.Context.n_objects.__doc__ == ""
    with pytest.raises(AttributeError):
        ctx.n_objects = 3
    with pytest.raises(AttributeError):
        ctx.anything = 1
    with pytest.raises(TypeError):
        __import__("weakref").ref(ctx)
    with pytest.raises(TypeError, match="^No constructor defined for Context$"):
        quorlan.Context()
    with pytest.raises(TypeError):

        class Sub(quorlan.Context):
            pass


def test_context_without_objects():
    ctx = quorlan.parse_context(b"B\n0\n2\na\nb\n")
    assert (ctx.n_objects, repr(ctx)) == (0, "Context(objects=0, attributes=2)")


BINDING_ERRORS = [
    (
        lambda: quorlan.parse_context(),
        TypeError,
        "parse_context() missing 1 required positional argument: 'bytes'",
    ),
    (
        lambda: quorlan.parse_context(data=b"B"),
        TypeError,
        "parse_context() got an unexpected keyword argument 'data'",
    ),
    (
        lambda: quorlan.parse_context(b"B", "a.cxt", "x"),
        TypeError,
        "parse_context() takes from 1 to 2 positional arguments but 3 were given",
    ),
    (
        lambda: quorlan.parse_context(b"B", bytes=b"B"),
        TypeError,
        "parse_context() got multiple values for argument 'bytes'",
    ),
    (
        lambda: quorlan.parse_context(bytearray(b"B")),
        TypeError,
        "argument 'bytes': 'bytearray' object cannot be converted to 'PyBytes'",
    ),
    (
        lambda: quorlan.parse_context(memoryview(b"B")),
        TypeError,
        "argument 'bytes': 'memoryview' object cannot be converted to 'PyBytes'",
    ),
    (
        lambda: quorlan.parse_context("B"),
        TypeError,
        "argument 'bytes': 'str' object cannot be converted to 'PyBytes'",
    ),
    (
        lambda: quorlan.parse_context(b"B", None),
        TypeError,
        "argument 'filename': 'NoneType' object cannot be converted to 'PyString'",
    ),
    (
        lambda: quorlan.compute_implications(),
        TypeError,
        "compute_implications() missing 1 required positional argument: 'ctx'",
    ),
    (
        lambda: quorlan.compute_implications(1, 2),
        TypeError,
        "compute_implications() takes 1 positional argument but 2 were given",
    ),
    (
        lambda: quorlan.compute_concepts("x"),
        TypeError,
        "argument 'ctx': 'str' object cannot be converted to 'Context'",
    ),
    (lambda: quorlan.supported_algorithms(1), TypeError, None),
    (
        lambda: quorlan.parse_context(b""),
        ValueError,
        "parse error: parse error in cxt: input is empty",
    ),
]


@pytest.mark.parametrize("call, exc, message", BINDING_ERRORS)
def test_binding_and_conversion_errors(call, exc, message):
    with pytest.raises(exc) as info:
        call()
    assert type(info.value) is exc
    if message is not None:
        assert str(info.value) == message


def test_keywords_and_default_filename():
    by_kw = quorlan.parse_context(filename="x.cxt", bytes=TWO_BY_TWO)
    assert repr(by_kw) == "Context(objects=2, attributes=2)"
    # Without a name the input is read as cxt, even when it is JSON.
    with pytest.raises(
        ValueError,
        match=r'^parse error: parse error in cxt: expected format header "B", got "\{\}"$',
    ):
        quorlan.parse_context(b"{}")


def test_bytes_subclass_and_str_subclass_accepted():
    class B(bytes):
        pass

    class S(str):
        pass

    ctx = quorlan.parse_context(B(TWO_BY_TWO), S("data.cxt"))
    assert ctx.n_objects == 2


def test_second_initialisation_fails():
    script = textwrap.dedent("""
        import sys, quorlan
        del sys.modules["quorlan"]
        try:
            import quorlan
        except ImportError:
            print("import-error")
    """)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    assert out.stdout.strip() == "import-error"
