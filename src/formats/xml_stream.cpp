#include "formats/xml_stream.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "core/interrupt.h"
#include "core/panic.h"

namespace quorlan::xml {
namespace {

// What the windows rely on in pugixml's parser, read in its sources from 1.11 to 1.15:
// - with the options below, comments, processing instructions, declarations and document type
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
static_assert(PUGIXML_VERSION >= 1110 && PUGIXML_VERSION <= 1150,
              "the XML windows were written for pugixml 1.11 to 1.15");

constexpr unsigned kOptions =
    pugi::parse_cdata | pugi::parse_eol | pugi::parse_wconv_attribute | pugi::parse_fragment;

bool is_name_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
         u == '_' || u == ':' || u == '-' || u == '.';
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// An element that no end tag in UTF-8 text can close (0xFF never occurs in it): parsed inside
// it, a window is never at the top level unless the document is.
constexpr std::string_view kSentinel = "<\xFF>";

// An error found this close to the end of a window that stops short of the input's end may be
// the window's doing.
constexpr std::size_t kCutSlack = 8;

constexpr std::size_t kNone = SIZE_MAX;

class Streamer {
 public:
  Streamer(std::string_view input, Handler& handler, Windows windows)
      : in_(input), handler_(handler), windows_(windows) {
    limit_ = in_.size();
    for (std::size_t i = 0; i < in_.size(); ++i) {
      const auto c = static_cast<unsigned char>(in_[i]);
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
        limit_ = i;
        break;
      }
    }
  }

  StreamResult run();

 private:
  enum class Step { kDone, kIncomplete, kStopped };

  // The window [pos_, end_) of the input, after a prefix of prefix_ bytes.
  void parse_window(bool open_innermost_by_name);
  std::size_t to_input(std::ptrdiff_t buffer_offset) const {
    const auto past = buffer_offset - static_cast<std::ptrdiff_t>(prefix_);
    return pos_ + static_cast<std::size_t>(std::max<std::ptrdiff_t>(past, 0));
  }
  // Where the parser's error is in the input (a window with no content of its own reports the
  // terminator's rollback on its prefix, which is the character before the window).
  std::size_t error_position() const {
    return pos_ + static_cast<std::size_t>(parsed_.offset) - prefix_;
  }
  bool at_terminator() const {
    const auto offset = static_cast<std::size_t>(parsed_.offset);
    const std::size_t content_end = prefix_ + (end_ - pos_);
    return end_ == in_.size() ? offset + 1 >= content_end : offset >= content_end;
  }
  bool found_at_end() const;

  Step walk();
  Step visit(const pugi::xml_node& n);
  // The innermost open element of the window closes at the next end tag: false if none is
  // there before the bound.
  bool close_innermost(bool& stopped);
  std::size_t close_carried(std::size_t at);

  std::size_t depth() const { return carried_.size() + open_.size() - placeholders_; }
  bool is_placeholder(const pugi::xml_node& n) const { return n == sentinel_ || n == innermost_; }
  std::string_view carried_name(std::uint64_t at) const;
  std::size_t skip_misc(std::size_t p, std::size_t bound) const;
  std::size_t construct_end(std::size_t p) const;
  std::size_t next_window_size(std::size_t size) const;
  std::size_t end_tag_at(std::size_t p, std::string_view name, std::size_t bound) const;
  std::size_t tag_end(std::size_t name_at, std::size_t bound) const;
  std::optional<Error> attribute_error(const pugi::xml_node& e, std::size_t at);

  Step stop(Outcome outcome, std::size_t position = 0, std::string text = {}) {
    result_ = StreamResult{outcome, Error{position, std::move(text)}};
    return Step::kStopped;
  }

  std::string_view in_;
  Handler& handler_;
  Windows windows_;
  std::size_t limit_;  // the first character XML forbids, or the input's end

  // Elements opened in earlier windows and still open, by the offset of their name.
  std::deque<std::uint64_t> carried_;
  std::size_t top_level_ = 0;  // elements met outside every other
  std::optional<StreamResult> result_;
  InterruptTicker tick_;

