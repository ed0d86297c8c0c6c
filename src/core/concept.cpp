#include "core/concept.h"

#include "core/covers.h"

namespace quorlan {

std::vector<Concept> Lattice::concepts() const {
  std::vector<Concept> out;
  out.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) out.push_back(concept_at(i));
  return out;
}

const std::vector<CoverPair>& Lattice::covers() const {
  if (!covers_) covers_ = std::make_unique<std::vector<CoverPair>>(compute_covers(*this));
  return *covers_;
}

}  // namespace quorlan
