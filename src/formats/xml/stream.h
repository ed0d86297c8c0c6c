// XML read as a stream of events in document order, through pugixml, one window of the input at
// a time: memory follows the window and the nesting depth, never the document. Each window is
// parsed as a fragment; the events of the constructs it holds whole are delivered, and the next
// window starts where the last whole construct ended, inside a placeholder element standing for
// the elements still open there. Names, attribute values and text arrive as written: no escape
// is processed, so the caller resolves the references of what it reads.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
struct xml_attribute_struct;
}

namespace quorlan::xml {

// The attributes of one start tag, as written: references unresolved, white space and line
// ends normalised. Valid during the call that hands them over.
class Attributes {
 public:
  explicit Attributes(pugi::xml_attribute_struct* first) : first_(first) {}
  // The value of the first attribute named `a` or `b`, in document order.
  std::optional<std::string_view> first_of(std::string_view a, std::string_view b) const;

 private:
  pugi::xml_attribute_struct* first_;
};

// What the stream delivers; each call answers false to stop it (the handler keeps the reason).
class Handler {
 public:
  virtual ~Handler() = default;
  virtual bool start(std::string_view name, const Attributes& attributes, bool self_closing) = 0;
  virtual bool end(std::string_view name) = 0;
  // A run of character data between two pieces of markup, untrimmed; never only white space.
  virtual bool text(std::string_view raw) = 0;
};

// The first failing rule of a well-formed document, at a byte position of the input.
struct Error {
  std::size_t position = 0;
  std::string text;
};

enum class Outcome {
  kEnd,          // every event delivered; the document is well formed
  kStopped,      // the handler stopped the stream
  kError,        // the document breaks a rule before anything stopped it
  kOutOfMemory,  // the parser found no memory for a window
};

struct StreamResult {
  Outcome outcome;
  Error error;  // kError only
};

// Window sizes in bytes: the first one, the smallest a window shrinks to after a short step,
// and the largest one a window grows to while it has whole constructs to deliver (a construct
// longer than that gets a window of its own). The parser's tree of a window of bare tags takes
// about twenty times the window's bytes, so a quarter of a megabyte keeps it near 5 MB.
struct Windows {
  std::size_t first = std::size_t{1} << 18;
  std::size_t smallest = 256;
  std::size_t largest = std::size_t{1} << 18;
};

StreamResult stream(std::string_view input, Handler& handler, Windows windows = {});

}  // namespace quorlan::xml