  // The current window.
  std::size_t pos_ = 0, end_ = 0, prefix_ = 0;
  std::vector<char> buffer_;
  pugi::xml_document doc_;
  pugi::xml_parse_result parsed_;
  pugi::xml_node sentinel_, innermost_;  // the prefix's elements, if it has them
  pugi::xml_node last_;                  // the last node in document order
  std::size_t placeholders_ = 0;         // of them, those open in open_
  std::size_t bound_ = 0;                // the walk reads nothing at or past it
  std::size_t gap_ = 0;                  // just past the last whole construct
  std::vector<pugi::xml_node> open_;     // the window's open elements, outermost first
  std::vector<std::string_view> names_;  // of one start tag's attributes
  std::vector<std::uint32_t> order_;
};

void Streamer::parse_window(bool open_innermost_by_name) {
  // A window larger than the last one gets a buffer of its own, the old one freed first (the
  // document points into it): a long construct's window is then never held twice.
  const std::size_t name = open_innermost_by_name ? carried_name(carried_.back()).size() : 0;
  const std::size_t room = (end_ - pos_) + name + kSentinel.size() + 8;  // the prefix, the ends
  if (room > buffer_.capacity()) {
    doc_.reset();
    std::vector<char>().swap(buffer_);
    buffer_.reserve(room);
  }
  buffer_.clear();
  const bool sentinel = pos_ > 0 && carried_.size() > (open_innermost_by_name ? 1u : 0u);
  if (sentinel) buffer_.insert(buffer_.end(), kSentinel.begin(), kSentinel.end());
  if (open_innermost_by_name) {
    const std::string_view name = carried_name(carried_.back());
    buffer_.push_back('<');
    buffer_.insert(buffer_.end(), name.begin(), name.end());
    buffer_.push_back('>');
  } else if (pos_ > 0 && carried_.empty() && in_.substr(pos_, 3) == "\xEF\xBB\xBF") {
    buffer_.push_back(' ');  // keeps a byte-order mark inside the document from being skipped
  }
  prefix_ = buffer_.size();
  buffer_.insert(buffer_.end(), in_.begin() + static_cast<std::ptrdiff_t>(pos_),
                 in_.begin() + static_cast<std::ptrdiff_t>(end_));
  // The terminator, as the parser's own copy of a buffer has it. The parser reports an error
  // at the terminator on the character before; a window that stops short of the input's end
  // gets a second one, so that such an error stays apart from one at its last character.
  buffer_.push_back('\0');
  if (end_ < in_.size()) buffer_.push_back('\0');
  parsed_ = doc_.load_buffer_inplace(buffer_.data(), buffer_.size(), kOptions, pugi::encoding_utf8);
  last_ = doc_;
  while (last_.last_child()) last_ = last_.last_child();
  sentinel_ = sentinel ? doc_.first_child() : pugi::xml_node();
  innermost_ = !open_innermost_by_name ? pugi::xml_node()
               : sentinel              ? sentinel_.first_child()
                                       : doc_.first_child();
}

// Whether the parser's error was found at the end of the window, where more input might have
// made it no error at all.
bool Streamer::found_at_end() const {
  if (at_terminator()) return true;
  if (end_ == in_.size()) return false;  // nothing follows: the error stands where it is
  const auto offset = static_cast<std::size_t>(parsed_.offset);
  const std::size_t content_end = prefix_ + (end_ - pos_);
  if (offset + kCutSlack >= content_end) return true;
  const pugi::xml_node& last = last_;
  const char* at = buffer_.data() + offset;
  switch (parsed_.status) {
    case pugi::status_bad_attribute:
      return last.type() == pugi::node_element && last.last_attribute() &&
             last.last_attribute().value() == at;
    case pugi::status_bad_cdata:
      return last.type() == pugi::node_cdata && last.value() == at;
    case pugi::status_end_element_mismatch: {
      std::size_t p = offset;
      while (p < content_end && is_name_char(buffer_[p])) ++p;
      return p == content_end;
    }
    default:
      return false;
  }
}

StreamResult Streamer::run() {
  std::size_t size = std::max<std::size_t>(windows_.first, 1);
  bool by_name = false;  // the window opens the innermost carried element by its name
  for (;;) {
    check_interrupt();
    end_ = pos_ + std::min(size, limit_ - pos_);
    parse_window(by_name);

    if (parsed_.status == pugi::status_out_of_memory) return {Outcome::kOutOfMemory, {}};
    const bool ok = parsed_.status == pugi::status_ok;
    const bool at_end = !ok && found_at_end();
    // Nothing at or after an error is delivered; one found at the terminator comes after all.
    bound_ = ok || at_terminator() ? end_ : error_position();
    const Step step = walk();
    if (step == Step::kStopped) return *result_;
    const bool last_window = end_ == limit_;
    const std::size_t tag = error_position() - 2;  // for a mismatch: the end tag's '<'
    if (parsed_.status == pugi::status_end_element_mismatch && error_position() >= pos_ + 2 &&
        in_.substr(tag, 2) == "</" && step == Step::kDone && sentinel_ &&
        open_.back() == sentinel_) {
      // An end tag for an element of an earlier window.
      const std::size_t after = close_carried(tag);
      if (result_) return *result_;
      if (after > tag || !at_end || last_window) {
        by_name = after == tag;  // not one the fast path takes: let the parser judge it
        size = std::clamp(2 * (after - pos_), windows_.smallest, windows_.largest);
        pos_ = after;
        continue;
      }
    }
    if (!ok && !at_end) return {Outcome::kError, {error_position(), parsed_.description()}};
    if (!last_window) {
      // White space that ends the window may begin a text node that goes on after it.
      std::size_t consumed = gap_;
      if (ok && step == Step::kDone) {
        consumed = end_;
        while (consumed > gap_ && is_space(in_[consumed - 1])) --consumed;
      }
      for (const pugi::xml_node& e : open_) {
        if (!is_placeholder(e)) carried_.push_back(to_input(e.offset_debug()));
      }
      const std::size_t progress = consumed - pos_;
      size = progress == 0 ? next_window_size(size)
                           : std::clamp(2 * progress, windows_.smallest, windows_.largest);
      by_name = by_name && progress == 0;
      pos_ = consumed;
      continue;
    }
    if (limit_ < in_.size()) return {Outcome::kError, {limit_, "not well-formed (invalid token)"}};
    if (!ok) return {Outcome::kError, {error_position(), parsed_.description()}};
    if (top_level_ == 0) return {Outcome::kError, {in_.size(), "no element found"}};
    return {Outcome::kEnd, {}};
  }
}

// Where the construct that begins at p ends (just past it), as far as a scan can tell without
// parsing: a run of text at the next '<', a comment, CDATA section or processing instruction at
// its terminator, a tag at the first '>' outside quotes. kNone when the input ends first, and
// for a document type declaration, whose internal subset the scan does not follow.
std::size_t Streamer::construct_end(std::size_t p) const {
  const std::string_view in = in_.substr(0, limit_);
  const auto past = [&](std::string_view terminator, std::size_t from) {
    const std::size_t at = in.find(terminator, from);
    return at == std::string_view::npos ? kNone : at + terminator.size();
  };
  if (p >= in.size()) return kNone;
  if (in[p] != '<') {
    const std::size_t lt = in.find('<', p);
    return lt == std::string_view::npos ? kNone : lt;
  }
  if (in.substr(p, 4) == "<!--") return past("-->", p + 4);
  if (in.substr(p, 9) == "<![CDATA[") return past("]]>", p + 9);
  if (in.substr(p, 2) == "<?") return past("?>", p + 2);
  if (in.substr(p, 2) == "<!") return kNone;
  char quote = 0;
  for (std::size_t q = p + 1; q < in.size(); ++q) {
    const char c = in[q];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return q + 1;
    }
  }
  return kNone;
}

