#include "formats/text.h"

#include <utf8proc.h>

#include "core/interrupt.h"

namespace quorlan::text {
namespace {

// Length of the valid sequence starting at s[i], or 0 if none starts there.
std::size_t valid_sequence(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  const std::size_t left = s.size() - i;
  const auto cont = [&](std::size_t k) { return (b(k) & 0xC0) == 0x80; };
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return left >= 2 && cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (left < 3 || !cont(i + 1) || !cont(i + 2)) return 0;
    if (c == 0xE0 && b(i + 1) < 0xA0) return 0;   // overlong
    if (c == 0xED && b(i + 1) >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (left < 4 || !cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    if (c == 0xF0 && b(i + 1) < 0x90) return 0;   // overlong
    if (c == 0xF4 && b(i + 1) >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

std::int32_t decode_at(std::string_view s, std::size_t i, std::size_t len) {
  const auto b = [&](std::size_t k) {
    return static_cast<std::int32_t>(static_cast<unsigned char>(s[k]));
  };
  switch (len) {
    case 1:
      return b(i);
    case 2:
      return ((b(i) & 0x1F) << 6) | (b(i + 1) & 0x3F);
    case 3:
      return ((b(i) & 0x0F) << 12) | ((b(i + 1) & 0x3F) << 6) | (b(i + 2) & 0x3F);
    default:
      return ((b(i) & 0x07) << 18) | ((b(i + 1) & 0x3F) << 12) | ((b(i + 2) & 0x3F) << 6) |
             (b(i + 3) & 0x3F);
  }
}

bool is_escaped_in_quotes(std::int32_t cp) {
  const utf8proc_property_t* p = utf8proc_get_property(cp);
  switch (p->category) {
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_CS:
    case UTF8PROC_CATEGORY_CO:
    case UTF8PROC_CATEGORY_CN:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_ME:
      return true;
    case UTF8PROC_CATEGORY_ZS:
      return cp != 0x20;
    default:
      return p->boundclass == UTF8PROC_BOUNDCLASS_EXTEND;
  }
}

}  // namespace

std::string numbered(char prefix, std::uint64_t number) {
  std::string out(1, prefix);
  out += std::to_string(number);
  return out;
}

bool is_valid_utf8(std::string_view s) {
  InterruptTicker tick(kBytesPerTick);
  for (std::size_t i = 0; i < s.size();) {
    tick();
    const std::size_t len = valid_sequence(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

namespace {

// Copies valid UTF-8 and hands every other byte to `replace`.
template <class Replace>
std::string replacing_invalid(std::string_view s, Replace&& replace) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = valid_sequence(s, i);
    if (len == 0) {
      replace(out, static_cast<unsigned char>(s[i]));
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

}  // namespace

std::string decode_lossy(std::string_view s) {
  return replacing_invalid(s, [](std::string& out, unsigned char) { out += "\xEF\xBF\xBD"; });
}

std::string printable_bytes(std::string_view s) {
  return replacing_invalid(s, [](std::string& out, unsigned char b) {
    static const char* hex = "0123456789ABCDEF";
    out += '<';
    out += hex[b >> 4];
    out += hex[b & 15];
    out += '>';
  });
}

bool is_white_space(std::int32_t cp) {
  if ((cp >= 0x09 && cp <= 0x0D) || cp == 0x85) return true;
  if (cp >= 0 && cp < 0x80) return cp == 0x20;  // the only other ASCII one (Zs)
  if (cp < 0 || cp > 0x10FFFF) return false;
  const utf8proc_category_t cat = utf8proc_category(cp);
  return cat == UTF8PROC_CATEGORY_ZS || cat == UTF8PROC_CATEGORY_ZL || cat == UTF8PROC_CATEGORY_ZP;
}

std::int32_t next_scalar(std::string_view s, std::size_t& pos) {
  if (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80) return s[pos++];
  std::size_t len = valid_sequence(s, pos);
  if (len == 0) len = 1;  // callers pass validated text; stay in bounds regardless
  const std::int32_t cp = decode_at(s, pos, len);
  pos += len;
  return cp;
}

std::string_view trim(std::string_view s) {
  std::size_t begin = 0;
  while (begin < s.size()) {
    std::size_t next = begin;
    if (!is_white_space(next_scalar(s, next))) break;
    begin = next;
  }
  std::size_t end = s.size();
  while (end > begin) {
    std::size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    std::size_t probe = start;
    if (!is_white_space(next_scalar(s, probe)) || probe != end) break;
    end = start;
  }
  return s.substr(begin, end - begin);
}

std::size_t count_scalars(std::string_view s) {
  std::size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

namespace {

// The escaped form of one character in quoted text.
std::string escaped(std::string_view s, std::size_t start, std::size_t end, std::int32_t cp) {
  static const char* hex = "0123456789abcdef";
  switch (cp) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\t':
      return "\\t";
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case 0:
      return "\\0";
    default:
      break;
  }
  if (!is_escaped_in_quotes(cp)) return std::string(s.substr(start, end - start));
  std::string digits;
  for (std::uint32_t v = static_cast<std::uint32_t>(cp); v != 0 || digits.empty(); v >>= 4) {
    digits.insert(digits.begin(), hex[v & 0xF]);
  }
  return "\\u{" + digits + "}";
}

// open, the pieces of s as written by `piece` while they fit kShownCharacters, close; then how
// many characters were left out, if any.
template <class Piece>
std::string shown_between(std::string_view s, std::string_view open, std::string_view close,
                          Piece&& piece) {
  std::string out(open);
  std::size_t shown = 0, i = 0;
  while (i < s.size()) {
    const std::size_t start = i;
    const std::int32_t cp = next_scalar(s, i);
    const std::string p = piece(start, i, cp);
    const std::size_t width = count_scalars(p);
    if (shown + width > kShownCharacters) {
      i = start;
      break;
    }
    out += p;
    shown += width;
  }
  if (i == s.size()) return out.append(close);
  out += "\xE2\x80\xA6";  // …
  out += close;
  return out + " and " + std::to_string(count_scalars(s.substr(i))) + " more characters";
}

}  // namespace

std::string quoted(std::string_view s) {
  return shown_between(s, "\"", "\"", [&](std::size_t start, std::size_t end, std::int32_t cp) {
    return escaped(s, start, end, cp);
  });
}

std::string clipped(std::string_view s, std::string_view open, std::string_view close) {
  return shown_between(s, open, close, [&](std::size_t start, std::size_t end, std::int32_t) {
    return std::string(s.substr(start, end - start));
  });
}

void append_scalar(std::string& out, std::int32_t cp) {
  utf8proc_uint8_t buf[4];
  const utf8proc_ssize_t len = utf8proc_encode_char(cp, buf);
  out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(len));
}

}  // namespace quorlan::text
