// Stopping long computations from outside. A caller that can be asked to stop (the Python
// module, on Ctrl-C) installs an InterruptSource for the current thread; the long loops of the
// core, the engine and the layout call an InterruptTicker once per unit of work, which every so
// many units looks at the clock and, every few tens of milliseconds, asks the source. A stop
// throws Interrupted, so every computation unwinds and frees what it built; no result of it
// is stored. With no source installed a tick costs a decrement.
//
// Which to use in a loop: for_polled (for_each_polled) for a counted loop over an index or a
// container whose steps cost about alike, the polling kept out of the body; an InterruptTicker
// for every other long loop (nested, while, steps of very different cost), ticked once per
// unit of work; resize_polled for a fill of a large vector.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quorlan {

// Thrown when the installed source asks the computation to stop.
struct Interrupted {};

class InterruptSource {
 public:
  virtual ~InterruptSource() = default;
  // True when the computation must stop; asked at most every interval of the scope.
  virtual bool requested() = 0;
};

// Installs a source for the current thread while it lives; scopes nest.
class InterruptScope {
 public:
  explicit InterruptScope(InterruptSource* source,
                          std::chrono::nanoseconds interval = std::chrono::milliseconds(20));
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  // Asks the source when the interval has passed since it was last asked; throws Interrupted
  // on a stop.
  void check();

 private:
  InterruptSource* source_;
  std::chrono::nanoseconds interval_;
  std::chrono::steady_clock::time_point last_;
  InterruptScope* outer_;
};

// The check of the current thread's scope, if there is one.
void check_interrupt();

// v.resize(n) a piece at a time, asking about a stop between the pieces: filling hundreds of
// megabytes is a long step of its own, which no stop could otherwise interrupt.
template <class Vector>
void resize_polled(Vector& v, std::size_t n, const typename Vector::value_type& value = {}) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  if (n > v.size()) v.reserve(n);
  while (v.size() < n) {
    check_interrupt();
    v.resize(n - v.size() > kPiece ? v.size() + kPiece : n, value);
  }
  v.resize(n, value);
}

// body(i) for every i in [begin, end), in order, asking about a stop before every `piece` of
// them: the polling stays out of the loop's body. For loops whose steps cost about alike.
template <class Body>
void for_polled(std::size_t begin, std::size_t end, Body&& body, std::size_t piece = 1024) {
  while (begin < end) {
    check_interrupt();
    const std::size_t stop = end - begin > piece ? begin + piece : end;
    for (std::size_t i = begin; i < stop; ++i) body(i);
    begin = stop;
  }
}

// body(x) for every element of a container, in order, polled in the same way.
template <class Container, class Body>
void for_each_polled(Container&& items, Body&& body, std::size_t piece = 1024) {
  for_polled(
      0, items.size(), [&](std::size_t i) { body(items[i]); }, piece);
}

// One per long loop: call it once per unit of work; units are counted in a register and the
// scope is consulted every `every` of them.
class InterruptTicker {
 public:
  explicit InterruptTicker(std::uint32_t every = 256) : every_(every), left_(every) {}
  void operator()() {
    if (--left_ == 0) {
      left_ = every_;
      check_interrupt();
    }
  }

 private:
  std::uint32_t every_, left_;
};

}  // namespace quorlan
