// Text helpers shared by the readers: UTF-8 validation and decoding, Unicode White_Space
// trimming, scalar counting and the quoted form used in messages. Character properties come
// from utf8proc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan::text {

// Loops over the characters of an input ask about a stop once per this many.
inline constexpr std::uint32_t kBytesPerTick = 4096;

bool is_valid_utf8(std::string_view s);
// Replaces every byte that does not start or continue a valid sequence with U+FFFD.
std::string decode_lossy(std::string_view s);
// Keeps valid UTF-8 and writes every other byte as <XX> (upper-case hex), so that a message
// quoting raw input is always valid text.
std::string printable_bytes(std::string_view s);
bool is_white_space(std::int32_t cp);
// Removes Unicode White_Space from both ends of valid UTF-8 text.
std::string_view trim(std::string_view s);
std::size_t count_scalars(std::string_view s);
// Decodes one scalar from valid UTF-8 at s[pos], advancing pos.
std::int32_t next_scalar(std::string_view s, std::size_t& pos);
// Appends the UTF-8 encoding of a Unicode scalar value.
void append_scalar(std::string& out, std::int32_t cp);
// An optional single "+" and one or more decimal digits, at most `max`; nothing else. Inline:
// the FIMI reader calls it once per item.
inline std::optional<std::uint64_t> parse_unsigned(std::string_view s, std::uint64_t max) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  // v * 10 + d <= max exactly when v < max / 10, or v == max / 10 and d <= max % 10.
  const std::uint64_t tenth = max / 10, last = max % 10;
  std::uint64_t v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto d = static_cast<std::uint64_t>(c - '0');
    if (v > tenth || (v == tenth && d > last)) return std::nullopt;
    v = v * 10 + d;
  }
  return v;
}
// A generated name: the prefix followed by the number in decimal ("g0", "m17").
std::string numbered(char prefix, std::uint64_t number);
// A message shows at most this many characters of a piece of input, escapes included.
inline constexpr std::size_t kShownCharacters = 256;
// "text" with quotes, backslashes and non-printable characters escaped; a piece longer than the
// message shows is cut, as in "11…" and 999 more characters.
std::string quoted(std::string_view s);
// A piece of valid UTF-8 between two delimiters, cut the same way ("`ab…` and 3 more characters").
std::string clipped(std::string_view s, std::string_view open, std::string_view close);

}  // namespace quorlan::text
