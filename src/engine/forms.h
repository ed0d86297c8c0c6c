// The forms of a context the engine works on: bit-word rows and columns (most contexts), index
// lists (few incidences per object out of many attributes), or the transposed context (far
// more attributes than objects). The enumeration and the canonical base choose by these.
#pragma once

#include <cstddef>
#include <vector>

#include "core/context.h"

namespace quorlan {

// True when the context is sparse enough for the list-based form to beat bit words.
bool prefers_sparse_search(const Context& context);

// True when the context has so many more attributes than objects that the enumeration is
// better done on the transposed context.
bool prefers_transposed_search(const Context& context);

// Per attribute, whether at least `min_support` objects have it (all, for a support of 0): the
// forms of an iceberg's search leave the others out.
std::vector<bool> frequent_attributes(const Context& context, std::size_t min_support);

}  // namespace quorlan
