"""The documents of a drawing: SVG for the screen, TikZ for a paper."""

from __future__ import annotations

import html
from typing import List, Sequence, Tuple

from ._drawing import Drawn
from ._labels import FONT_SIZE

# Scaled down to the width of a narrower page, never wider than drawn.
FIT = ' style="max-width:100%;height:auto"'
STROKE = 1.5
FONT = "DejaVu Sans Mono, Menlo, Consolas, monospace"
HALO = 3  # the white stroke under each label, which hides the lines behind it
# TikZ lengths are in points; the drawing is in CSS pixels, 0.75 pt each.
POINTS_PER_PIXEL = 0.75


def number(v: float) -> str:
    return f"{v:.1f}"


def _text(s: str) -> str:
    return html.escape(s, quote=False)


def _svg_line(line: Sequence[Tuple[float, float]]) -> str:
    """A cover's line: straight, or bent around the circles in its way."""
    if len(line) == 2:
        (x1, y1), (x2, y2) = line
        return (
            f'    <line x1="{number(x1)}" y1="{number(y1)}" x2="{number(x2)}" '
            f'y2="{number(y2)}" />\n'
        )
    points = " ".join(f"{number(x)},{number(y)}" for x, y in line)
    return f'    <polyline points="{points}" />\n'


def svg_body(drawn: Drawn) -> str:
    """The <svg> element of the drawing."""
    arranged = drawn.arranged
    left, top, right, bottom = arranged.box
    width, height = right - left, bottom - top
    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="{number(left)} {number(top)} '
        f'{number(width)} {number(height)}" width="{number(width)}" '
        f'height="{number(height)}"{FIT}>\n',
        f'  <g stroke="#444" stroke-width="{STROKE}" fill="none">\n',
    ]
    out += [_svg_line(line) for line in arranged.lines]
    out.append(f'  </g>\n  <g fill="white" stroke="#222" stroke-width="{STROKE}">\n')
    for node, title in zip(arranged.nodes, drawn.titles):
        out.append(
            f'    <circle cx="{number(node.x)}" cy="{number(node.y)}" '
            f'r="{number(node.radius)}" data-concept="{node.concept}">'
            f"<title>{_text(title)}</title></circle>\n"
        )
    out.append(
        f'  </g>\n  <g font-family="{FONT}" font-size="{FONT_SIZE:g}" '
        f'text-anchor="middle">\n    <g fill="none" stroke="white" stroke-width="{HALO}" '
        'stroke-linejoin="round">\n'
    )
    for label in arranged.labels:
        out.append(
            f'      <text x="{number(label.x)}" y="{number(label.baseline)}">'
            f"{_text(label.text)}</text>\n"
        )
    out.append('    </g>\n    <g fill="#111">\n')
    for label in arranged.labels:
        node = arranged.nodes[label.node]
        title = drawn.label_titles[(label.node, label.kind)]
        out.append(
            f'      <text x="{number(label.x)}" y="{number(label.baseline)}" '
            f'class="{label.kind}" data-concept="{node.concept}">'
            f"{_text(label.text)}<title>{_text(title)}</title></text>\n"
        )
    out.append("    </g>\n  </g>\n</svg>\n")
    return "".join(out)


_LATEX = {
    "\\": r"\textbackslash{}",
    "{": r"\{",
    "}": r"\}",
    "$": r"\$",
    "&": r"\&",
    "#": r"\#",
    "_": r"\_",
    "%": r"\%",
    "^": r"\textasciicircum{}",
    "~": r"\textasciitilde{}",
    "<": r"\textless{}",
    ">": r"\textgreater{}",
    "|": r"\textbar{}",
    "\u2026": r"\ldots{}",
}


def latex_text(s: str) -> str:
    """`s` as LaTeX text: every special character written as itself, a line break or another
    control character as a space."""
    return "".join(_LATEX.get(ch, " " if ch < " " or ch == "\x7f" else ch) for ch in s)


def _point(x: float, y: float) -> str:
    return f"({number(x)},{number(y)})"


def tikz(drawn: Drawn) -> str:
    """The drawing as a tikzpicture with the same geometry: one draw per line, one node per
    concept (named c and its index), one node per label."""
    arranged = drawn.arranged
    diameter = 2 * max((n.radius for n in arranged.nodes), default=0)
    font = FONT_SIZE * POINTS_PER_PIXEL
    out: List[str] = [
        f"% {len(arranged.nodes)} concepts, {len(arranged.lines)} lines, "
        f"{len(arranged.labels)} labels; needs \\usepackage{{tikz}}\n",
        f"\\begin{{tikzpicture}}[x={POINTS_PER_PIXEL}pt, y=-{POINTS_PER_PIXEL}pt,\n"
        f"  cover/.style={{draw=black!73, line width={STROKE * POINTS_PER_PIXEL:g}pt}},\n"
        f"  concept/.style={{circle, draw=black!87, fill=white, inner sep=0pt, "
        f"line width={STROKE * POINTS_PER_PIXEL:g}pt, "
        f"minimum size={diameter * POINTS_PER_PIXEL:g}pt}},\n"
        f"  label/.style={{anchor=base, inner sep=0pt, fill=white, text=black!93, "
        f"font=\\ttfamily\\fontsize{{{font:g}pt}}{{{font * 1.2:g}pt}}\\selectfont}}]\n",
    ]
    for line in arranged.lines:
        out.append("  \\draw[cover] " + " -- ".join(_point(x, y) for x, y in line) + ";\n")
    for node in arranged.nodes:
        size = (
            ""
            if 2 * node.radius == diameter
            else f", minimum size={2 * node.radius * POINTS_PER_PIXEL:g}pt"
        )
        out.append(f"  \\node[concept{size}] (c{node.concept}) at {_point(node.x, node.y)} {{}};\n")
    for label in arranged.labels:
        out.append(
            f"  \\node[label] at {_point(label.x, label.baseline)} {{{latex_text(label.text)}}};\n"
        )
    out.append("\\end{tikzpicture}\n")
    return "".join(out)
