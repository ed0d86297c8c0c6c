// The formal context: object names, attribute names and one incidence row per object. Each row
// is kept compactly, as an attribute list or as bit words by its density (PackedSets), so that
// memory follows the incidences a context really has. Immutable once built; the derivation
// operators read either form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/grow_array.h"
#include "core/names.h"
#include "core/packed_sets.h"
#include "core/result.h"
#include "core/sets.h"

namespace quorlan {

struct ContextError {
  enum class Kind { IncidenceRowLength, InvalidObjectName, InvalidAttributeName };
  Kind kind;
  std::size_t row = 0, actual = 0, expected = 0;  // IncidenceRowLength
  std::string name;                               // the two name variants

  static ContextError incidence_row_length(std::size_t row, std::size_t actual,
                                           std::size_t expected) {
    return {Kind::IncidenceRowLength, row, actual, expected, {}};
  }
  std::string display() const;
};

class Context;

// Collects the incidence row by row, each row as ascending attribute indices. Rows made for a
// number of attributes (end_row(length)) go into the context's store as they end, so that only
// the row being built is held as a list; those lengths are checked against the attribute count
// when the context is built. Rows made for whatever number there will be (end_row(), FIMI) are
// kept as lists in one growing buffer, which the store then takes over.
class IncidenceBuilder {
 public:
  IncidenceBuilder() = default;
  // Rows already laid out, handed over whole: row r is items[starts[r], starts[r + 1]),
  // ascending, with starts[0] = 0; each made for whatever number of attributes there will be.
  IncidenceBuilder(GrowArray<std::uint32_t> items, GrowArray<std::uintptr_t> starts)
      : items_(std::move(items)),
        starts_(std::move(starts)),
        rows_(starts_.size() - 1),
        mode_(Mode::kLists) {}

  // Appends attribute j to the row being built (ascending and distinct within a row).
  void add(std::uint32_t j) { items_.push_back(j); }
  // Ends the row being built, made for `length` attributes.
  void end_row(std::size_t length);
  // Ends a row made for whatever number of attributes the context will have.
  void end_row();
  std::size_t rows() const { return rows_; }
  std::size_t incidences() const {
    return mode_ == Mode::kLists ? items_.size() : incidences_ + items_.size();
  }

  // The first row whose length differs from the attribute count is reported, as Context::create
  // does.
  Result<Context, ContextError> build(NameList objects, NameList attributes) &&;

 private:
  enum class Mode { kUnknown, kStored, kLists };
  void enter(Mode mode);

  // The row being built; with kLists, every row, row r at [starts_[r], starts_[r + 1]).
  GrowArray<std::uint32_t> items_;
  GrowArray<std::uintptr_t> starts_ = GrowArray<std::uintptr_t>(1);
  std::unique_ptr<PackedSets> store_;  // kStored: the rows of the first row's length
  std::size_t rows_ = 0;
  std::size_t incidences_ = 0;  // kStored: of the rows stored
  Mode mode_ = Mode::kUnknown;
  // Rows given with a length mostly share one; only the first such row and the first of
  // another length are kept.
  std::size_t first_row_ = SIZE_MAX, first_length_ = 0;
  std::size_t other_row_ = SIZE_MAX, other_length_ = 0;
};

class Context {
 public:
  // Builds a context from rows of booleans; the first row whose length differs from the number
  // of attributes is reported. The number of rows is not compared with the number of objects.
  static Result<Context, ContextError> create(std::vector<std::string> objects,
                                              std::vector<std::string> attributes,
                                              const std::vector<std::vector<bool>>& incidence);

  std::size_t n_objects() const { return objects_.size(); }
  std::size_t n_attributes() const { return attributes_.size(); }
  const NameList& objects() const { return objects_; }
  const NameList& attributes() const { return attributes_; }
  // The rows, one per object (fewer or more only for a context built so by a caller).
  const PackedSets& rows() const { return rows_; }
  std::size_t incidences() const;
  // Row i as a set value.
  AttributeSet row(std::size_t i) const { return rows_.materialize<AttributeTag>(i); }
  // The same context with every row stored in one form.
  Context with_rows_as(SetForm form) const;

  ObjectSet extent(const AttributeSet& b) const;
  AttributeSet intent(const ObjectSet& a) const;

 private:
  friend class IncidenceBuilder;
  Context(NameList objects, NameList attributes, PackedSets rows)
      : objects_(std::move(objects)), attributes_(std::move(attributes)), rows_(std::move(rows)) {}

  NameList objects_;
  NameList attributes_;
  PackedSets rows_;
};

}  // namespace quorlan
