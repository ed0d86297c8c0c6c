#include "core/interrupt.h"

namespace quorlan {
namespace {

// The innermost scope of this thread.
thread_local InterruptScope* g_current_scope = nullptr;

}  // namespace

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
