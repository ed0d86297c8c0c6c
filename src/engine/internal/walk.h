// internal: include engine/enumerate.h or engine/canonical_base.h instead.
// The depth-first walk of the tree of canonical extensions that every search shares, with an
// explicit stack (no native recursion, whatever the depth), and the per-attribute memo of what
// refuted an attribute, which the searches hand down the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/concept.h"
#include "core/interrupt.h"
#include "core/progress.h"
#include "engine/limits.h"
#include "engine/sibling_order.h"

namespace quorlan::internal {

// What refuted an attribute j in an ancestor of the current node, and so refutes it in the
// whole subtree as long as it stays outside the intent: nothing yet, one refuting attribute
// (a witness), or every one of them, kept by the search at an offset of its own.
class Refutation {
 public:
  static Refutation none() { return Refutation(kNone); }
  static Refutation witness(std::uint32_t attribute) { return Refutation(kWitness | attribute); }
  static Refutation kept_at(std::size_t offset) { return Refutation(offset); }

  bool is_none() const { return word_ == kNone; }
  bool is_witness() const { return !is_none() && (word_ & kWitness) != 0; }
  std::uint32_t attribute() const { return static_cast<std::uint32_t>(word_ & ~kWitness); }
  std::size_t offset() const { return word_; }

 private:
  static constexpr std::size_t kNone = SIZE_MAX;
  static constexpr std::size_t kWitness = std::size_t{1} << 63;
  explicit Refutation(std::size_t word) : word_(word) {}
  std::size_t word_;
};

// The words of refuting attributes a search keeps on the current path at most (8 MiB): past
// that, a failure keeps only its witness, so that memory stays linear in the attributes however
// wide the context and however deep the tree.
inline constexpr std::size_t kRefutationBudgetWords = std::size_t{1} << 20;

// Per attribute, what made it fail in an ancestor of the current node. What a node learns holds
// in its whole subtree, so each change is logged and undone when the node's frame is popped.
class FailureMemo {
 public:
  explicit FailureMemo(std::size_t m) : at_(m, Refutation::none()) {}
  Refutation operator[](std::uint32_t j) const { return at_[j]; }
  void set(std::uint32_t j, Refutation what) {
    undo_.emplace_back(j, at_[j]);
    at_[j] = what;
  }
  std::size_t mark() const { return undo_.size(); }
  void undo_to(std::size_t mark) {
    for (; undo_.size() > mark; undo_.pop_back()) at_[undo_.back().first] = undo_.back().second;
  }

 private:
  std::vector<Refutation> at_;
  std::vector<std::pair<std::uint32_t, Refutation>> undo_;
};

// Where a search hands its concepts: into a lattice, or only counted, until there are more than
// the limits allow.
class ConceptOutput {
 public:
  ConceptOutput(std::size_t n, std::size_t m, const EnumerationLimits& limits)
      : lattice_(n, m), max_(limits.max_concepts), keep_(!limits.count_only) {}

  // False once more concepts than allowed were handed over: the walk then stops.
  bool open() const { return count_ <= max_; }
  std::uint64_t count() const { return count_; }
  template <class Push>
  void add(Push&& push) {
    ++count_;
    if (keep_) push(lattice_);
  }
  EnumerationResult result() && { return {std::move(lattice_), count_, count_ <= max_}; }

 private:
  Lattice lattice_;
  std::uint64_t count_ = 0, max_;
  bool keep_;
};

// A node on the stack: its children are the search's children [child_begin, child_end), `taken`
// of them visited.
struct FrameBase {
  std::size_t child_begin = 0, child_end = 0, taken = 0;
};

// The depth-first walk both searches share. search.expand_root() lists the root's children and
// returns its frame; search.descend(parent, c) emits child c of the parent and returns the
// child's own frame; search.leave(frame) restores whatever the frame's expansion changed;
// search.open() is false once the output wants no more; search.found() counts the concepts
// handed over, for a progress record when one is installed.
template <class Search>
void walk_tree(Search& search, SiblingOrder order) {
  using Frame = typename Search::Frame;
  InterruptTicker tick;
  SearchProgress* const progress = current_progress();
  std::vector<Frame> stack;
  stack.push_back(search.expand_root());
  if (progress != nullptr) progress->first_total = stack[0].child_end - stack[0].child_begin;
  while (!stack.empty() && search.open()) {
    tick();
    Frame& top = stack.back();
    if (progress != nullptr) {
      progress->found = search.found();
      if (stack.size() == 1) progress->first_done = top.taken;
    }
    if (top.taken < top.child_end - top.child_begin) {
      const std::size_t c = order == SiblingOrder::kAscending ? top.child_begin + top.taken
                                                              : top.child_end - 1 - top.taken;
      ++top.taken;
      Frame next = search.descend(top, c);
      stack.push_back(std::move(next));
    } else {
      search.leave(top);
      stack.pop_back();
    }
  }
}

}  // namespace quorlan::internal