// The window after one that held no whole construct: one that holds the construct at its start
// with a little room after it, where a scan finds its end and that is larger; otherwise twice
// the last. Each is larger than the last, so the windows reach the construct's end.
std::size_t Streamer::next_window_size(std::size_t size) const {
  constexpr std::size_t kRoomAfter = 64;
  const std::size_t end = construct_end(pos_);
  if (end != kNone && end - pos_ + kRoomAfter > size) return end - pos_ + kRoomAfter;
  return size * 2;
}

// Delivers the events of the window's whole constructs, in document order.
Streamer::Step Streamer::walk() {
  open_.clear();
  placeholders_ = 0;
  gap_ = pos_;
  bool stopped = false;
  for (pugi::xml_node n = doc_.first_child(); n;) {
    tick_();
    if (is_placeholder(n)) {
      open_.push_back(n);
      ++placeholders_;
    } else {
      while (!open_.empty() && open_.back() != n.parent()) {
        if (!close_innermost(stopped)) panic("XML window: an end tag the parser read is missing");
        if (stopped) return Step::kStopped;
      }
      const Step s = visit(n);
      if (s != Step::kDone) return s;
    }
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && !n.next_sibling()) n = n.parent();
    if (n) n = n.next_sibling();
  }
  while (!open_.empty() && open_.back() != sentinel_ && close_innermost(stopped)) {
    if (stopped) return Step::kStopped;
  }
  return Step::kDone;
}

