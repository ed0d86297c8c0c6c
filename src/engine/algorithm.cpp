#include "engine/algorithm.h"

#include <string>

#include "engine/events.h"
#include "engine/search.h"

namespace quorlan {
namespace {

QUORLAN_GENERATION_SITE(kNextClosureDone, "quorlan_engine::next_closure");
QUORLAN_GENERATION_SITE(kInClose5Done, "quorlan_engine::in_close5");
QUORLAN_GENERATION_SITE(kFcboDone, "quorlan_engine::fcbo");

}  // namespace

// The lectic order of intents is the pre-order of the tree of canonical extensions with siblings
// taken from the largest generating attribute down. Walking that tree, instead of searching each
// successor from the last attribute down, tries only the attributes after the generating one and
// keeps FCbO's pruning: the same intents in the same order, without the m candidate closures
// per step.
Lattice NextClosure::compute(const Context& context) const {
  return reported(
      kNextClosureDone, name(),
      enumerate_concepts(context, CanonicityStrategy::kFailureSets, SiblingOrder::kDescending));
}

Lattice InClose5::compute(const Context& context) const {
  return reported(
      kInClose5Done, name(),
      enumerate_concepts(context, CanonicityStrategy::kColumnTest, SiblingOrder::kAscending));
}

Lattice FCbO::compute(const Context& context) const {
  return reported(
      kFcboDone, name(),
      enumerate_concepts(context, CanonicityStrategy::kFailureSets, SiblingOrder::kAscending));
}

const ConceptAlgorithm* algorithm_by_name(std::string_view name) {
  static const NextClosure next_closure;
  static const InClose5 in_close5;
  static const FCbO fcbo;
  struct Spelling {
    std::string_view text;
    const ConceptAlgorithm* algorithm;
  };
  static const Spelling spellings[] = {
      {"next-closure", &next_closure}, {"nc", &next_closure}, {"in-close-5", &in_close5},
      {"in-close5", &in_close5},       {"ic5", &in_close5},   {"fcbo", &fcbo},
  };
  if (name.empty()) return nullptr;
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Spelling& s : spellings) {
    if (folded == s.text) return s.algorithm;
  }
  return nullptr;
}

}  // namespace quorlan
