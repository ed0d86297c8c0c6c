"""What a view writes and how much room it takes: the reduced labelling of concepts, names cut
to a length, and the widths of texts in the monospace font the views are drawn in."""

from __future__ import annotations

import unicodedata
from typing import TYPE_CHECKING, Dict, List, Mapping, Sequence, Set, Tuple, Union

if TYPE_CHECKING:
    from quorlan import _Concept as Concept  # {"extent": [...], "intent": [...]}

# Labels are set in a monospace font (DejaVu Sans Mono first), whose advance is 0.602 em for
# every character it has; widths are reckoned at 0.62 em, and at 1.25 em for East Asian wide
# characters, which come from a fallback font. Heights are the font's ascent and descent.
FONT_SIZE = 11.0
ASCENT = 0.93 * FONT_SIZE
DESCENT = 0.24 * FONT_SIZE
HEIGHT = ASCENT + DESCENT
_NARROW = 0.62
_WIDE = 1.25
# A label holds what fits in this many narrow characters; the rest of its names are counted.
LABEL_CHARACTERS = 24
LABEL_WIDTH = LABEL_CHARACTERS * _NARROW * FONT_SIZE


def text_width(text: str) -> float:
    """The width of `text` in the views' font, an upper bound for the fonts it may fall back
    on."""
    units = 0.0
    for ch in text:
        if unicodedata.combining(ch):
            continue
        units += _WIDE if unicodedata.east_asian_width(ch) in ("W", "F") else _NARROW
    return units * FONT_SIZE


def shortened(names: Sequence[str], width: float = LABEL_WIDTH) -> str:
    """The names, comma-separated, as many as fit in `width` followed by "+N" for the N left
    out; a first name too long on its own is cut and ends in an ellipsis."""
    # Widths add up, so the names that can fit at all are found from a running sum, with room
    # for rounding; only those are then measured as the written text. A label of thousands of
    # names costs its first few.
    separator = text_width(", ")
    fitting, running = 0, 0.0
    for name in names:
        running += text_width(name) + (separator if fitting else 0.0)
        if running > width + 1e-6:
            break
        fitting += 1
    if fitting == len(names):
        whole = ", ".join(names)
        if text_width(whole) <= width:
            return whole
    for k in range(min(fitting + 1, len(names) - 1), 0, -1):
        text = ", ".join(names[:k]) + f" +{len(names) - k}"
        if text_width(text) <= width:
            return text
    rest = f" +{len(names) - 1}" if len(names) > 1 else ""
    first = names[0]
    while first and text_width(first + "\u2026" + rest) > width:
        first = first[:-1]
    return first + "\u2026" + rest


def listed(names: Sequence[str], limit: int = 40, separator: str = ", ") -> str:
    """Names for a hover title: all of them, or the first `limit` and how many more."""
    if len(names) <= limit:
        return separator.join(names)
    return separator.join(names[:limit]) + f"{separator}\u2026 (+{len(names) - limit})"


def introduced(
    concepts: Union[Sequence["Concept"], Mapping[int, "Concept"]],
    covers: Sequence[Tuple[int, int]],
    nodes: Sequence[int],
) -> Tuple[Dict[int, List[str]], Dict[int, List[str]]]:
    """The reduced labelling of the concepts `nodes`: the attributes each introduces (those of
    its intent that no upper cover has) and the objects each introduces (those of its extent
    that no lower cover has), each in the context's order. `covers` are the (upper, lower)
    pairs of the whole lattice, so that a part is labelled as the whole is."""
    wanted = set(nodes)
    uppers: Dict[int, List[int]] = {}
    lowers: Dict[int, List[int]] = {}
    for upper, lower in covers:
        if lower in wanted:
            uppers.setdefault(lower, []).append(upper)
        if upper in wanted:
            lowers.setdefault(upper, []).append(lower)
    intents: Dict[int, Set[str]] = {}
    extents: Dict[int, Set[str]] = {}

    def intent(c: int) -> Set[str]:
        if c not in intents:
            intents[c] = set(concepts[c]["intent"])
        return intents[c]

    def extent(c: int) -> Set[str]:
        if c not in extents:
            extents[c] = set(concepts[c]["extent"])
        return extents[c]

    above: Dict[int, List[str]] = {}
    below: Dict[int, List[str]] = {}
    for c in nodes:
        ups = [intent(u) for u in uppers.get(c, ())]
        downs = [extent(d) for d in lowers.get(c, ())]
        above[c] = [a for a in concepts[c]["intent"] if not any(a in s for s in ups)]
        below[c] = [o for o in concepts[c]["extent"] if not any(o in s for s in downs)]
    return above, below
