// Ganter's procedure for the canonical base with LinClosure, without the tree walk.
#pragma once

#include "core/context.h"
#include "engine/canonical_base.h"

namespace quorlan::reference {

CanonicalBase ganter_base(const Context& context);

}  // namespace quorlan::reference
