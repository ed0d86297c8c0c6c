// References in XML text, resolved by the readers themselves: the predefined entities and
// numeric character references only, never a declared entity.
#include "formats/xml/text.h"

#include <algorithm>
#include <optional>

#include "formats/text.h"
#include "formats/xml/chars.h"

namespace quorlan::xml {

std::string_view trim_xml(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

namespace {

// A code point XML allows in a document (the Char production).
bool is_xml_char(std::uint64_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// The character of a numeric reference's digits ("#65", "#x41"), if it is one XML allows.
std::optional<std::uint32_t> character_number(std::string_view ref) {
  const bool hex = ref.size() > 1 && ref[1] == 'x';
  const std::string_view digits = ref.substr(hex ? 2 : 1);
  if (digits.empty()) return std::nullopt;
  std::uint64_t cp = 0;
  for (const char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return std::nullopt;
    cp = cp * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
    if (cp > 0x10FFFF) return std::nullopt;  // stays out of range, however many digits follow
  }
  if (!is_xml_char(cp)) return std::nullopt;
  return static_cast<std::uint32_t>(cp);
}

}  // namespace

Resolved resolve_references(std::string_view raw) {
  Resolved out;
  out.raw = raw;
  const std::size_t first = raw.find('&');
  if (first == std::string_view::npos) return out;
  out.has_reference = true;
  out.resolved.reserve(raw.size());
  out.resolved.append(raw.substr(0, first));
  for (std::size_t i = first; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out.resolved += raw[i];
      continue;
    }
    const std::size_t semi = raw.find(';', i + 1);
    const std::string_view ref =
        semi == std::string_view::npos ? std::string_view() : raw.substr(i + 1, semi - i - 1);
    if (ref.empty() || ref.find_first_of(" \t\r\n&<") != std::string_view::npos) {
      out.error = "not well-formed (invalid token)";
      return out;
    }
    static constexpr std::pair<std::string_view, char> kPredefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    const auto* p = std::find_if(std::begin(kPredefined), std::end(kPredefined),
                                 [&](const auto& e) { return e.first == ref; });
    if (ref[0] == '#') {
      const std::optional<std::uint32_t> cp = character_number(ref);
      if (!cp) {
        out.error = "reference to invalid character number";
        return out;
      }
      text::append_scalar(out.resolved, static_cast<std::int32_t>(*cp));
    } else if (p != std::end(kPredefined)) {
      out.resolved += p->second;
    } else {
      out.error = "undefined entity";
      return out;
    }
    i = semi;
  }
  return out;
}

std::optional<FormatError> stream_failure(const StreamResult& streamed, const char* format,
                                          std::optional<FormatError>& handler_error) {
  switch (streamed.outcome) {
    case Outcome::kStopped:
      return std::move(handler_error);
    case Outcome::kError:
      return FormatError::parse(format, "XML parse error at position " +
                                            std::to_string(streamed.error.position) + ": " +
                                            streamed.error.text);
    case Outcome::kOutOfMemory:
      return FormatError::io("out of memory");
    case Outcome::kEnd:
      break;
  }
  return std::nullopt;
}

}  // namespace quorlan::xml
