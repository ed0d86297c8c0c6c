#include "core/panic.h"

namespace quorlan {

void panic(const std::string& message) { throw Panic(message); }

}  // namespace quorlan
