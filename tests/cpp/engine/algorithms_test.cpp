#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "engine/algorithm.h"
#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"
#include "engine/internal/wide_search.h"
#include "support/random_context.h"
#include "support/recorder.h"
#include "support/reference.h"

namespace quorlan {
namespace {

using testing::context_from_rows;
using testing::sweep_context;

void expect_same_list(const std::vector<Concept>& expected, const Lattice& actual,
                      const std::string& what) {
  ASSERT_EQ(expected.size(), actual.size()) << what;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Concept c = actual.concept_at(i);
    ASSERT_TRUE(c.extent == expected[i].extent) << what << " concept " << i;
    ASSERT_TRUE(c.intent == expected[i].intent) << what << " concept " << i;
  }
}

std::vector<std::vector<std::uint32_t>> sorted_intents(const std::vector<Concept>& cs) {
  std::vector<std::vector<std::uint32_t>> out;
  for (const Concept& c : cs) out.push_back(c.intent.ones());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Registry, NamesAliasesAndFolding) {
  struct Case {
    const char* name;
    const char* expected;  // nullptr: nothing
  };
  const Case cases[] = {
      {"next-closure", "next-closure"},
      {"NC", "next-closure"},
      {"Next-Closure", "next-closure"},
      {"in-close-5", "in-close-5"},
      {"In-Close5", "in-close-5"},
      {"IC5", "in-close-5"},
      {"FCBO", "fcbo"},
      {"", nullptr},
      {"inclose5", nullptr},
      {"next_closure", nullptr},
      {" fcbo", nullptr},
      {"nextclosure", nullptr},
      {"in_close_5", nullptr},
      {"FC\xC3\x89O", nullptr},
  };
  for (const Case& c : cases) {
    const ConceptAlgorithm* a = algorithm_by_name(c.name);
    if (c.expected == nullptr) {
      EXPECT_EQ(a, nullptr) << c.name;
    } else {
      ASSERT_NE(a, nullptr) << c.name;
      EXPECT_STREQ(a->name(), c.expected);
    }
  }
  EXPECT_STREQ(ALGORITHM_NAMES[0], "next-closure");
  EXPECT_STREQ(ALGORITHM_NAMES[1], "in-close-5");
  EXPECT_STREQ(ALGORITHM_NAMES[2], "fcbo");
}

TEST(Algorithms, WorkedExampleOrders) {
  const Context ctx = context_from_rows({"X.", ".X"}, 2);
  const auto intents = [](const Lattice& l) {
    std::vector<std::vector<std::uint32_t>> out;
    for (std::size_t i = 0; i < l.size(); ++i) out.push_back(l.concept_at(i).intent.ones());
    return out;
  };
  using V = std::vector<std::vector<std::uint32_t>>;
  EXPECT_EQ(intents(NextClosure().compute(ctx)), (V{{}, {1}, {0}, {0, 1}}));
  EXPECT_EQ(intents(FCbO().compute(ctx)), (V{{}, {0}, {0, 1}, {1}}));
  EXPECT_EQ(intents(InClose5().compute(ctx)), (V{{}, {0}, {0, 1}, {1}}));
}

TEST(Algorithms, DegenerateContexts) {
  const NextClosure nc;
  const FCbO fc;
  const InClose5 ic;
  for (const ConceptAlgorithm* a : std::initializer_list<const ConceptAlgorithm*>{&nc, &fc, &ic}) {
    const Lattice none = a->compute(context_from_rows({}, 0));
    ASSERT_EQ(none.size(), 1u) << a->name();
    const Lattice no_objects = a->compute(context_from_rows({}, 3));
    ASSERT_EQ(no_objects.size(), 1u);
    EXPECT_EQ(no_objects.concept_at(0).intent.count(), 3u);
    const Lattice no_attributes = a->compute(context_from_rows({"", "", ""}, 0));
    ASSERT_EQ(no_attributes.size(), 1u);
    EXPECT_EQ(no_attributes.concept_at(0).extent.count(), 3u);
    const Lattice full = a->compute(context_from_rows({"XXX", "XXX"}, 3));
    ASSERT_EQ(full.size(), 1u);
    EXPECT_EQ(full.concept_at(0).extent.count(), 2u);
  }
}

// Every fast algorithm equals its plain procedure element by element, and the three agree with
// a brute-force enumeration as sets; several hundred seeded contexts of varied shape.
TEST(Algorithms, EqualPlainProceduresOnRandomContexts) {
  for (std::uint64_t k = 0; k < 400; ++k) {
    const Context ctx = sweep_context(k, 12);
    const std::string what = "case " + std::to_string(k) + " (" + std::to_string(ctx.n_objects()) +
                             "x" + std::to_string(ctx.n_attributes()) + ")";
    const std::vector<Concept> nc = reference::next_closure(ctx);
    const std::vector<Concept> cbo = reference::close_by_one(ctx);
    expect_same_list(nc, NextClosure().compute(ctx), what + " next-closure");
    expect_same_list(cbo, FCbO().compute(ctx), what + " fcbo");
    expect_same_list(cbo, InClose5().compute(ctx), what + " in-close-5");
    const SparseContext sparse(ctx);
    const DenseContext dense(ctx);
    constexpr auto kFailureSets = CanonicityStrategy::kFailureSets;
    constexpr auto kColumnTest = CanonicityStrategy::kColumnTest;
    constexpr auto kAscending = SiblingOrder::kAscending, kDescending = SiblingOrder::kDescending;
    expect_same_list(cbo, dense_search(dense, kAscending), what + " dense");
    expect_same_list(nc, dense_search(dense, kDescending), what + " dense descending");
    expect_same_list(cbo, transposed_search(ctx, kAscending), what + " transposed");
    expect_same_list(nc, transposed_search(ctx, kDescending), what + " transposed descending");
    expect_same_list(cbo, sparse_search(sparse, kFailureSets, kAscending), what + " sparse fcbo");
    expect_same_list(cbo, sparse_search(sparse, kColumnTest, kAscending), what + " sparse ic");
    expect_same_list(nc, sparse_search(sparse, kFailureSets, kDescending), what + " sparse nc");
    expect_same_list(nc, sparse_search(sparse, kColumnTest, kDescending), what + " sparse desc ic");
    const auto truth = sorted_intents(reference::brute_force(ctx));
    ASSERT_EQ(sorted_intents(nc), truth) << what;
    ASSERT_EQ(sorted_intents(cbo), truth) << what;
    if (::testing::Test::HasFailure()) return;
  }
}

// Rows stored all as lists or all as bit words give every algorithm, on either search, the same
// lists as the context stored by density.
TEST(Algorithms, EqualOnRowsStoredEitherWay) {
  const NextClosure nc;
  const FCbO fc;
  const InClose5 ic;
  for (std::uint64_t k = 0; k < 200; ++k) {
    const Context ctx =
        k % 2 == 0 ? sweep_context(k, 12)
                   : testing::random_context(k, 60, 300 + k, 0.004 * static_cast<double>(k % 7));
    const std::vector<Concept> cbo = reference::close_by_one(ctx);
    const std::vector<Concept> lectic = reference::next_closure(ctx);
    for (const SetForm form : {SetForm::kList, SetForm::kWords}) {
      const Context stored = ctx.with_rows_as(form);
      ASSERT_EQ(prefers_sparse_search(stored), prefers_sparse_search(ctx));
      const std::string what =
          "case " + std::to_string(k) + (form == SetForm::kList ? " lists" : " words");
      expect_same_list(cbo, fc.compute(stored), what + " fcbo");
      expect_same_list(cbo, ic.compute(stored), what + " in-close-5");
      expect_same_list(lectic, nc.compute(stored), what + " next-closure");
      expect_same_list(cbo, dense_search(DenseContext(stored), SiblingOrder::kAscending),
                       what + " dense");
      expect_same_list(cbo,
                       sparse_search(SparseContext(stored), CanonicityStrategy::kFailureSets,
                                     SiblingOrder::kAscending),
                       what + " sparse");
    }
    if (::testing::Test::HasFailure()) return;
  }
}

// Sparse contexts (many objects and attributes, 0.1 % to 2 % density) take the list-based
// search; it must still equal the plain procedures element by element.
TEST(Algorithms, SparseContextsMatchPlainProcedures) {
  const double densities[] = {0.001, 0.005, 0.01, 0.02};
  for (std::uint64_t seed = 0; seed < 24; ++seed) {
    const double d = densities[seed % 4];
    const Context ctx =
        testing::random_context(seed, 150 + 40 * (seed % 5), 300 + 97 * (seed % 3), d);
    ASSERT_TRUE(prefers_sparse_search(ctx));
    const std::vector<Concept> cbo = reference::close_by_one(ctx);
    const std::string what = "sparse seed " + std::to_string(seed);
    expect_same_list(cbo, FCbO().compute(ctx), what + " fcbo");
    expect_same_list(cbo, InClose5().compute(ctx), what + " in-close-5");
    expect_same_list(reference::next_closure(ctx), NextClosure().compute(ctx), what + " nc");
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(Algorithms, WideAndTallContextsMatchPlainProcedures) {
  // Many attributes (several words per intent; from 256 on, enumerated transposed) and many
  // objects (several words per column).
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    const Context wide = testing::random_context(seed, 12, seed % 2 == 1 ? 150 : 300,
                                                 0.15 + 0.15 * double(seed % 3));
    expect_same_list(reference::close_by_one(wide), FCbO().compute(wide), "wide fcbo");
    expect_same_list(reference::close_by_one(wide), InClose5().compute(wide), "wide in-close");
    expect_same_list(reference::next_closure(wide), NextClosure().compute(wide), "wide nc");
    const Context tall = testing::random_context(seed, 300, 9, 0.4);
    expect_same_list(reference::close_by_one(tall), FCbO().compute(tall), "tall fcbo");
    expect_same_list(reference::next_closure(tall), NextClosure().compute(tall), "tall nc");
  }
}

// A staircase: object i has attributes 0..i, so the lattice is one chain as long as the context
// is wide. Computed on a thread with a 256 KiB stack, the search must not recurse natively.
TEST(Algorithms, TallChainOnSmallStack) {
  const std::size_t k = 3000;  // dense: the bit-word search
  std::vector<std::vector<bool>> rows(k, std::vector<bool>(k));
  std::vector<std::string> names(k, "x");
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j <= i; ++j) rows[i][j] = true;
  }
  const Context ctx = Context::create(names, names, rows).value();
  std::size_t sizes[3] = {0, 0, 0};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  struct Job {
    const Context* ctx;
    std::size_t* sizes;
  } job{&ctx, sizes};
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attr,
                [](void* p) -> void* {
                  auto* j = static_cast<Job*>(p);
                  j->sizes[0] = FCbO().compute(*j->ctx).size();
                  j->sizes[1] = InClose5().compute(*j->ctx).size();
                  j->sizes[2] = NextClosure().compute(*j->ctx).size();
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  for (std::size_t s : sizes) EXPECT_EQ(s, k);  // one concept per row; the last row is full
}

TEST(Algorithms, CompletionEvents) {
  testing::Recorder recorder;
  diagnostics::set_subscriber(&recorder);
  const Context ctx = context_from_rows({"X.", ".X", "XX"}, 2);
  NextClosure().compute(ctx);
  FCbO().compute(ctx);
  InClose5().compute(ctx);
  diagnostics::set_subscriber(nullptr);
  NextClosure().compute(ctx);  // no subscriber: nothing delivered
  const std::vector<testing::Recorder::Event>& events = recorder.events;
  ASSERT_EQ(events.size(), 3u);
  const char* targets[] = {"quorlan_engine::next_closure", "quorlan_engine::fcbo",
                           "quorlan_engine::in_close5"};
  const char* names[] = {"next-closure", "fcbo", "in-close-5"};
  for (int k = 0; k < 3; ++k) {
    const auto& e = events[k];
    EXPECT_EQ(e.target, targets[k]);
    EXPECT_EQ(e.level, diagnostics::Level::kDebug);
    EXPECT_EQ(e.fields, (std::vector<std::string>{"message", "algorithm", "concepts", "objects",
                                                  "attributes"}));
    ASSERT_EQ(e.values.size(), 5u);
    EXPECT_EQ(std::get<std::string_view>(e.values[0]), "concept generation complete");
    EXPECT_EQ(std::get<std::string_view>(e.values[1]), names[k]);
    EXPECT_EQ(std::get<std::uint64_t>(e.values[2]), 4u);
    EXPECT_EQ(std::get<std::uint64_t>(e.values[3]), 3u);
    EXPECT_EQ(std::get<std::uint64_t>(e.values[4]), 2u);
  }
}

}  // namespace
}  // namespace quorlan
