#include <gtest/gtest.h>

#include "core/context.h"
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

}  // namespace
}  // namespace quorlan
