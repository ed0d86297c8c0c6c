// The object or attribute names of a context: stored back to back in one buffer (no allocation
// per name), or generated from a one-letter prefix and the index ("g0", "m17") without storage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan {

// Room for a generated name: the prefix and up to 20 decimal digits.
using NameBuffer = std::array<char, 24>;

class NameList {
 public:
  NameList() = default;
  static NameList generated(char prefix, std::size_t count);
  static NameList of(const std::vector<std::string>& names);

  void push_back(std::string_view name);
  std::size_t size() const { return prefix_ != 0 ? count_ : ends_.size(); }
  bool empty() const { return size() == 0; }
  bool is_generated() const { return prefix_ != 0; }

  // Name i; a generated name is written into `buffer`, which the view then points into.
  std::string_view view(std::size_t i, NameBuffer& buffer) const;
  std::string operator[](std::size_t i) const;
  std::vector<std::string> to_vector() const;

 private:
  char prefix_ = 0;  // nonzero: names are generated
  std::size_t count_ = 0;
  std::string text_;
  std::vector<std::uint64_t> ends_;  // name i is text_[ends_[i - 1], ends_[i])
};

}  // namespace quorlan
