#include "core/context.h"

#include <algorithm>

namespace quorlan {

std::string ContextError::display() const {
  switch (kind) {
    case Kind::IncidenceRowLength:
      return "incidence row " + std::to_string(row) + " has " + std::to_string(actual) +
             " attributes, expected " + std::to_string(expected);
    case Kind::InvalidObjectName:
      return "invalid object name: " + name;
    case Kind::InvalidAttributeName:
      return "invalid attribute name: " + name;
  }
  return {};
}

Result<Context, ContextError> Context::create(std::vector<std::string> objects,
                                              std::vector<std::string> attributes,
                                              const std::vector<std::vector<bool>>& incidence) {
  const std::size_t m = attributes.size();
  for (std::size_t i = 0; i < incidence.size(); ++i) {
    if (incidence[i].size() != m) {
      return fail(ContextError::incidence_row_length(i, incidence[i].size(), m));
    }
  }
  std::vector<AttributeSet> rows;
  rows.reserve(incidence.size());
  for (const auto& bools : incidence) {
    AttributeSet row = AttributeSet::empty(m);
    for (std::size_t j = 0; j < m; ++j) {
      if (bools[j]) row.insert(static_cast<std::uint32_t>(j));
    }
    rows.push_back(std::move(row));
  }
  return Context(std::move(objects), std::move(attributes), std::move(rows));
}

Result<Context, ContextError> Context::from_rows(std::vector<std::string> objects,
                                                 std::vector<std::string> attributes,
                                                 std::vector<AttributeSet> incidence) {
  const std::size_t m = attributes.size();
  for (std::size_t i = 0; i < incidence.size(); ++i) {
    if (incidence[i].capacity() != m) {
      return fail(ContextError::incidence_row_length(i, incidence[i].capacity(), m));
    }
  }
  return Context(std::move(objects), std::move(attributes), std::move(incidence));
}

ObjectSet Context::extent(const AttributeSet& b) const {
  if (b.capacity() != n_attributes()) panic("AttributeSet capacity does not match this context");
  // Only rows that exist are read, and only indices below the object count are produced, even
  // if a caller built a context whose row list is shorter or longer than its object list.
  const std::size_t n = n_objects();
  const std::size_t rows = std::min(n, incidence_.size());
  ObjectSet out = ObjectSet::empty(n);
  for (std::size_t i = 0; i < rows; ++i) {
    if (b.is_subset(incidence_[i])) out.insert(static_cast<std::uint32_t>(i));
  }
  return out;
}

AttributeSet Context::intent(const ObjectSet& a) const {
  if (a.capacity() != n_objects()) panic("ObjectSet capacity does not match this context");
  AttributeSet out = AttributeSet::full(n_attributes());
  Word* w = out.mutable_words();
  const std::size_t nw = out.word_count();
  bool done = false;
  a.for_each([&](std::uint32_t i) {
    if (done) return;
    if (i >= incidence_.size()) panic("object index beyond the incidence rows");
    const Word* r = incidence_[i].words();
    Word any = 0;
    for (std::size_t k = 0; k < nw; ++k) {
      w[k] &= r[k];
      any |= w[k];
    }
    done = any == 0;
  });
  return out;
}

}  // namespace quorlan
