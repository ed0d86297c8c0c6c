// The depth-first walk of the tree of canonical extensions that every search shares, with an
// explicit stack (no native recursion, whatever the depth), and the per-attribute memo of what
// refuted an attribute, which FCbO's pruning hands down the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/interrupt.h"
#include "engine/enumerate.h"

namespace quorlan {

// Per attribute, what made it fail in an ancestor of the current node. What a node learns holds
// in its whole subtree, so each change is logged and undone when the node's frame is popped.
template <class T>
class FailureMemo {
 public:
  FailureMemo(std::size_t m, T none) : at_(m, none) {}
  const T& operator[](std::uint32_t j) const { return at_[j]; }
  void set(std::uint32_t j, T what) {
    undo_.emplace_back(j, at_[j]);
    at_[j] = what;
  }
  std::size_t mark() const { return undo_.size(); }
  void undo_to(std::size_t mark) {
    for (; undo_.size() > mark; undo_.pop_back()) at_[undo_.back().first] = undo_.back().second;
  }

 private:
  std::vector<T> at_;
  std::vector<std::pair<std::uint32_t, T>> undo_;
};

// A node on the stack: its children are the search's children [child_begin, child_end), `taken`
// of them visited.
struct FrameBase {
  std::size_t child_begin = 0, child_end = 0, taken = 0;
};

// The depth-first walk both searches share. search.expand_root() lists the root's children and
// returns its frame; search.descend(parent, c) emits child c of the parent and returns the
// child's own frame; search.leave(frame) restores whatever the frame's expansion changed.
template <class Search>
void walk_tree(Search& search, SiblingOrder order) {
  using Frame = typename Search::Frame;
  InterruptTicker tick;
  std::vector<Frame> stack;
  stack.push_back(search.expand_root());
  while (!stack.empty()) {
    tick();
    Frame& top = stack.back();
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

}  // namespace quorlan
