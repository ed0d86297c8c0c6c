// Items grouped by a small integer key, in two passes and no comparison (a counting sort): the
// relation turned around, a list bucketed by one of its fields.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/interrupt.h"

namespace quorlan {

// Group k is items[start[k], start[k + 1]), its items in the order they were given.
template <class Item>
struct Grouped {
  std::vector<std::size_t> start;
  std::vector<Item> items;

  std::size_t groups() const { return start.size() - 1; }
  std::size_t size(std::size_t k) const { return start[k + 1] - start[k]; }
  const Item* begin(std::size_t k) const { return items.data() + start[k]; }
  const Item* end(std::size_t k) const { return items.data() + start[k + 1]; }
};

// The items that `give` hands over, grouped by their keys, all below `keys`. give(put) calls
// put(key, item) for every item, and is called twice, handing over the same items in the same
// order: once to count them, once to place them. A long `give` polls for a stop itself.
//
// The groups go into any `Out` with members `start` and `items` of Grouped's kind (vectors, or
// other arrays with size, reserve, resize, indexing, begin and end); group_by_key is Grouped.
template <class Out, class Give>
Out group_by_key_into(std::size_t keys, Give&& give) {
  using Item = typename decltype(Out::items)::value_type;
  Out out;
  resize_polled(out.start, keys + 1);
  give([&](std::size_t k, const Item&) { ++out.start[k + 1]; });
  for (std::size_t k = 0; k < keys; ++k) out.start[k + 1] += out.start[k];
  resize_polled(out.items, out.start[keys]);
  // Each item goes to the next free place of its group, which start[k] keeps meanwhile: after
  // the pass it holds where group k + 1 begins, and the starts move up by one.
  give([&](std::size_t k, const Item& item) { out.items[out.start[k]++] = item; });
  std::copy_backward(out.start.begin(), out.start.end() - 1, out.start.end());
  out.start[0] = 0;
  return out;
}

template <class Item, class Give>
Grouped<Item> group_by_key(std::size_t keys, Give&& give) {
  return group_by_key_into<Grouped<Item>>(keys, std::forward<Give>(give));
}

}  // namespace quorlan
