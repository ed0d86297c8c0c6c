#include <gtest/gtest.h>

#include <random>

#include "core/context.h"
#include "core/names.h"
#include "core/packed_sets.h"
#include "core/panic.h"
#include "core/sets.h"

namespace quorlan {
namespace {

TEST(Sets, CapacityEdges) {
  for (std::size_t cap : {0u, 1u, 63u, 64u, 65u, 127u, 128u, 130u, 1000u}) {
    const ObjectSet full = ObjectSet::full(cap);
    EXPECT_EQ(full.count(), cap) << cap;
    EXPECT_EQ(full.capacity(), cap);
    EXPECT_FALSE(full.contains(static_cast<std::uint32_t>(cap)));
    EXPECT_FALSE(full.contains(static_cast<std::uint32_t>(cap + 70)));
    EXPECT_EQ(full.word_count() % 2, 0u);  // whole 128-bit blocks
    EXPECT_TRUE(ObjectSet::empty(cap).is_subset(full));
    EXPECT_EQ(full.ones().size(), cap);
  }
  EXPECT_TRUE(AttributeSet::full(0) == AttributeSet::empty(0));
  EXPECT_TRUE(AttributeSet::empty(0).is_subset(AttributeSet::empty(0)));
  EXPECT_FALSE(AttributeSet::empty(3) == AttributeSet::empty(4));
}

TEST(Sets, OperationsAndInvariants) {
  ObjectSet a = ObjectSet::empty(130), b = ObjectSet::empty(130);
  for (std::uint32_t i : {0u, 5u, 64u, 129u}) a.insert(i);
  for (std::uint32_t i : {5u, 64u, 100u}) b.insert(i);
  EXPECT_EQ(a.intersection(b).ones(), (std::vector<std::uint32_t>{5, 64}));
  EXPECT_FALSE(a.is_subset(b));
  EXPECT_TRUE(a.intersection(b).is_subset(b));
  EXPECT_EQ(a.ones(), (std::vector<std::uint32_t>{0, 5, 64, 129}));
  try {
    a.intersection(ObjectSet::empty(3));
    FAIL();
  } catch (const Panic& p) {
    EXPECT_STREQ(p.what(), "ObjectSets from different contexts cannot be intersected");
  }
  EXPECT_THROW(a.insert(130), Panic);
  EXPECT_THROW(a.is_subset(ObjectSet::empty(4)), Panic);
}

Context make(std::vector<std::vector<bool>> rows, std::size_t n, std::size_t m) {
  return Context::create(std::vector<std::string>(n, "o"), std::vector<std::string>(m, "a"), rows)
      .value();
}

TEST(Context, RowLengthErrors) {
  struct Case {
    std::vector<std::vector<bool>> rows;
    const char* message;
  };
  const Case cases[] = {
      {{{true, false}, {true}}, "incidence row 1 has 1 attributes, expected 2"},
      {{{true, true, true}, {true}, {}}, "incidence row 0 has 3 attributes, expected 2"},
  };
  for (const Case& c : cases) {
    auto r = Context::create({"x", "y", "z"}, {"a", "b"}, c.rows);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().display(), c.message);
  }
  EXPECT_EQ((ContextError{ContextError::Kind::InvalidObjectName, 0, 0, 0, "q"}.display()),
            "invalid object name: q");
  EXPECT_EQ((ContextError{ContextError::Kind::InvalidAttributeName, 0, 0, 0, "q"}.display()),
            "invalid attribute name: q");
  // Empty and repeated names are fine.
  EXPECT_TRUE(Context::create({"", ""}, {"a", "a"}, {{true, false}, {false, false}}).has_value());
}

TEST(Context, DerivationOperators) {
  const Context none = make({}, 0, 3);
  EXPECT_EQ(none.extent(AttributeSet::full(3)).count(), 0u);
  EXPECT_EQ(none.intent(ObjectSet::empty(0)).count(), 3u);
  const Context no_attrs = make({{}, {}}, 2, 0);
  EXPECT_EQ(no_attrs.extent(AttributeSet::empty(0)).count(), 2u);
  EXPECT_EQ(no_attrs.intent(ObjectSet::full(2)).count(), 0u);
  const Context c = make({{true, true, false}, {false, false, false}, {true, false, true}}, 3, 3);
  AttributeSet a0 = AttributeSet::empty(3);
  a0.insert(0);
  EXPECT_EQ(c.extent(a0).ones(), (std::vector<std::uint32_t>{0, 2}));
  EXPECT_EQ(c.intent(c.extent(a0)).ones(), (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(c.intent(ObjectSet::full(3)).count(), 0u);  // object 1 has an empty row
  try {
    c.extent(AttributeSet::empty(2));
    FAIL();
  } catch (const Panic& p) {
    EXPECT_STREQ(p.what(), "AttributeSet capacity does not match this context");
  }
  try {
    c.intent(ObjectSet::empty(2));
    FAIL();
  } catch (const Panic& p) {
    EXPECT_STREQ(p.what(), "ObjectSet capacity does not match this context");
  }
}

// The derivation operators read rows in either form; both agree with a plain definition.
TEST(Context, DerivationOnRowsInEitherForm) {
  std::mt19937_64 rng(5);
  for (int round = 0; round < 60; ++round) {
    const std::size_t n = 1 + rng() % 40, m = rng() % 300;
    const double density = static_cast<double>(rng() % 10) / 10.0;
    std::bernoulli_distribution cell(density);
    std::vector<std::vector<bool>> rows(n, std::vector<bool>(m));
    for (auto& r : rows) {
      for (std::size_t j = 0; j < m; ++j) r[j] = cell(rng);
    }
    const Context base = make(rows, n, m);
    for (const SetForm form : {SetForm::kBySize, SetForm::kList, SetForm::kWords}) {
      const Context c = base.with_rows_as(form);
      for (int probe = 0; probe < 20; ++probe) {
        AttributeSet b = AttributeSet::empty(m);
        ObjectSet a = ObjectSet::empty(n);
        for (std::size_t j = 0; j < m; ++j) {
          if (rng() % 50 == 0) b.insert(static_cast<std::uint32_t>(j));
        }
        for (std::size_t i = 0; i < n; ++i) {
          if (rng() % 8 == 0) a.insert(static_cast<std::uint32_t>(i));
        }
        ObjectSet want_extent = ObjectSet::empty(n);
        for (std::size_t i = 0; i < n; ++i) {
          bool all = true;
          b.for_each([&](std::uint32_t j) { all = all && rows[i][j]; });
          if (all) want_extent.insert(static_cast<std::uint32_t>(i));
        }
        AttributeSet want_intent = AttributeSet::empty(m);
        for (std::size_t j = 0; j < m; ++j) {
          bool all = true;
          a.for_each([&](std::uint32_t i) { all = all && rows[i][j]; });
          if (all) want_intent.insert(static_cast<std::uint32_t>(j));
        }
        ASSERT_TRUE(c.extent(b) == want_extent) << "round " << round;
        ASSERT_TRUE(c.intent(a) == want_intent) << "round " << round;
        ASSERT_TRUE(c.row(probe % n) == base.row(probe % n));
      }
    }
  }
}

TEST(PackedSets, FormsAndTakenOverLists) {
  const std::vector<std::uint32_t> small = {3, 9}, big = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (const SetForm form : {SetForm::kBySize, SetForm::kList, SetForm::kWords}) {
    PackedSets sets(200, form);  // 4 words a set: lists of up to 8 members by size
    sets.push_list(small.data(), small.size());
    sets.push_list(big.data(), big.size());
    EXPECT_EQ(sets.is_list(0), form != SetForm::kWords);
    EXPECT_EQ(sets.is_list(1), form == SetForm::kList);
    for (std::size_t i = 0; i < 2; ++i) {
      std::vector<std::uint32_t> back;
      sets.to_list(i, back);
      EXPECT_EQ(back, i == 0 ? small : big);
      EXPECT_EQ(sets.count(i), back.size());
      EXPECT_EQ(sets.materialize<AttributeTag>(i).ones(), back);
    }
  }
  // Sets handed over as one buffer: the short ones stay where they are, a long one (in the
  // middle, so that the sets after it are placed from offsets read before it was written) is
  // written as words; into a store that holds sets already, each is copied.
  for (const bool with_big : {false, true}) {
    for (const bool after_one : {false, true}) {
      GrowArray<std::uint32_t> items;
      GrowArray<std::uintptr_t> starts;
      starts.push_back(0);
      const auto add = [&](const std::vector<std::uint32_t>& set) {
        items.append(set.data(), set.size());
        starts.push_back(items.size());
      };
      std::vector<std::vector<std::uint32_t>> sets_given = {{1}, {}};
      if (with_big) sets_given.push_back(big);
      sets_given.push_back({2, 7});
      for (const auto& set : sets_given) add(set);
      PackedSets sets(200);
      if (after_one) sets.push_list(small.data(), small.size());
      const std::uint32_t* first = items.data();
      sets.push_lists(std::move(items), std::move(starts));
      const std::size_t before = after_one ? 1 : 0;
      ASSERT_EQ(sets.size(), before + sets_given.size());
      for (std::size_t k = 0; k < sets_given.size(); ++k) {
        EXPECT_EQ(sets.materialize<AttributeTag>(before + k).ones(), sets_given[k]) << k;
        EXPECT_EQ(sets.count(before + k), sets_given[k].size());
        EXPECT_EQ(sets.is_list(before + k), sets_given[k].size() <= 8) << k;
      }
      // Taken over, not copied, when the store was empty.
      EXPECT_EQ(sets.list(before) == first, !after_one);
    }
  }
}

TEST(Names, StoredAndGenerated) {
  // Names whole and in pieces, with 32-bit ends and with 64-bit ends from some length on.
  for (const std::uint64_t narrow :
       {std::uint64_t{UINT32_MAX}, std::uint64_t{0}, std::uint64_t{9}}) {
    NameList stored = NameList::with_wide_ends_after(narrow);
    for (const char* n : {"", "o\xC3\xA9", "", "long name with spaces"}) stored.push_back(n);
    stored.extend("in ");
    stored.extend("pieces");
    stored.end_name();
    stored.push_back("x");
    const std::string large(std::size_t{1} << 20, 'L');
    stored.adopt(std::string(large));  // kept as it is
    stored.adopt("y");                 // copied
    EXPECT_EQ(stored.to_vector(),
              (std::vector<std::string>{"", "o\xC3\xA9", "", "long name with spaces", "in pieces",
                                        "x", large, "y"}))
        << narrow;
    EXPECT_EQ(NameList(stored).to_vector(), stored.to_vector());
  }
  const NameList g = NameList::generated('m', 4294967295u);
  NameBuffer buffer;
  EXPECT_EQ(g.size(), 4294967295u);
  EXPECT_EQ(g.view(0, buffer), "m0");
  EXPECT_EQ(g.view(4294967294u, buffer), "m4294967294");
  EXPECT_EQ(NameList::generated('g', 12)[11], "g11");
}

}  // namespace
}  // namespace quorlan
