#include "core/interrupt.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "layout/svg.h"
#include "order/covers.h"
#include "support/random_context.h"

namespace quorlan {
namespace {

// Asks for a stop at the given poll (1 = the first); counts the polls.
class StopAt final : public InterruptSource {
 public:
  explicit StopAt(int at) : at_(at) {}
  bool requested() override { return ++polls == at_; }
  int polls = 0;

 private:
  int at_;
};

// A context with 2^14 concepts: every object lacks exactly one attribute.
Context boolean_lattice_context(std::size_t n) {
  std::vector<std::string> rows;
  for (std::size_t i = 0; i < n; ++i) {
    std::string r(n, 'X');
    r[i] = '.';
    rows.push_back(r);
  }
  return testing::context_from_rows(rows, n);
}

TEST(Interrupt, EveryLongComputationStopsAndLeavesNothingHalfBuilt) {
  const Context ctx = boolean_lattice_context(14);
  const Lattice reference = FCbO().compute(ctx);
  const std::vector<CoverPair> covers = compute_covers(reference);
  const std::string svg = lattice_svg(reference);
  const std::size_t base_size =
      canonical_base(testing::random_context(3, 60, 14, 0.5)).implications.size();
  struct Case {
    const char* what;
    std::function<void(const Lattice& fresh, LatticeCache& cache)> run;
    bool covers_first = false;  // stop in the layout and the writing, not in the covers
  };
  const auto not_kept = [](const Lattice& fresh, LatticeCache& cache, auto part, auto kept) {
    try {
      part(fresh, cache);
    } catch (const Interrupted&) {
      EXPECT_FALSE(kept(cache));  // nothing half-made is kept
      throw;
    }
  };
  const Case cases[] = {
      {"next-closure", [&](const Lattice&, LatticeCache&) { NextClosure().compute(ctx); }},
      {"fcbo", [&](const Lattice&, LatticeCache&) { FCbO().compute(ctx); }},
      {"in-close-5", [&](const Lattice&, LatticeCache&) { InClose5().compute(ctx); }},
      {"canonical base",
       [&](const Lattice&, LatticeCache&) {
         canonical_base(testing::random_context(3, 60, 14, 0.5));
       }},
      {"covers",
       [&](const Lattice& fresh, LatticeCache& cache) {
         not_kept(
             fresh, cache, [](const Lattice& l, LatticeCache& c) { c.order.covers(l); },
             [](const LatticeCache& c) { return c.order.has_covers(); });
       }},
      {"layout and svg",
       [&](const Lattice& fresh, LatticeCache& cache) { lattice_svg(fresh, cache); }, true},
      {"html", [&](const Lattice& fresh, LatticeCache& cache) { lattice_html(fresh, cache); },
       true},
      {"svg from nothing", [&](const Lattice& fresh, LatticeCache&) { lattice_svg(fresh); }},
      {"kept order",
       [&](const Lattice& fresh, LatticeCache& cache) {
         not_kept(
             fresh, cache, [](const Lattice& l, LatticeCache& c) { lattice_svg(l, c); },
             [](const LatticeCache& c) { return c.filled(); });
       },
       true},
  };
  for (const Case& c : cases) {
    for (int at : {1, 3}) {
      const Lattice fresh = FCbO().compute(ctx);
      LatticeCache cache;
      if (c.covers_first) cache.order.covers(fresh);
      StopAt source(at);
      {
        const InterruptScope scope(&source, std::chrono::nanoseconds(0));
        EXPECT_THROW(c.run(fresh, cache), Interrupted) << c.what << " at poll " << at;
      }
      EXPECT_EQ(source.polls, at) << c.what;
      // Nothing of the stopped run was kept: the same lattice renders like an untouched one.
      EXPECT_EQ(cache.order.covers(fresh), covers) << c.what;
      EXPECT_EQ(lattice_svg(fresh, cache), svg) << c.what;
    }
  }
  // Without a scope, and with a scope whose source never asks, nothing stops.
  EXPECT_EQ(NextClosure().compute(ctx).size(), reference.size());
  StopAt never(-1);
  const InterruptScope scope(&never, std::chrono::nanoseconds(0));
  EXPECT_EQ(canonical_base(testing::random_context(3, 60, 14, 0.5)).implications.size(), base_size);
  EXPECT_GT(never.polls, 0);
}

TEST(Interrupt, ScopesNestAndANullSourceShieldsTheOuterOne) {
  StopAt outer(1);
  const InterruptScope a(&outer, std::chrono::nanoseconds(0));
  {
    const InterruptScope shield(nullptr);
    EXPECT_NO_THROW(check_interrupt());
  }
  EXPECT_THROW(check_interrupt(), Interrupted);
  // The interval holds back the source: asked once in the first hour.
  StopAt later(2);
  const InterruptScope b(&later, std::chrono::hours(1));
  for (int i = 0; i < 1000; ++i) check_interrupt();
  EXPECT_EQ(later.polls, 0);
}

}  // namespace
}  // namespace quorlan
