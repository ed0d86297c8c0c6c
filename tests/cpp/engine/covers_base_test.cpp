#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "engine/forms.h"
#include "formats/read.h"
#include "order/covers.h"
#include "support/ganter_base.h"
#include "support/plain_drawing.h"
#include "support/random_context.h"
#include "support/reference.h"

namespace quorlan {
namespace {

using testing::context_from_rows;

TEST(Covers, WorkedExamples) {
  // Part of the contract is the order of the pairs.
  const Lattice diamond = NextClosure().compute(context_from_rows({"X.", ".X"}, 2));
  EXPECT_EQ(compute_covers(diamond), (std::vector<CoverPair>{{1, 0}, {2, 0}, {3, 1}, {3, 2}}));
  const Lattice one = NextClosure().compute(context_from_rows({"X"}, 1));
  EXPECT_TRUE(compute_covers(one).empty());
  const Lattice chain = FCbO().compute(context_from_rows({"X.", "XX", ".."}, 2));
  OrderCache cache;
  EXPECT_FALSE(cache.has_covers());
  EXPECT_EQ(cache.covers(chain), (std::vector<CoverPair>{{1, 0}, {2, 1}}));
  // Kept: the same object is returned.
  EXPECT_TRUE(cache.has_covers());
  EXPECT_EQ(&cache.covers(chain), &cache.covers(chain));
}

// Every way of taking the neighbour step: from either side, with either gathering, and with keys
// that all collide, so that every look-up rests on the exact check.
std::vector<CoverOptions> every_option(bool colliding) {
  std::vector<CoverOptions> out;
  for (CoverSide side : {CoverSide::kAttributes, CoverSide::kObjects}) {
    for (CoverGathering gathering : {CoverGathering::kScan, CoverGathering::kList}) {
      out.push_back({side, gathering, false});
      if (colliding) out.push_back({side, gathering, true});
    }
  }
  return out;
}

std::string describe(const CoverOptions& o) {
  return std::string(o.side == CoverSide::kAttributes ? "attributes" : "objects") +
         (o.gathering == CoverGathering::kScan ? " scanned" : " listed") +
         (o.colliding_keys ? " colliding" : "");
}

// The concepts of the lattice in another order (the top stays first).
Lattice shuffled(const Lattice& l, std::uint64_t seed) {
  std::vector<std::size_t> order(l.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::mt19937_64 rng(seed);
  if (order.size() > 2) std::shuffle(order.begin() + 1, order.end(), rng);
  Lattice out(l.n_objects(), l.n_attributes());
  std::vector<std::uint32_t> extent, intent;
  for (std::size_t i : order) {
    extent.clear();
    intent.clear();
    l.extents().to_list(i, extent);
    l.intents().to_list(i, intent);
    out.push_lists(extent.data(), extent.size(), intent.data(), intent.size());
  }
  return out;
}

// The lists of all three algorithms (the order decides which earlier concept a concept's keys
// are derived from), and a shuffled one.
TEST(Covers, EqualTripleLoopOnRandomLattices) {
  for (std::uint64_t k = 0; k < 300; ++k) {
    const Context ctx = testing::sweep_context(k, 9);
    std::vector<Lattice> lattices;
    for (const char* name : {"next-closure", "fcbo", "in-close-5"}) {
      lattices.push_back(algorithm_by_name(name)->compute(ctx));
    }
    lattices.push_back(shuffled(lattices[0], k));
    for (const Lattice& l : lattices) {
      const std::vector<CoverPair> want = reference::covers(l.concepts());
      ASSERT_EQ(compute_covers(l), want) << "case " << k;
      for (const CoverOptions& o : every_option(true)) {
        ASSERT_EQ(compute_covers(l, o), want) << "case " << k << " " << describe(o);
      }
    }
  }
}

// Larger lattices against the procedure the module used before (Lindig's step with a scan of
// each candidate's intent): dense, sparse (most attributes miss a given extent), wide and tall.
TEST(Covers, EqualPlainStepOnLargerLattices) {
  struct Shape {
    std::size_t n, m;
    double density;
  };
  const Shape shapes[] = {{200, 30, 0.1},  {200, 30, 0.3}, {60, 18, 0.5}, {80, 300, 0.01},
                          {60, 300, 0.01}, {15, 400, 0.3}, {400, 12, 0.5}};
  for (std::uint64_t seed = 0; seed < 7; ++seed) {
    const Shape& s = shapes[seed];
    const Context ctx = testing::random_context(seed, s.n, s.m, s.density);
    for (const char* name : {"next-closure", "fcbo"}) {
      const Lattice l = algorithm_by_name(name)->compute(ctx);
      const std::vector<CoverPair> want = reference::lindig_covers(l);
      ASSERT_EQ(compute_covers(l), want) << "shape " << seed << " " << name;
      for (const CoverOptions& o : every_option(l.size() < 2000)) {
        ASSERT_EQ(compute_covers(l, o), want) << "shape " << seed << " " << describe(o);
      }
    }
  }
  for (const char* name : {"animals_en.cxt", "tealady.cxt"}) {
    std::ifstream in(std::string(QUORLAN_TEST_DATA) + "/cxt/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const Lattice l = NextClosure().compute(read_context(ss.str(), name).value());
    const std::vector<CoverPair> want = reference::covers(l.concepts());
    for (const CoverOptions& o : every_option(true)) {
      ASSERT_EQ(compute_covers(l, o), want) << name << " " << describe(o);
    }
  }
}

TEST(CanonicalBase, WorkedExampleAndEdges) {
  const CanonicalBase base = canonical_base(context_from_rows({"XX", "X."}, 2));
  EXPECT_EQ(base.algorithm, "duquenne-guigues");
  ASSERT_EQ(base.implications.size(), 1u);
  EXPECT_EQ(base.implications[0].premise.count(), 0u);
  EXPECT_EQ(base.implications[0].conclusion.ones(), (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(base.implications[0].support, 2u);
  EXPECT_EQ(base.implications[0].confidence, 1.0);

  EXPECT_TRUE(canonical_base(context_from_rows({"", ""}, 0)).implications.empty());
  const CanonicalBase no_objects = canonical_base(context_from_rows({}, 3));
  ASSERT_EQ(no_objects.implications.size(), 1u);
  EXPECT_EQ(no_objects.implications[0].conclusion.count(), 3u);
  EXPECT_EQ(no_objects.implications[0].support, 0u);
  EXPECT_TRUE(canonical_base(context_from_rows({"X.", ".X", ".."}, 2)).implications.empty());
}

void expect_same_base(const CanonicalBase& want, const CanonicalBase& got,
                      const std::string& what) {
  ASSERT_EQ(want.implications.size(), got.implications.size()) << what;
  for (std::size_t i = 0; i < want.implications.size(); ++i) {
    const Implication& w = want.implications[i];
    const Implication& g = got.implications[i];
    ASSERT_TRUE(w.premise == g.premise) << what << " implication " << i;
    ASSERT_TRUE(w.conclusion == g.conclusion) << what << " implication " << i;
    ASSERT_EQ(w.support, g.support) << what << " implication " << i;
    ASSERT_EQ(w.confidence, g.confidence) << what;
  }
}

// Closing sets under the base gives their closures in the context (a spread of the sets).
void expect_complete(const Context& ctx, const CanonicalBase& base, const std::string& what) {
  const std::size_t m = ctx.n_attributes();
  for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << m); mask += 1 + (mask % 3)) {
    AttributeSet s = AttributeSet::empty(m);
    for (std::uint32_t j = 0; j < m; ++j) {
      if ((mask >> j) & 1u) s.insert(j);
    }
    AttributeSet t = s;
    for (bool grew = true; grew;) {
      grew = false;
      for (const Implication& imp : base.implications) {
        if (imp.premise.is_subset(t) && !imp.conclusion.is_subset(t)) {
          imp.conclusion.for_each([&](std::uint32_t x) { t.insert(x); });
          grew = true;
        }
      }
    }
    ASSERT_TRUE(t == reference::closure(ctx, s)) << what << " set " << mask;
  }
}

// The oracles a context is checked against, the cheap ones always.
struct Oracles {
  bool definition;  // premises = the pseudo-intents by their definition; conclusions, support
                    // and confidence by theirs; the base complete (up to 9 attributes)
  bool plain;       // the plain procedure, element by element
  bool every_form;  // on bit words and on lists, besides the form the search picks
};

// The base against the procedure without the tree walk, element by element, and the oracles
// asked for.
void expect_base_oracles(const Context& ctx, const std::string& what, Oracles oracles) {
  const CanonicalBase want = reference::ganter_base(ctx);
  std::vector<ClosureForm> forms = {ClosureForm::kAsSearched};
  if (oracles.every_form) forms = {ClosureForm::kBitWords, ClosureForm::kLists};
  for (const ClosureForm form : forms) {
    const CanonicalBase base = canonical_base(ctx, form);
    const std::string how = what + (form == ClosureForm::kLists ? " lists" : " words");
    expect_same_base(want, base, how);
    if (oracles.plain) expect_same_base(reference::canonical_base(ctx), base, how + " plain");
    if (!oracles.definition) continue;
    const std::vector<AttributeSet> pseudo = reference::pseudo_intents(ctx);
    ASSERT_EQ(base.implications.size(), pseudo.size()) << how;
    for (std::size_t i = 0; i < pseudo.size(); ++i) {
      const Implication& imp = base.implications[i];
      ASSERT_TRUE(imp.premise == pseudo[i]) << how << " implication " << i;
      ASSERT_TRUE(imp.conclusion == reference::closure(ctx, imp.premise)) << how;
      ASSERT_EQ(imp.support, ctx.extent(imp.premise).count()) << how;
      ASSERT_EQ(imp.confidence, 1.0) << how;
    }
    if (ctx.n_attributes() <= 9) expect_complete(ctx, base, how);
  }
}

// Seeded contexts of many shapes: a sweep of small ones; shapes with many pseudo-intents per
// intent (few objects over many attributes, or very dense or very sparse rows); larger dense and
// tall ones; wide sparse ones (the list form by default).
TEST(CanonicalBase, OraclesOnEveryShape) {
  const double densities[] = {0.05, 0.15, 0.5, 0.8, 0.95};
  struct Shape {
    const char* name;
    std::uint64_t cases;
    Oracles oracles;
    std::function<Context(std::uint64_t)> make;
  };
  const Shape shapes[] = {
      {"sweep",
       300,
       {true, true, false},
       [](std::uint64_t k) { return testing::sweep_context(k, 9); }},
      {"many pseudo-intents",
       240,
       {true, false, true},
       [&](std::uint64_t k) {
         const std::size_t n = k % 3 == 0 ? 1 + k % 5 : 5 + (k * 7) % 40;
         return testing::random_context(k + 1000, n, 6 + k % 7, densities[k % 5]);
       }},
      {"larger",
       16,
       {false, false, true},
       [](std::uint64_t k) {
         return testing::random_context(k, 40 + 20 * (k % 4), 16 + k % 9,
                                        0.2 + 0.1 * static_cast<double>(k % 4));
       }},
      {"wide sparse",
       16,
       {false, false, false},
       [](std::uint64_t k) {
         const Context ctx = testing::random_context(k, 25 + k, 260 + k, 0.01);
         EXPECT_TRUE(prefers_sparse_search(ctx)) << "case " << k;
         return ctx;
       }},
  };
  for (const Shape& shape : shapes) {
    for (std::uint64_t k = 0; k < shape.cases; ++k) {
      expect_base_oracles(shape.make(k), std::string(shape.name) + " case " + std::to_string(k),
                          shape.oracles);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

// The classic contexts shipped with the tests (the one with a title line read without it).
TEST(CanonicalBase, ClassicContexts) {
  for (const char* name :
       {"animals_en.cxt", "planets_en.cxt", "seasoningplanner_de.cxt", "tealady.cxt"}) {
    std::ifstream in(std::string(QUORLAN_TEST_DATA) + "/cxt/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    if (const std::size_t title = text.find("B\nGewuerzplaner\n"); title == 0) {
      text.replace(0, 16, "B\n\n");
    }
    const ContextResult ctx = read_context(text, name);
    ASSERT_TRUE(ctx.has_value()) << name << ": " << ctx.error().display();
    const CanonicalBase base = canonical_base(ctx.value());
    expect_same_base(reference::ganter_base(ctx.value()), base, name);
    if (ctx.value().n_attributes() <= 12) {
      const std::vector<AttributeSet> pseudo = reference::pseudo_intents(ctx.value());
      ASSERT_EQ(pseudo.size(), base.implications.size()) << name;
    }
  }
}

}  // namespace
}  // namespace quorlan
