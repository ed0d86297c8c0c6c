// The order's answers from the context (neighbours by Lindig's count, the Hasse diagram of a
// set of shown concepts) against the cover relation, on random contexts of many shapes, among
// them sparse and wide ones whose rows and sets are kept as lists.
#include "order/lattice_order.h"

#include <gtest/gtest.h>

#include "engine/algorithm.h"
#include "order/covers.h"
#include "support/random_context.h"

namespace quorlan {
namespace {

struct Shape {
  std::size_t n, m;
  double density;
};

TEST(LatticeOrder, NeighboursAndShownCoversAreTheCoverRelation) {
  const Shape shapes[] = {{0, 0, 0.0},     {1, 3, 0.5},      {6, 5, 0.4}, {30, 12, 0.3},
                          {12, 300, 0.05}, {400, 300, 0.01}, {60, 8, 0.7}};
  std::uint64_t seed = 0;
  for (const Shape& s : shapes) {
    for (int k = 0; k < 3; ++k) {
      const Context ctx = testing::random_context(++seed, s.n, s.m, s.density);
      const Lattice lattice = FCbO().compute(ctx);
      const std::vector<CoverPair> covers = compute_covers(lattice);
      const LatticeOrder order(lattice, ctx);
      const CoversByUpper by_upper(lattice.size(), covers);
      for (std::uint32_t i = 0; i < lattice.size(); ++i) {
        IndexList up, down;
        for (const CoverPair& c : covers) {
          if (c.first == i) up.push_back(c.second);
          if (c.second == i) down.push_back(c.first);
        }
        ASSERT_EQ(order.upper_neighbours(i), up) << "seed " << seed << " concept " << i;
        ASSERT_EQ(order.lower_neighbours(i), down) << "seed " << seed << " concept " << i;
        ASSERT_EQ(upper_covers_in(covers, i), up);
        ASSERT_EQ(by_upper.lower_covers(i), down);
      }
      IndexList all;
      for (std::uint32_t i = 0; i < lattice.size(); ++i) all.push_back(i);
      EXPECT_EQ(shown_covers(lattice, all), covers) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace quorlan
