#include "core/context.h"

#include <algorithm>

#include "core/panic.h"

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

void IncidenceBuilder::enter(Mode mode) {
  if (mode_ == Mode::kUnknown) mode_ = mode;
  if (mode_ != mode) panic("incidence rows ended both with and without a length");
}

void IncidenceBuilder::end_row(std::size_t length) {
  enter(Mode::kStored);
  const std::size_t count = items_.size();
  if (first_row_ == SIZE_MAX) {
    first_row_ = rows_;
    first_length_ = length;
    store_ = std::make_unique<PackedSets>(length);
  }
  if (length == first_length_) {
    store_->push_list(items_.data(), count);
    incidences_ += count;
  } else if (other_row_ == SIZE_MAX) {
    // The context cannot be built; only this row's number and length are kept for the error.
    other_row_ = rows_;
    other_length_ = length;
  }
  items_.truncate(0);
  ++rows_;
}

void IncidenceBuilder::end_row() {
  enter(Mode::kLists);
  starts_.push_back(items_.size());
  ++rows_;
}

Result<Context, ContextError> IncidenceBuilder::build(NameList objects, NameList attributes) && {
  const std::size_t m = attributes.size();
  // Every row with a length before other_row_ has the first one's.
  if (first_row_ != SIZE_MAX && first_length_ != m) {
    return fail(ContextError::incidence_row_length(first_row_, first_length_, m));
  }
  if (other_row_ != SIZE_MAX) {
    return fail(ContextError::incidence_row_length(other_row_, other_length_, m));
  }
  if (mode_ == Mode::kStored) {
    return Context(std::move(objects), std::move(attributes), std::move(*store_));
  }
  PackedSets rows(m);
  if (mode_ == Mode::kLists) rows.push_lists(std::move(items_), std::move(starts_));
  return Context(std::move(objects), std::move(attributes), std::move(rows));
}

Result<Context, ContextError> Context::create(std::vector<std::string> objects,
                                              std::vector<std::string> attributes,
                                              const std::vector<std::vector<bool>>& incidence) {
  IncidenceBuilder builder;
  for (const std::vector<bool>& row : incidence) {
    for (std::size_t j = 0; j < row.size(); ++j) {
      if (row[j]) builder.add(static_cast<std::uint32_t>(j));
    }
    builder.end_row(row.size());
  }
  return std::move(builder).build(NameList::of(objects), NameList::of(attributes));
}

std::size_t Context::incidences() const {
  std::size_t total = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) total += rows_.count(i);
  return total;
}

Context Context::with_rows_as(SetForm form) const {
  PackedSets rows(n_attributes(), form);
  std::vector<std::uint32_t> members;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    members.clear();
    rows_.to_list(i, members);
    rows.push_list(members.data(), members.size());
  }
  return Context(objects_, attributes_, std::move(rows));
}

ObjectSet Context::extent(const AttributeSet& b) const {
  if (b.capacity() != n_attributes()) panic("AttributeSet capacity does not match this context");
  // Only rows that exist are read, and only indices below the object count are produced, even
  // if a caller built a context whose row list is shorter or longer than its object list.
  const std::size_t n = n_objects();
  const std::size_t available = std::min(n, rows_.size());
  const std::size_t size = b.count();
  ObjectSet out = ObjectSet::empty(n);
  for (std::size_t i = 0; i < available; ++i) {
    bool holds = rows_.count(i) >= size;
    if (holds && !rows_.is_list(i)) {
      holds = subset_below(b.words(), rows_.bits(i), b.word_count() * kWordBits);
    } else if (holds) {
      // The row holds b when as many of its members are in b as b has.
      const std::uint32_t* r = rows_.list(i);
      std::size_t found = 0;
      for (std::size_t k = 0; k < rows_.count(i); ++k) found += test_bit(b.words(), r[k]);
      holds = found == size;
    }
    if (holds) out.insert(static_cast<std::uint32_t>(i));
  }
  return out;
}

AttributeSet Context::intent(const ObjectSet& a) const {
  if (a.capacity() != n_objects()) panic("ObjectSet capacity does not match this context");
  AttributeSet out = AttributeSet::full(n_attributes());
  Word* w = out.mutable_words();
  const std::size_t words = out.word_count();
  std::vector<Word> kept(words);
  a.any_of([&](std::uint32_t i) {
    if (i >= rows_.size()) panic("object index beyond the incidence rows");
    if (!rows_.is_list(i)) {
      const Word* r = rows_.bits(i);
      for (std::size_t k = 0; k < words; ++k) w[k] &= r[k];
    } else {
      std::fill(kept.begin(), kept.end(), Word{0});
      const std::uint32_t* r = rows_.list(i);
      for (std::size_t k = 0; k < rows_.count(i); ++k) {
        if (test_bit(w, r[k])) set_bit(kept.data(), r[k]);
      }
      std::copy(kept.begin(), kept.end(), w);
    }
    return count_bits(w, words) == 0;  // nothing left: stop scanning
  });
  return out;
}

}  // namespace quorlan
