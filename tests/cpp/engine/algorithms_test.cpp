#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string_view>
#include <thread>

#include "engine/algorithm.h"
#include "engine/forms.h"
#include "engine/internal/dense_search.h"
#include "engine/internal/sparse_search.h"
#include "engine/internal/wide_search.h"
#include "support/random_context.h"
#include "support/recorder.h"
#include "support/reference.h"

namespace quorlan {
namespace {

using internal::dense_search;
using internal::DenseContext;
using internal::sparse_search;
using internal::SparseContext;
using internal::transposed_search;
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

// Every way of enumerating against the plain procedure whose order it must give: the three
// algorithms, and, where asked, each search on each form of the context in both orders.
void expect_plain_orders(const Context& ctx, const std::string& what, bool every_search) {
  const std::vector<Concept> nc = reference::next_closure(ctx);
  const std::vector<Concept> cbo = reference::close_by_one(ctx);
  expect_same_list(nc, NextClosure().compute(ctx), what + " next-closure");
  expect_same_list(cbo, FCbO().compute(ctx), what + " fcbo");
  expect_same_list(cbo, InClose5().compute(ctx), what + " in-close-5");
  if (!every_search) return;
  const SparseContext sparse(ctx);
  const DenseContext dense(ctx);
  for (const SiblingOrder order : {SiblingOrder::kAscending, SiblingOrder::kDescending}) {
    const bool up = order == SiblingOrder::kAscending;
    const std::vector<Concept>& want = up ? cbo : nc;
    const std::string how = what + (up ? " ascending" : " descending");
    expect_same_list(want, dense_search(dense, order).lattice, how + " dense");
    expect_same_list(want, transposed_search(ctx, order), how + " transposed");
    expect_same_list(want, sparse_search(sparse, order).lattice, how + " sparse");
  }
}

// Seeded contexts of every shape the searches treat apart: small ones of every density (also
// against a brute-force enumeration, as sets), rows stored all as lists or all as bit words,
// sparse ones (the list-based search), wide ones (several words per intent; from 256 attributes
// on, enumerated transposed) and tall ones (several words per column).
Context stored_either_way(std::uint64_t k, SetForm form) {
  const Context ctx =
      k % 2 == 0 ? sweep_context(k, 12)
                 : testing::random_context(k, 60, 300 + k, 0.004 * static_cast<double>(k % 7));
  const Context stored = ctx.with_rows_as(form);
  EXPECT_EQ(prefers_sparse_search(stored), prefers_sparse_search(ctx)) << "case " << k;
  return stored;
}

Context sparse_case(std::uint64_t k) {
  const double densities[] = {0.001, 0.005, 0.01, 0.02};
  const Context ctx =
      testing::random_context(k, 150 + 40 * (k % 5), 300 + 97 * (k % 3), densities[k % 4]);
  EXPECT_TRUE(prefers_sparse_search(ctx)) << "case " << k;
  return ctx;
}

struct Shape {
  const char* name;
  std::uint64_t cases;
  bool every_search;
  std::function<Context(std::uint64_t)> make;
};

const Shape kShapes[] = {
    {"sweep", 400, true, [](std::uint64_t k) { return sweep_context(k, 12); }},
    {"lists", 200, true, [](std::uint64_t k) { return stored_either_way(k, SetForm::kList); }},
    {"words", 200, true, [](std::uint64_t k) { return stored_either_way(k, SetForm::kWords); }},
    {"sparse", 24, false, sparse_case},
    {"wide", 6, true,
     [](std::uint64_t k) {
       return testing::random_context(k + 1, 12, k % 2 == 0 ? 150 : 300,
                                      0.15 + 0.15 * double((k + 1) % 3));
     }},
    {"tall", 6, true, [](std::uint64_t k) { return testing::random_context(k + 1, 300, 9, 0.4); }},
};

// Each shape's cases in kParts runs of consecutive cases (each run holds every density the
// seeds cycle through), so that tests run side by side share them.
constexpr std::uint64_t kParts = 4;

struct ShapePart {
  std::size_t shape;
  std::uint64_t part;
};

class EveryShape : public ::testing::TestWithParam<ShapePart> {};

TEST_P(EveryShape, EqualPlainProcedures) {
  const Shape& shape = kShapes[GetParam().shape];
  const std::uint64_t first = shape.cases * GetParam().part / kParts;
  const std::uint64_t end = shape.cases * (GetParam().part + 1) / kParts;
  for (std::uint64_t k = first; k < end; ++k) {
    const Context ctx = shape.make(k);
    const std::string what = std::string(shape.name) + " case " + std::to_string(k) + " (" +
                             std::to_string(ctx.n_objects()) + "x" +
                             std::to_string(ctx.n_attributes()) + ")";
    expect_plain_orders(ctx, what, shape.every_search);
    if (std::string_view(shape.name) == "sweep") {
      const auto truth = sorted_intents(reference::brute_force(ctx));
      ASSERT_EQ(sorted_intents(reference::next_closure(ctx)), truth) << what;
      ASSERT_EQ(sorted_intents(reference::close_by_one(ctx)), truth) << what;
    }
    if (::testing::Test::HasFailure()) return;
  }
}

std::vector<ShapePart> every_shape_part() {
  std::vector<ShapePart> out;
  for (std::size_t s = 0; s < std::size(kShapes); ++s) {
    for (std::uint64_t part = 0; part < kParts; ++part) out.push_back({s, part});
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(Algorithms, EveryShape, ::testing::ValuesIn(every_shape_part()),
                         [](const ::testing::TestParamInfo<ShapePart>& info) {
                           return std::string(kShapes[info.param.shape].name) + "_" +
                                  std::to_string(info.param.part);
                         });

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
