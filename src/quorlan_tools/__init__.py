"""quorlan_tools: what goes beyond the module quorlan, as functions over its own `Context` and
`Lattice` objects.

- Structure and navigation: `covers`, `upper_covers`, `lower_covers`, `up_set`, `down_set`,
  `join`, `meet`, `top`, `bottom`, `concept_of`, `layout`, `to_networkx`, `to_dot`.
- Large data: `iceberg`, `count_concepts`; measures `support`, `stability`, `delta_stability`;
  `association_rules` (the Luxenburger base).
- Data in and out: `read` (quorlan's formats and those of ConExp, ConExp-NG, Galicia and
  object-attribute lists), `from_pandas`, `from_array`, `scale`, `names`, `incidence`,
  `to_pandas`, `write`, `concepts_frame`, `implications_frame`.

A concept is its index in `lattice.concepts()`. The native part is the extension module
`_quorlan_tools`, built with quorlan from the same sources and shipped in the same wheel.
"""

from ._bounded import count_concepts, iceberg
from ._data import FORMATS, from_array, from_pandas, incidence, names, read, to_pandas
from ._measures import delta_stability, stability, support
from ._native import PanicException
from ._rules import association_rules
from ._scaling import scale
from ._structure import (
    Layout,
    bottom,
    concept_of,
    covers,
    down_set,
    join,
    layout,
    lower_covers,
    meet,
    to_dot,
    to_networkx,
    top,
    up_set,
    upper_covers,
)
from ._writers import WRITTEN, concepts_frame, implications_frame, write

__all__ = [
    "FORMATS",
    "Layout",
    "PanicException",
    "WRITTEN",
    "association_rules",
    "bottom",
    "concept_of",
    "concepts_frame",
    "count_concepts",
    "covers",
    "delta_stability",
    "down_set",
    "from_array",
    "from_pandas",
    "iceberg",
    "implications_frame",
    "incidence",
    "join",
    "layout",
    "lower_covers",
    "meet",
    "names",
    "read",
    "scale",
    "stability",
    "support",
    "to_dot",
    "to_networkx",
    "to_pandas",
    "top",
    "up_set",
    "upper_covers",
    "write",
]
