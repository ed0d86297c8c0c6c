#include <gtest/gtest.h>

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "support/random_context.h"
#include "support/reference.h"

namespace quorlan {
namespace {

using testing::context_from_rows;

TEST(Covers, WorkedExamples) {
  // Part of the contract is the order of the pairs.
  const Lattice diamond = NextClosure().compute(context_from_rows({"X.", ".X"}, 2));
  EXPECT_EQ(diamond.covers(), (std::vector<CoverPair>{{1, 0}, {2, 0}, {3, 1}, {3, 2}}));
  const Lattice one = NextClosure().compute(context_from_rows({"X"}, 1));
  EXPECT_TRUE(one.covers().empty());
  const Lattice chain = FCbO().compute(context_from_rows({"X.", "XX", ".."}, 2));
  EXPECT_EQ(chain.covers(), (std::vector<CoverPair>{{1, 0}, {2, 1}}));
  // Cached: the same object is returned.
  EXPECT_EQ(&chain.covers(), &chain.covers());
}

TEST(Covers, EqualTripleLoopOnRandomLattices) {
  for (std::uint64_t k = 0; k < 300; ++k) {
    const Context ctx = testing::sweep_context(k, 9);
    for (const ConceptAlgorithm* a :
         {algorithm_by_name("next-closure"), algorithm_by_name("fcbo")}) {
      const Lattice l = a->compute(ctx);
      ASSERT_EQ(l.covers(), reference::covers(l.concepts())) << "case " << k << " " << a->name();
    }
  }
}

// Sparse contexts: most attributes miss every object of a given extent.
TEST(Covers, EqualTripleLoopOnSparseLattices) {
  for (std::uint64_t seed = 0; seed < 8; ++seed) {
    const Context ctx = testing::random_context(seed, 60 + 20 * (seed % 3), 300, 0.01);
    const Lattice l = algorithm_by_name("fcbo")->compute(ctx);
    ASSERT_EQ(l.covers(), reference::covers(l.concepts())) << "seed " << seed;
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

// Premises are exactly the pseudo-intents by definition, in lectic order; every implication holds;
// the base is complete; support and confidence are right; the plain procedure agrees.
TEST(CanonicalBase, OracleOnRandomContexts) {
  for (std::uint64_t k = 0; k < 300; ++k) {
    const Context ctx = testing::sweep_context(k, 9);
    const std::size_t m = ctx.n_attributes();
    const CanonicalBase base = canonical_base(ctx);
    const std::vector<AttributeSet> pseudo = reference::pseudo_intents(ctx);
    ASSERT_EQ(base.implications.size(), pseudo.size()) << "case " << k;
    for (std::size_t i = 0; i < pseudo.size(); ++i) {
      const Implication& imp = base.implications[i];
      ASSERT_TRUE(imp.premise == pseudo[i]) << "case " << k << " implication " << i;
      ASSERT_TRUE(imp.conclusion == reference::closure(ctx, imp.premise));
      ASSERT_EQ(imp.support, ctx.extent(imp.premise).count());
      ASSERT_EQ(imp.confidence, 1.0);
    }
    // The plain procedure, element by element.
    const CanonicalBase plain = reference::canonical_base(ctx);
    ASSERT_EQ(plain.implications.size(), base.implications.size()) << "case " << k;
    for (std::size_t i = 0; i < plain.implications.size(); ++i) {
      const Implication& p = plain.implications[i];
      const Implication& f = base.implications[i];
      ASSERT_TRUE(p.premise == f.premise && p.conclusion == f.conclusion) << "case " << k;
      ASSERT_EQ(p.support, f.support);
      ASSERT_EQ(p.confidence, f.confidence);
    }
    // Completeness: closing any set under the base gives its closure in the context.
    for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << m); mask += 1 + (mask % 3)) {
      AttributeSet t = AttributeSet::empty(m);
      for (std::uint32_t j = 0; j < m; ++j) {
        if ((mask >> j) & 1u) t.insert(j);
      }
      for (bool grew = true; grew;) {
        grew = false;
        for (const Implication& imp : base.implications) {
          if (imp.premise.is_subset(t) && !imp.conclusion.is_subset(t)) {
            imp.conclusion.for_each([&](std::uint32_t x) { t.insert(x); });
            grew = true;
          }
        }
      }
      AttributeSet s = AttributeSet::empty(m);
      for (std::uint32_t j = 0; j < m; ++j) {
        if ((mask >> j) & 1u) s.insert(j);
      }
      ASSERT_TRUE(t == reference::closure(ctx, s)) << "case " << k;
    }
  }
}

}  // namespace
}  // namespace quorlan
