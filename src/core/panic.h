// The one exception type for broken internal invariants. It never describes bad input: readers
// refuse bad input with error values, so a Panic always means a bug in quorlan itself.
#pragma once

#include <stdexcept>
#include <string>

namespace quorlan {

class Panic : public std::runtime_error {
 public:
  explicit Panic(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void panic(const std::string& message);

}  // namespace quorlan
