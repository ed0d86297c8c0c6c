// A small std::expected-like result: either a value or an error record. Fallible core
// operations return one of these; the first failing check returns its error.
#pragma once

#include <utility>
#include <variant>

#include "core/panic.h"

namespace quorlan {

template <class E>
struct Failure {
  E error;
};

template <class E>
Failure<std::decay_t<E>> fail(E&& error) {
  return {std::forward<E>(error)};
}

template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <class F>
  Result(Failure<F> failure) : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  T& value() & {
    if (!has_value()) panic("Result::value() called on an error");
    return std::get<0>(state_);
  }
  const T& value() const& {
    if (!has_value()) panic("Result::value() called on an error");
    return std::get<0>(state_);
  }
  T&& value() && {
    if (!has_value()) panic("Result::value() called on an error");
    return std::get<0>(std::move(state_));
  }
  const E& error() const& {
    if (has_value()) panic("Result::error() called on a value");
    return std::get<1>(state_);
  }
  E&& error() && {
    if (has_value()) panic("Result::error() called on a value");
    return std::get<1>(std::move(state_));
  }

 private:
  std::variant<T, E> state_;
};

}  // namespace quorlan
