// How far a long search has come, for whoever watches it: the walk writes the record on its own
// thread, and the interrupt source of that same thread reads it when it is asked about a stop,
// so nothing is shared between threads. With no record installed, the walk writes nothing.
#pragma once

#include <cstdint>

namespace quorlan {

struct SearchProgress {
  std::uint64_t found = 0;        // concepts found so far
  std::uint64_t first_done = 0;   // children of the root whose subtrees are done
  std::uint64_t first_total = 0;  // children of the root
};

// The record of this thread's search, or null.
SearchProgress* current_progress();

// Installs a record for the current thread while it lives.
class ProgressScope {
 public:
  explicit ProgressScope(SearchProgress* progress);
  ~ProgressScope();
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

 private:
  SearchProgress* outer_;
};

}  // namespace quorlan
