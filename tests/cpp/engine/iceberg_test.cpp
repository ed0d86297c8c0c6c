// Bounded enumerations against the whole list: an iceberg is the full list of each algorithm
// with the concepts of fewer objects left out, order included, on every form of the context and
// for many supports; a count is the list's length; a maximum stops the walk just past it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/algorithm.h"
#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"
#include "order/covers.h"
#include "support/random_context.h"

namespace quorlan {
namespace {

using internal::dense_search;
using internal::DenseContext;
using internal::sparse_search;
using internal::SparseContext;

struct Shape {
  std::size_t n, m;
  double density;
};

// The concepts of `all` with at least `support` objects, as (extent, intent) index lists.
std::vector<std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>>> listed(
    const Lattice& all, std::size_t support) {
  std::vector<std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>>> out;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all.extents().count(i) < support) continue;
    out.emplace_back();
    all.extents().to_list(i, out.back().first);
    all.intents().to_list(i, out.back().second);
  }
  return out;
}

TEST(Iceberg, TheWholeListFilteredForEveryAlgorithmFormAndSupport) {
  const Shape shapes[] = {{1, 1, 1.0},      {8, 6, 0.5},    {40, 12, 0.3}, {120, 10, 0.6},
                          {150, 400, 0.01}, {12, 300, 0.1}, {60, 12, 0.7}, {25, 257, 0.05}};
  const ConceptAlgorithm* algorithms[] = {algorithm_by_name("next-closure"),
                                          algorithm_by_name("in-close-5"),
                                          algorithm_by_name("fcbo")};
  std::uint64_t seed = 100;
  for (const Shape& s : shapes) {
    const Context ctx = testing::random_context(++seed, s.n, s.m, s.density);
    for (const ConceptAlgorithm* a : algorithms) {
      const Lattice all = a->compute(ctx);
      for (std::size_t support : {std::size_t{0}, std::size_t{1}, std::size_t{2}, s.n / 10, s.n / 3,
                                  s.n / 2, s.n - 1, s.n}) {
        if (support > s.n) continue;  // the top, of every object, is always kept
        const std::string what = std::string(a->name()) + " " + std::to_string(s.n) + "x" +
                                 std::to_string(s.m) + " support " + std::to_string(support);
        const auto expected = listed(all, support);
        EnumerationLimits limits;
        limits.min_support = support;
        const EnumerationResult iceberg = a->compute(ctx, limits);
        ASSERT_TRUE(iceberg.complete) << what;
        ASSERT_EQ(listed(iceberg.lattice, 0), expected) << what;
        limits.count_only = true;
        const EnumerationResult counted = a->compute(ctx, limits);
        EXPECT_EQ(counted.count, expected.size()) << what;
        EXPECT_EQ(counted.lattice.size(), 0u) << what;
        // Each search on its own form, whichever the context would choose.
        limits.count_only = false;
        const SiblingOrder order = std::string(a->name()) == "next-closure"
                                       ? SiblingOrder::kDescending
                                       : SiblingOrder::kAscending;
        EXPECT_EQ(listed(dense_search(DenseContext(ctx, support), order, limits).lattice, 0),
                  expected)
            << what << " dense";
        EXPECT_EQ(listed(sparse_search(SparseContext(ctx, support), order, limits).lattice, 0),
                  expected)
            << what << " sparse";
      }
    }
  }
}

// An iceberg's covers are the lattice's covers between its concepts (every concept between two
// of them is in it), from either side and with every key shared, as the whole lattice's are.
TEST(Iceberg, CoversAreTheLatticesBetweenItsConcepts) {
  const Shape shapes[] = {{8, 6, 0.5},      {40, 12, 0.3},  {200, 10, 0.6},
                          {150, 400, 0.01}, {12, 300, 0.2}, {60, 14, 0.6}};
  std::uint64_t seed = 200;
  for (const Shape& s : shapes) {
    const Context ctx = testing::random_context(++seed, s.n, s.m, s.density);
    const Lattice all = FCbO().compute(ctx);
    for (std::size_t support : {std::size_t{1}, std::size_t{2}, s.n / 5, s.n / 2}) {
      EnumerationLimits limits;
      limits.min_support = support;
      const Lattice part = FCbO().compute(ctx, limits).lattice;
      // Concept k of the iceberg is concept at[k] of the whole list.
      std::vector<std::uint32_t> at;
      for (std::uint32_t i = 0; i < all.size(); ++i) {
        if (all.extents().count(i) >= support) at.push_back(i);
      }
      ASSERT_EQ(at.size(), part.size());
      std::vector<CoverPair> expected;
      for (const CoverPair& c : compute_covers(all)) {
        const auto lo = std::lower_bound(at.begin(), at.end(), c.first);
        const auto up = std::lower_bound(at.begin(), at.end(), c.second);
        if (lo == at.end() || *lo != c.first || up == at.end() || *up != c.second) continue;
        expected.emplace_back(static_cast<std::uint32_t>(lo - at.begin()),
                              static_cast<std::uint32_t>(up - at.begin()));
      }
      std::sort(expected.begin(), expected.end());
      const std::string what =
          std::to_string(s.n) + "x" + std::to_string(s.m) + " support " + std::to_string(support);
      for (const CoverSide side : {CoverSide::kAttributes, CoverSide::kObjects}) {
        for (const bool colliding : {false, true}) {
          if (colliding && part.size() > 3000) continue;  // every look-up in one long chain
          CoverOptions options;
          options.side = side;
          options.colliding_keys = colliding;
          ASSERT_EQ(compute_covers(part, options), expected) << what;
        }
      }
    }
  }
}

TEST(Iceberg, AMaximumStopsJustPastIt) {
  const Context ctx = testing::random_context(7, 60, 14, 0.4);
  const Lattice all = FCbO().compute(ctx);
  ASSERT_GT(all.size(), 50u);
  for (std::uint64_t max : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{49},
                            std::uint64_t{all.size() - 1}, std::uint64_t{all.size()}}) {
    EnumerationLimits limits;
    limits.max_concepts = max;
    const EnumerationResult r = FCbO().compute(ctx, limits);
    EXPECT_EQ(r.complete, max >= all.size()) << max;
    EXPECT_EQ(r.count, std::min<std::uint64_t>(max + 1, all.size())) << max;
  }
}

}  // namespace
}  // namespace quorlan
