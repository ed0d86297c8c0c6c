// The text the XML readers look at: trimmed of XML white space, and its references resolved by
// the reader itself (the predefined entities and numeric character references), so that no
// declared entity is ever expanded.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "formats/read.h"
#include "formats/xml/stream.h"

namespace quorlan::xml {

std::string_view trim_xml(std::string_view s);

// Raw text with its references resolved, or the reason one of them cannot be. Text without a
// reference is the raw text itself: nothing is copied.
struct Resolved {
  std::string_view raw;
  std::string resolved;  // when the raw text has a reference
  bool has_reference = false;
  const char* error = nullptr;
  std::string_view text() const { return has_reference ? std::string_view(resolved) : raw; }
};

Resolved resolve_references(std::string_view raw);

// The error of a stream that did not reach its end, for a reader of `format`: the handler's own
// when it stopped the stream, else the XML's ("XML parse error at position ...") or memory's;
// nothing when the stream reached its end.
std::optional<FormatError> stream_failure(const StreamResult& streamed, const char* format,
                                          std::optional<FormatError>& handler_error);

}  // namespace quorlan::xml
