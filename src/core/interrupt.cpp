#include "core/interrupt.h"

namespace quorlan {
namespace {

thread_local InterruptScope* t_scope = nullptr;

}  // namespace

InterruptScope::InterruptScope(InterruptSource* source, std::chrono::nanoseconds interval)
    : source_(source),
      interval_(interval),
      last_(std::chrono::steady_clock::now()),
      outer_(t_scope) {
  t_scope = this;
}

InterruptScope::~InterruptScope() { t_scope = outer_; }

void InterruptScope::check() {
  if (source_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < interval_) return;
  last_ = now;
  if (source_->requested()) throw Interrupted{};
}

void check_interrupt() {
  if (t_scope != nullptr) t_scope->check();
}

}  // namespace quorlan
