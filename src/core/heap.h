// The C library's heap: its free pages handed back to the system, where the library would keep
// them for reuse (glibc does; elsewhere this does nothing). Defined in core/internal/memory.cpp.
#pragma once

namespace quorlan {

void release_free_heap();

}  // namespace quorlan
