#include "core/interrupt.h"

#include "core/progress.h"

namespace quorlan {
namespace {

// The innermost scope of this thread, and its search's progress record.
thread_local InterruptScope* g_current_scope = nullptr;
thread_local SearchProgress* g_current_progress = nullptr;

}  // namespace

SearchProgress* current_progress() { return g_current_progress; }

ProgressScope::ProgressScope(SearchProgress* progress) : outer_(g_current_progress) {
  g_current_progress = progress;
}

ProgressScope::~ProgressScope() { g_current_progress = outer_; }

InterruptScope::InterruptScope(InterruptSource* source, std::chrono::nanoseconds interval)
    : source_(source),
      interval_(interval),
      last_(std::chrono::steady_clock::now()),
      outer_(g_current_scope) {
  g_current_scope = this;
}

InterruptScope::~InterruptScope() { g_current_scope = outer_; }

void InterruptScope::check() {
  if (source_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < interval_) return;
  last_ = now;
  if (source_->requested()) throw Interrupted{};
}

void check_interrupt() {
  if (g_current_scope != nullptr) g_current_scope->check();
}

}  // namespace quorlan
