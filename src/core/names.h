// The object or attribute names of a context: stored back to back in one buffer (no allocation
// per name, 4 bytes per name besides its text), or generated from a one-letter prefix and the
// index ("g0", "m17") without storage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/grow_array.h"
#include "core/packed_sets.h"

namespace quorlan {

// Room for a generated name: the prefix and up to 20 decimal digits.
using NameBuffer = std::array<char, 24>;

class NameList {
 public:
  NameList() = default;
  static NameList generated(char prefix, std::size_t count);
  static NameList of(const std::vector<std::string>& names);
  // Tests only: a list whose ends take 64 bits once its text is longer than `bytes`.
  static NameList with_wide_ends_after(std::uint64_t bytes);

  void push_back(std::string_view name);
  // Appends a name the caller gives away: one of a megabyte or more is kept as it is, not
  // copied.
  void adopt(std::string&& name);
  // A name given in pieces: each extends the name being built, which end_name() completes.
  void extend(std::string_view piece);
  void end_name();
  // The name being built, so far; and dropping it.
  std::string_view building() const;
  void drop_building();
  std::size_t size() const {
    return prefix_ != 0 ? count_ : wide_ ? wide_ends_.size() : ends_.size();
  }
  bool empty() const { return size() == 0; }
  bool is_generated() const { return prefix_ != 0; }

  // Name i; a generated name is written into `buffer`, which the view then points into.
  std::string_view view(std::size_t i, NameBuffer& buffer) const;
  std::string operator[](std::size_t i) const;
  std::vector<std::string> to_vector() const;

 private:
  std::uint64_t end(std::size_t i) const { return wide_ ? wide_ends_[i] : ends_[i]; }

  char prefix_ = 0;  // nonzero: names are generated
  std::size_t count_ = 0;
  // Stored names: name i is text_[end(i - 1), end(i)). The ends take 32 bits each while the
  // text is shorter than 4 GiB, 64 bits from then on. Both arrays grow without being copied.
  GrowArray<char> text_;
  GrowArray<std::uint32_t> ends_;
  GrowArray<std::uint64_t> wide_ends_;
  bool wide_ = false;
  std::uint64_t narrow_limit_ = UINT32_MAX;
  // Names kept as they were given (each with no text of its own above), by ascending index.
  std::vector<std::pair<std::size_t, std::string>> kept_;
};

}  // namespace quorlan
