// The conversions of core records into Python values: concept and implication lists of dicts.
// Each result holds new lists and dicts, and one str per name that occurs in it, made on first
// use and shared by every occurrence (a fresh set of str objects per call).
#pragma once

#include <vector>

#include "core/concept.h"
#include "core/context.h"
#include "engine/canonical_base.h"
#include "python/errors.h"

namespace quorlan::py {

// [{"extent": [...], "intent": [...]}, ...] in the lattice's order.
Ref concept_dicts(const Context& context, const Lattice& lattice);
// [{"premise": [...], "conclusion": [...], "support": int, "confidence": float}, ...].
Ref implication_dicts(const Context& context, const std::vector<Implication>& implications);

}  // namespace quorlan::py
