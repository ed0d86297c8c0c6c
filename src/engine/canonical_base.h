// The Duquenne–Guigues canonical base: the pseudo-intents P in lectic order, each with its
// implication P → P''. The sets closed under the implications found so far are visited in
// lectic order; each that is not an intent is a pseudo-intent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/sets.h"

namespace quorlan {

struct Implication {
  AttributeSet premise;
  AttributeSet conclusion;  // the full closure of the premise, premise included
  std::uint64_t support;    // objects having every attribute of the premise
  double confidence;        // always 1.0
};

struct CanonicalBase {
  std::string algorithm;                  // "duquenne-guigues"
  std::vector<Implication> implications;  // premises in ascending lectic order
};

// Which form of the context the closures are computed on; by default the one the concept search
// would take.
enum class ClosureForm { kAsSearched, kBitWords, kLists };

CanonicalBase canonical_base(const Context& context, ClosureForm form = ClosureForm::kAsSearched);

}  // namespace quorlan
