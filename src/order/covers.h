// The cover relation of a concept list: the edges of its Hasse diagram, found from the concepts
// alone (no context needed).
#pragma once

#include <vector>

#include "core/concept.h"

namespace quorlan {

// Where the neighbour step takes its candidates: lower neighbours from the attributes, upper
// neighbours from the objects, or (kAuto) from whichever of the two the context has fewer of.
enum class CoverSide { kAuto, kAttributes, kObjects };

// How the candidates a concept's lines meet are gathered: every candidate kept in a full array
// that is scanned afterwards (worth it when the lines are many more than the candidates, and
// then also derived from an earlier concept's array), only those met listed, or (kAuto) by the
// average sizes of the key sets and the lines.
enum class CoverGathering { kAuto, kScan, kList };

struct CoverOptions {
  CoverSide side = CoverSide::kAuto;
  CoverGathering gathering = CoverGathering::kAuto;
  // Tests only: every set gets the same key tag, so that all sets of one size share a key and
  // every look-up rests on the exact check alone.
  bool colliding_keys = false;
};

// Pairs (lower, upper), sorted by lower index, then upper index; the same for every option.
// Cost: per concept, the incidences between its own side and the candidates outside it (the
// rows of its extent on the attribute side, the columns of its intent on the object side).
std::vector<CoverPair> compute_covers(const Lattice& lattice, const CoverOptions& options = {});

}  // namespace quorlan
