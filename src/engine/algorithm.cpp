#include "engine/algorithm.h"

#include <string>

#include "diagnostics/events.h"
#include "engine/enumerate.h"

namespace quorlan {
namespace {

constexpr const char* kGenerationFields[] = {"message", "algorithm", "concepts", "objects",
                                             "attributes"};
QUORLAN_COMPLETION_SITE(kNextClosureDone, "quorlan_engine::next_closure", kGenerationFields);
QUORLAN_COMPLETION_SITE(kInClose5Done, "quorlan_engine::in_close5", kGenerationFields);
QUORLAN_COMPLETION_SITE(kFcboDone, "quorlan_engine::fcbo", kGenerationFields);

// Every run ends here: its completion event (with the concepts found, kept or counted), then
// the result handed on.
EnumerationResult reported(const diagnostics::EventSite& site, std::string_view algorithm,
                           const Context& context, EnumerationResult out) {
  diagnostics::completed(site, "concept generation complete", algorithm, out.count,
                         context.n_objects(), context.n_attributes());
  return out;
}

}  // namespace

// The lectic order of intents is the pre-order of the tree of canonical extensions with siblings
// taken from the largest generating attribute down. Walking that tree, instead of searching each
// successor from the last attribute down, tries only the attributes after the generating one and
// keeps FCbO's pruning: the same intents in the same order, without the m candidate closures
// per step.
EnumerationResult NextClosure::compute(const Context& context,
                                       const EnumerationLimits& limits) const {
  return reported(kNextClosureDone, name(), context,
                  enumerate_concepts(context, SiblingOrder::kDescending, limits));
}

EnumerationResult InClose5::compute(const Context& context, const EnumerationLimits& limits) const {
  return reported(kInClose5Done, name(), context,
                  enumerate_concepts(context, SiblingOrder::kAscending, limits));
}

EnumerationResult FCbO::compute(const Context& context, const EnumerationLimits& limits) const {
  return reported(kFcboDone, name(), context,
                  enumerate_concepts(context, SiblingOrder::kAscending, limits));
}

const ConceptAlgorithm* algorithm_by_name(std::string_view name) {
  static const NextClosure kNextClosure;
  static const InClose5 kInClose5;
  static const FCbO kFcbo;
  struct Spelling {
    std::string_view text;
    const ConceptAlgorithm* algorithm;
  };
  static const Spelling kSpellings[] = {
      {"next-closure", &kNextClosure}, {"nc", &kNextClosure}, {"in-close-5", &kInClose5},
      {"in-close5", &kInClose5},       {"ic5", &kInClose5},   {"fcbo", &kFcbo},
  };
  if (name.empty()) return nullptr;
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Spelling& s : kSpellings) {
    if (folded == s.text) return s.algorithm;
  }
  return nullptr;
}

}  // namespace quorlan
