// The Duquenne–Guigues canonical base, by Ganter's algorithm: the sets closed under the
// implications found so far are visited in lectic order; each that is not an intent is a
// pseudo-intent P and yields P → P''.
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

CanonicalBase canonical_base(const Context& context);

}  // namespace quorlan