Streamer::Step Streamer::visit(const pugi::xml_node& n) {
  const std::size_t at = to_input(n.offset_debug());
  switch (n.type()) {
    case pugi::node_element: {
      // The parser stops inside a start tag on these two, sometimes past its '>'.
      if (n == last_ && (parsed_.status == pugi::status_bad_start_element ||
                         parsed_.status == pugi::status_bad_attribute)) {
        return Step::kIncomplete;
      }
      const std::size_t close = tag_end(at, bound_);
      if (close == kNone) return Step::kIncomplete;
      const std::size_t lt = at - 1;
      if (depth() == 0 && top_level_++ > 0) {
        return stop(Outcome::kError, lt, "junk after document element");
      }
      if (std::optional<Error> bad = attribute_error(n, lt)) {
        return stop(Outcome::kError, bad->position, std::move(bad->text));
      }
      const bool self_closing = in_[close - 1] == '/';
      if (!handler_.start(n.name(), Attributes(n.first_attribute().internal_object()),
                          self_closing)) {
        return stop(Outcome::kStopped);
      }
      if (!self_closing) open_.push_back(n);
      gap_ = close + 1;
      return Step::kDone;
    }
    case pugi::node_pcdata: {
      // Its end is the '<' that starts the next construct, which may be the one in error.
      std::size_t after = in_.substr(0, std::min(bound_ + 1, end_)).find('<', at);
      if (after == std::string_view::npos) {
        if (bound_ != in_.size()) return Step::kIncomplete;  // the text may go on
        after = bound_;
      }
      if (depth() == 0) return stop(Outcome::kError, at, "text outside the document element");
      if (!handler_.text(n.value())) return stop(Outcome::kStopped);
      gap_ = after;
      return Step::kDone;
    }
    case pugi::node_cdata: {
      const std::size_t close = in_.substr(0, bound_).find("]]>", at);
      if (close == std::string_view::npos) return Step::kIncomplete;
      if (depth() == 0) return stop(Outcome::kError, at, "text outside the document element");
      gap_ = close + 3;
      return Step::kDone;
    }
    default:
      panic("XML window: a node of a kind the options exclude");
  }
}

bool Streamer::close_innermost(bool& stopped) {
  const pugi::xml_node e = open_.back();
  const std::string_view name = e.name();
  const std::size_t after = end_tag_at(skip_misc(gap_, bound_), name, bound_);
  if (after == kNone) return false;
  open_.pop_back();
  gap_ = after;
  if (e == innermost_) {
    --placeholders_;
    carried_.pop_back();
  }
  if (!handler_.end(name)) {
    stop(Outcome::kStopped);
    stopped = true;
  }
  return true;
}

// The end tags of carried elements that follow one another from `at` on, taken without the
// parser; returns where the first other construct starts.
std::size_t Streamer::close_carried(std::size_t at) {
  std::size_t p = at;
  while (!carried_.empty()) {
    const std::string_view name = carried_name(carried_.back());
    const std::size_t after = end_tag_at(p, name, limit_);
    if (after == kNone) break;
    if (!handler_.end(name)) {
      stop(Outcome::kStopped);
      return p;
    }
    carried_.pop_back();
    p = after;
    std::size_t next = p;
    while (next < limit_ && is_space(in_[next])) ++next;
    if (in_.substr(next, 2) != "</") break;
    p = next;
  }
  return p;
}

