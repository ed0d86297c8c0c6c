// internal: include formats/xml/stream.h instead.
// One window of the XML stream: a slice of the input that pugixml parses as a fragment after a
// short prefix reopening the elements still open where the slice starts, and the translation of
// what the parser reports (node offsets, the error and where it was found) back to positions in
// the input. The replay of the window's events is the stream's business, not this unit's.
//
// What the windows rely on in pugixml's parser, read in its sources from 1.11 to 1.15:
// - with the options used, comments, processing instructions, declarations and document type
//   declarations make no node, so the only nodes are elements, character data and CDATA;
// - a parse stops at the first error, with the offset where it stopped; three errors are
//   reported earlier than where they were found: an attribute value or a CDATA section left
//   open (at its start) and a mismatched end tag (at its name);
// - an error found at the terminator is reported at the last character;
// - an element name is a run of the characters is_name_char accepts;
// - a byte-order mark at the start of the buffer is skipped;
// - a node keeps no record of whether its start tag closed itself: the byte before the tag's
//   '>' tells.
// Another version must be read again before it is admitted here.
#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "formats/xml/chars.h"

static_assert(PUGIXML_VERSION >= 1110 && PUGIXML_VERSION <= 1150,
              "the XML windows were written for pugixml 1.11 to 1.15");

namespace quorlan::xml::internal {

// What goes before the slice: the sentinel, an element no end tag closes, standing for the
// carried elements the window does not reopen by name, so that the window is never at the top
// level unless the document is there; and the innermost carried element reopened by its name,
// so that the parser itself judges an end tag for it.
struct Reopen {
  bool sentinel = false;
  std::string_view innermost;  // empty: none
};

class Window {
 public:
  // Parses input[pos, end) after the prefix `reopen` asks for. The input outlives the window;
  // the nodes of one parse live until the next.
  void parse(std::string_view input, std::size_t pos, std::size_t end, const Reopen& reopen);

  std::size_t pos() const { return pos_; }
  std::size_t end() const { return end_; }
  pugi::xml_parse_status status() const { return parsed_.status; }
  bool ok() const { return parsed_.status == pugi::status_ok; }
  const char* description() const { return parsed_.description(); }

  pugi::xml_node first() const { return doc_.first_child(); }
  // The last node in document order: the one the parser was building when it stopped.
  const pugi::xml_node& last() const { return last_; }
  // The prefix's elements (null where the prefix has none).
  const pugi::xml_node& sentinel() const { return sentinel_; }
  const pugi::xml_node& innermost() const { return innermost_; }
  bool is_placeholder(const pugi::xml_node& n) const { return n == sentinel_ || n == innermost_; }

  // Where a node of the slice starts in the input (a name: just past its '<').
  std::size_t at(const pugi::xml_node& n) const;
  // Where the parser's error is in the input. A window with no content of its own reports the
  // terminator's rollback on its prefix, which is the character before the window.
  std::size_t error_position() const;
  // The error was found at the terminator: nothing of the slice lies at or after it.
  bool error_at_terminator() const;
  // The error was found where the end of a window that stops short of the input's end may have
  // made it: more input might make it no error at all.
  bool error_may_be_cut() const;

 private:
  std::size_t content_end() const { return prefix_ + (end_ - pos_); }

  std::string_view input_;
  // buffer_ holds prefix_ bytes of reopened elements, then input[pos_, end_), then the
  // terminators; its offset b stands for the input's position pos_ + b - prefix_.
  std::size_t pos_ = 0, end_ = 0, prefix_ = 0;
  std::vector<char> buffer_;
  pugi::xml_document doc_;
  pugi::xml_parse_result parsed_;
  pugi::xml_node sentinel_, innermost_, last_;
};

}  // namespace quorlan::xml::internal
