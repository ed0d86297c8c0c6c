// The first byte of a fuzz input picks the file name (and so the detection path); the rest is
// the content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorlan::fuzz {

inline constexpr std::string_view kNames[] = {"x.cxt", "x.csv",  "x.tsv",  "x.dat",
                                              "x.xml", "x.json", "upload", "dir/.."};

struct Input {
  std::string_view name;
  std::string_view content;
};

inline Input split(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {kNames[6], {}};
  return {kNames[data[0] % std::size(kNames)],
          std::string_view(reinterpret_cast<const char*>(data + 1), size - 1)};
}

}  // namespace quorlan::fuzz