std::string_view Streamer::carried_name(std::uint64_t at) const {
  std::size_t end = at;
  while (end < in_.size() && is_name_char(in_[end])) ++end;
  return in_.substr(at, end - at);
}

// Past white space, comments and processing instructions from p, none crossing the bound.
std::size_t Streamer::skip_misc(std::size_t p, std::size_t bound) const {
  const std::string_view text = in_.substr(0, bound);
  while (p < bound) {
    if (is_space(text[p])) {
      ++p;
      continue;
    }
    const std::string_view close = text.substr(p, 4) == "<!--" ? "-->"
                                   : text.substr(p, 2) == "<?" ? "?>"
                                                               : "";
    if (close.empty()) break;
    const std::size_t found = text.find(close, p + (close.size() == 3 ? 4 : 2));
    if (found == std::string_view::npos) break;
    p = found + close.size();
  }
  return p;
}

// Just past the end tag of `name` at p, if one ends before the bound.
std::size_t Streamer::end_tag_at(std::size_t p, std::string_view name, std::size_t bound) const {
  const std::string_view text = in_.substr(0, bound);
  if (text.substr(p, 2) != "</" || text.substr(p + 2, name.size()) != name) return kNone;
  std::size_t q = p + 2 + name.size();
  if (q < text.size() && is_name_char(text[q])) return kNone;
  while (q < text.size() && is_space(text[q])) ++q;
  return q < text.size() && text[q] == '>' ? q + 1 : kNone;
}

// The '>' that ends the start tag whose name begins at name_at: the first outside quoted values.
std::size_t Streamer::tag_end(std::size_t name_at, std::size_t bound) const {
  char quote = 0;
  for (std::size_t i = name_at; i < bound; ++i) {
    const char c = in_[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return kNone;
}

// The first attribute, in document order, whose value holds '<' or whose name an earlier one
// has: an error at the tag.
std::optional<Error> Streamer::attribute_error(const pugi::xml_node& e, std::size_t at) {
  names_.clear();
  bool angle = false;
  for (pugi::xml_attribute a = e.first_attribute(); a && !angle; a = a.next_attribute()) {
    angle = std::string_view(a.value()).find('<') != std::string_view::npos;
    names_.push_back(a.name());
  }
  // The first repeated name: pairwise for a few, else by a stable sort of the positions.
  std::size_t repeated = kNone;
  constexpr std::size_t kFewToCompare = 8;
  if (names_.size() <= kFewToCompare) {
    for (std::size_t k = 1; k < names_.size() && repeated == kNone; ++k) {
      if (std::find(names_.begin(), names_.begin() + static_cast<std::ptrdiff_t>(k), names_[k]) !=
          names_.begin() + static_cast<std::ptrdiff_t>(k)) {
        repeated = k;
      }
    }
  } else {
    order_.resize(names_.size());
    for (std::size_t k = 0; k < order_.size(); ++k) order_[k] = static_cast<std::uint32_t>(k);
    std::stable_sort(order_.begin(), order_.end(),
                     [&](std::uint32_t x, std::uint32_t y) { return names_[x] < names_[y]; });
    for (std::size_t k = 1; k < order_.size(); ++k) {
      if (names_[order_[k]] == names_[order_[k - 1]])
        repeated = std::min<std::size_t>(repeated, order_[k]);
    }
  }
  // The scan stopped at the first value with '<', so a repeat found lies before it or is it.
  if (repeated != kNone && !(angle && repeated == names_.size() - 1)) {
    return Error{at, "duplicate attribute"};
  }
  if (angle) return Error{at, "not well-formed (invalid token)"};
  return std::nullopt;
}

}  // namespace

std::optional<std::string_view> Attributes::first_of(std::string_view a, std::string_view b) const {
  for (pugi::xml_attribute x(first_); x; x = x.next_attribute()) {
    const std::string_view name = x.name();
    if (name == a || name == b) return std::string_view(x.value());
  }
  return std::nullopt;
}

StreamResult stream(std::string_view input, Handler& handler, Windows windows) {
  return Streamer(input, handler, windows).run();
}

}  // namespace quorlan::xml
