"""The explorer: a view made interactive in the page, by a script of its own (explorer.js)."""

from __future__ import annotations

import base64
import json
import os
import zlib
from importlib import resources
from typing import Any, Dict, Optional, Union

import quorlan
from quorlan_tools._native import native

from ._view import MAX_CONCEPTS, View, labelled

_SCRIPT = resources.files(__package__).joinpath("explorer.js").read_text(encoding="utf-8")
# Styles by class, the same for every explorer; what each shows is in its own element's class.
_STYLE = """<style>
.quorlan-explorer{outline:none;font-family:system-ui,sans-serif}
.quorlan-explorer:focus-visible{outline:1px dotted #888}
.quorlan-explorer .quorlan-bar{display:flex;gap:.6em;align-items:center;margin:0 0 4px;
font-size:.85em;color:#666}
.quorlan-explorer .quorlan-bar[hidden],.quorlan-explorer .quorlan-panel[hidden]{display:none}
.quorlan-explorer .quorlan-search{width:16em}
.quorlan-explorer .quorlan-search.quorlan-nomatch{outline:2px solid #d62728}
.quorlan-explorer svg.quorlan-zoomable{touch-action:none;cursor:grab;border:1px solid #eee}
.quorlan-explorer svg circle{cursor:pointer}
.quorlan-explorer circle.selected{fill:#d62728;stroke:#600}
.quorlan-explorer circle.up{fill:#6fa8dc}
.quorlan-explorer circle.down{fill:#f6b26b}
.quorlan-explorer line.hl,.quorlan-explorer polyline.hl{stroke:#111;stroke-width:2.5}
.quorlan-explorer.quorlan-active circle:not(.selected):not(.up):not(.down){opacity:.25}
.quorlan-explorer.quorlan-active line:not(.hl),
.quorlan-explorer.quorlan-active polyline:not(.hl){opacity:.15}
.quorlan-explorer.quorlan-active text[data-concept]:not(.hl){opacity:.3}
.quorlan-explorer .quorlan-panel{margin-top:4px;padding:6px 8px;border:1px solid #ddd;
border-radius:4px;font-size:.85em}
.quorlan-explorer .quorlan-head{font-weight:600;margin-bottom:2px}
.quorlan-explorer .quorlan-names{max-height:8em;overflow:auto;font-family:monospace;
overflow-wrap:anywhere}
</style>"""
_HINT = (
    "click a concept &middot; &uarr;&darr; covers &middot; &larr;&rarr; its layer &middot; "
    "Esc clears &middot; wheel or pinch zooms, drag pans"
)


def _json(data: Dict[str, Any]) -> str:
    # Inside a script element no "<" may stand (it could end the element), nor "&" or ">".
    text = json.dumps(data, ensure_ascii=False, separators=(",", ":"))
    return text.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026")


