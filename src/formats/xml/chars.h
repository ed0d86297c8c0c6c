// The XML character classes the readers scan by: white space and the characters of a name.
#pragma once

namespace quorlan::xml {

inline bool is_name_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
         u == '_' || u == ':' || u == '-' || u == '.';
}

inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace quorlan::xml
