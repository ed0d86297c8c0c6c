// The formal context: object names, attribute names and one incidence row (an AttributeSet)
// per object. Immutable once built; the derivation operators read the rows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

class Context {
 public:
  // Builds a context from rows of booleans; the first row whose length differs from the number
  // of attributes is reported. The number of rows is not compared with the number of objects.
  static Result<Context, ContextError> create(std::vector<std::string> objects,
                                              std::vector<std::string> attributes,
                                              const std::vector<std::vector<bool>>& incidence);
  // The same from rows already held as sets: a row's length is its capacity.
  static Result<Context, ContextError> from_rows(std::vector<std::string> objects,
                                                 std::vector<std::string> attributes,
                                                 std::vector<AttributeSet> incidence);

  std::size_t n_objects() const { return objects_.size(); }
  std::size_t n_attributes() const { return attributes_.size(); }
  const std::vector<std::string>& objects() const { return objects_; }
  const std::vector<std::string>& attributes() const { return attributes_; }
  const std::vector<AttributeSet>& incidence() const { return incidence_; }
  const AttributeSet& row(std::size_t i) const { return incidence_[i]; }

  ObjectSet extent(const AttributeSet& b) const;
  AttributeSet intent(const ObjectSet& a) const;

 private:
  Context(std::vector<std::string> objects, std::vector<std::string> attributes,
          std::vector<AttributeSet> incidence)
      : objects_(std::move(objects)),
        attributes_(std::move(attributes)),
        incidence_(std::move(incidence)) {}

  std::vector<std::string> objects_;
  std::vector<std::string> attributes_;
  std::vector<AttributeSet> incidence_;
};

}  // namespace quorlan