class Explorer:
    """A view that the notebook makes interactive, made by `explore`.

    Clicking a concept selects it: its circle gets the class `selected`, those of its filter
    (the concepts above it) `up`, those of its ideal (below it) `down`; the lines and labels
    among them stay, the rest is dimmed, and a panel lists its index in `lattice.concepts()`
    and its whole extent and intent. Clicking the background clears. A search box selects the
    concept of an object or attribute by its name (case-insensitive; exact matches first, then
    the first whose name starts so; objects before attributes). Keys: up and down move to the
    leftmost upper or lower cover, left and right along the layer, Escape clears. The wheel, a
    pinch or a drag zooms and pans; a button resets. Jupyter shows it through `_repr_html_`, a
    fragment with its own script and style and no network access; where scripts do not run,
    the same labelled picture shows, static. `save(path)` writes a standalone HTML page.
    """

    def __init__(self, view: View):
        self.view = view  #: the labelled view it shows
        self.n_concepts = view.n_concepts  #: how many concepts it shows

    def __repr__(self) -> str:
        return f"Explorer(concepts={self.n_concepts}, labels={self.view.n_labels})"

    def _data(self) -> Dict[str, Any]:
        drawn = self.view._drawn
        # The objects and attributes of the concepts shown (those of the labels), in the
        # context's order, and the incidence between them, from which the page finds each
        # concept's extent and intent.
        objects = sorted({k for at in drawn.object_labels for k in at})
        attributes = sorted({k for at in drawn.attribute_labels for k in at})
        column = {k: j for j, k in enumerate(attributes)}
        rows = native.rows_over(drawn.lattice, objects, attributes)
        return {
            "nodes": [[n.concept, n.layer] for n in drawn.arranged.nodes],
            "edges": [list(e) for e in drawn.edges],
            "objects": [drawn.objects[k] for k in objects],
            "attributes": [drawn.attributes[k] for k in attributes],
            "att": [[column[k] for k in at] for at in drawn.attribute_labels],
            "width": len(rows) // max(len(objects), 1),
            "rows": base64.b64encode(rows).decode(),
        }

    def _repr_html_(self) -> str:
        body = self.view._body
        Explorer._shown += 1  # ids unique in a page, and the same when a notebook runs again
        ident = f"quorlan-explorer-{zlib.crc32(body.encode()):08x}-{Explorer._shown}"
        return (
            f'<div class="quorlan-explorer" id="{ident}" tabindex="0">{_STYLE}'
            '<div class="quorlan-bar" hidden><input class="quorlan-search" type="search" '
            'placeholder="object or attribute" aria-label="find an object or attribute">'
            '<button type="button" class="quorlan-reset">reset zoom</button>'
            f"<span>{_HINT}</span></div>"
            '<div class="quorlan-stage" style="max-width:100%;overflow-x:auto">'
            f"{body}</div>"
            '<div class="quorlan-panel" hidden><div class="quorlan-head"></div>'
            '<div class="quorlan-objects">objects: <div class="quorlan-names"></div></div>'
            '<div class="quorlan-attributes">attributes: <div class="quorlan-names"></div>'
            "</div></div>"
            f'<script type="application/json" class="quorlan-data">{_json(self._data())}'
            f"</script><script>{_SCRIPT.rstrip()}({json.dumps(ident)});</script></div>"
        )

    _shown = 0  # explorers shown in this process, for unique ids

    def html(self) -> str:
        """A standalone HTML page of the explorer."""
        return (
            '<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">'
            "<title>quorlan lattice</title></head><body>\n"
            + self._repr_html_()
            + "\n</body></html>\n"
        )

    def save(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the explorer as a standalone HTML page to `path`, a name ending in .html."""
        suffix = os.path.splitext(os.fspath(path))[1].lower()
        if suffix not in (".html", ".htm"):
            raise ValueError(
                f"cannot save an explorer as {suffix or 'a file without a suffix'}"
                ": the name must end in .html"
            )
        with open(path, "w", encoding="utf-8") as f:
            f.write(self.html())


def explore(
    x: Union[View, "quorlan.Lattice"],
    *,
    sizes: Optional[bool] = None,
    labels: Optional[str] = None,
    max_concepts: int = MAX_CONCEPTS,
) -> Explorer:
    """An `Explorer` of `x`: a `View` from `labelled` or `part`, or a `quorlan.Lattice`, drawn
    as `labelled` draws it (with its `sizes`, `labels` and `max_concepts`)."""
    if isinstance(x, View):
        if sizes is not None or labels is not None:
            raise TypeError(
                "explore(view) takes no sizes or labels: they are the view's own; "
                "pass them to labelled() or part()"
            )
        return Explorer(x)
    if type(x) is not quorlan.Lattice:
        raise TypeError(
            f"x must be a quorlan_view.View or a quorlan.Lattice, not {type(x).__name__}"
        )
    lat: "quorlan.Lattice" = x
    return Explorer(
        labelled(
            lat,
            sizes=False if sizes is None else sizes,
            labels="reduced" if labels is None else labels,
            max_concepts=max_concepts,
        )
    )
