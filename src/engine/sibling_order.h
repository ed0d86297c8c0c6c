// The order in which the enumeration takes the children of a node of the tree of canonical
// extensions: by ascending generating attribute (the depth-first pre-order of FCbO and
// In-Close) or by descending one, which lists the intents in lectic order (NextClosure's).
#pragma once

namespace quorlan {

enum class SiblingOrder { kAscending, kDescending };

}  // namespace quorlan
