// Measures of a concept's interest, aligned with the lattice's list: the intensional stability
// (Kuznetsov 1990, 2007) by the recursion over the ideal, and the Δ-measure (the extent's size
// minus the largest extent just below it; Buzmakov, Kuznetsov and Napoli 2014).
#pragma once

#include <cstdint>
#include <vector>

#include "core/concept.h"
#include "core/context.h"

namespace quorlan {

// σ(c) = the fraction of the subsets X of c's extent A with X' = B, c's intent. Every subset of
// A generates one concept at or below c, so σ(c) = 1 − Σ_{d < c} σ(d)·2^{|A_d| − |A_c|}, taken
// in ascending order of extent size. Exact up to floating point (a term below 2^−1074 is 0).
// Cost: every pair of concepts of different extent sizes is compared once (words of the
// smaller side), so quadratic in the concepts: a few seconds for 50,000.
std::vector<double> stability(const Lattice& lattice);

// Δ(c) = |A| − max over the attributes m outside B of |A ∩ m'| (|A| when B holds every
// attribute): the lower neighbours' extents are exactly the largest sets A ∩ m'. Computed from
// the context, so an iceberg's concepts get their value in the whole lattice. Cost: the rows of
// every extent.
std::vector<std::uint32_t> delta_stability(const Lattice& lattice, const Context& context);

}  // namespace quorlan
