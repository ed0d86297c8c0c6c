// The cover relation of a concept list: the edges of its Hasse diagram, found from the concepts
// alone (no context needed).
#pragma once

#include <vector>

#include "core/concept.h"

namespace quorlan {

// Pairs (lower, upper), sorted by lower index, then upper index.
std::vector<CoverPair> compute_covers(const Lattice& lattice);

}  // namespace quorlan
