#include "support/reference.h"

#include <algorithm>
#include <functional>

namespace quorlan::reference {

AttributeSet closure(const Context& context, const AttributeSet& b) {
  return context.intent(context.extent(b));
}

bool lectic_less(const AttributeSet& a, const AttributeSet& b) {
  for (std::uint32_t i = 0; i < a.capacity(); ++i) {
    if (a.contains(i) != b.contains(i)) return b.contains(i);
  }
  return false;
}

namespace {

AttributeSet prefix_plus(const AttributeSet& a, std::uint32_t i) {
  AttributeSet t = AttributeSet::empty(a.capacity());
  for (std::uint32_t k = 0; k < i; ++k) {
    if (a.contains(k)) t.insert(k);
  }
  t.insert(i);
  return t;
}

bool new_below(const AttributeSet& c, const AttributeSet& a, std::uint32_t i) {
  for (std::uint32_t k = 0; k < i; ++k) {
    if (c.contains(k) && !a.contains(k)) return true;
  }
  return false;
}

}  // namespace

std::vector<Concept> next_closure(const Context& context) {
  const std::uint32_t m = static_cast<std::uint32_t>(context.n_attributes());
  std::vector<Concept> out;
  AttributeSet a = closure(context, AttributeSet::empty(m));
  out.push_back({context.extent(a), a});
  for (;;) {
    bool accepted = false;
    for (std::uint32_t i = m; i-- > 0;) {
      if (a.contains(i)) continue;
      AttributeSet c = closure(context, prefix_plus(a, i));
      if (new_below(c, a, i)) continue;
      a = c;
      out.push_back({context.extent(a), a});
      accepted = true;
      break;
    }
    if (!accepted) return out;
  }
}

std::vector<Concept> close_by_one(const Context& context) {
  const std::uint32_t m = static_cast<std::uint32_t>(context.n_attributes());
  std::vector<Concept> out;
  ObjectSet a0 = ObjectSet::full(context.n_objects());
  AttributeSet b0 = context.intent(a0);
  out.push_back({a0, b0});
  std::function<void(const ObjectSet&, const AttributeSet&, std::uint32_t)> rec =
      [&](const ObjectSet& a, const AttributeSet& b, std::uint32_t y) {
        for (std::uint32_t j = y; j < m; ++j) {
          if (b.contains(j)) continue;
          AttributeSet single = AttributeSet::empty(m);
          single.insert(j);
          ObjectSet c = a.intersection(context.extent(single));
          AttributeSet d = context.intent(c);
          if (new_below(d, b, j)) continue;
          out.push_back({c, d});
          rec(c, d, j + 1);
        }
      };
  rec(a0, b0, 0);
  return out;
}

std::vector<Concept> brute_force(const Context& context) {
  const std::size_t m = context.n_attributes();
  std::vector<Concept> out;
  for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << m); ++mask) {
    AttributeSet b = AttributeSet::empty(m);
    for (std::uint32_t j = 0; j < m; ++j) {
      if ((mask >> j) & 1u) b.insert(j);
    }
    if (closure(context, b) == b) out.push_back({context.extent(b), b});
  }
  return out;
}

std::vector<CoverPair> covers(const std::vector<Concept>& concepts) {
  const std::size_t n = concepts.size();
  std::vector<CoverPair> pairs;
  const auto proper = [&](std::size_t x, std::size_t y) {
    return concepts[x].extent.is_subset(concepts[y].extent) &&
           concepts[x].extent.count() < concepts[y].extent.count();
  };
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i || !proper(i, j)) continue;
      bool between = false;
      for (std::size_t k = 0; k < n && !between; ++k) {
        if (k != i && k != j) between = proper(i, k) && proper(k, j);
      }
      if (!between) pairs.emplace_back(i, j);
    }
  }
  std::stable_sort(pairs.begin(), pairs.end());
  return pairs;
}

CanonicalBase canonical_base(const Context& context) {
  const std::uint32_t m = static_cast<std::uint32_t>(context.n_attributes());
  CanonicalBase base{"duquenne-guigues", {}};
  AttributeSet a = AttributeSet::empty(m);
  for (;;) {
    AttributeSet c = closure(context, a);
    if (!(c == a)) base.implications.push_back({a, c, context.extent(a).count(), 1.0});
    if (m == 0) return base;
    bool accepted = false;
    for (std::uint32_t i = m; i-- > 0;) {
      if (a.contains(i)) continue;
      AttributeSet t = prefix_plus(a, i);
      for (bool added = true; added;) {
        added = false;
        for (const Implication& imp : base.implications) {
          if (!imp.premise.is_subset(t)) continue;
          imp.conclusion.for_each([&](std::uint32_t x) {
            if (!t.contains(x)) {
              t.insert(x);
              added = true;
            }
          });
        }
      }
      if (new_below(t, a, i)) continue;
      a = t;
      accepted = true;
      break;
    }
    if (!accepted) return base;
  }
}

std::vector<AttributeSet> pseudo_intents(const Context& context) {
  const std::size_t m = context.n_attributes();
  std::vector<AttributeSet> all;
  for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << m); ++mask) {
    AttributeSet b = AttributeSet::empty(m);
    for (std::uint32_t j = 0; j < m; ++j) {
      if ((mask >> j) & 1u) b.insert(j);
    }
    all.push_back(b);
  }
  // Ascending size, so every proper subset is classified before the set itself.
  std::stable_sort(all.begin(), all.end(), [](const AttributeSet& x, const AttributeSet& y) {
    return x.count() < y.count();
  });
  std::vector<AttributeSet> pseudo;
  for (const AttributeSet& p : all) {
    if (closure(context, p) == p) continue;
    bool ok = true;
    for (const AttributeSet& q : pseudo) {
      if (q.is_subset(p) && !(q == p) && !closure(context, q).is_subset(p)) {
        ok = false;
        break;
      }
    }
    if (ok) pseudo.push_back(p);
  }
  std::sort(pseudo.begin(), pseudo.end(), lectic_less);
  return pseudo;
}

}  // namespace quorlan::reference
