#include "core/concept.h"

namespace quorlan {

std::vector<Concept> Lattice::concepts() const {
  std::vector<Concept> out;
  out.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) out.push_back(concept_at(i));
  return out;
}

}  // namespace quorlan
