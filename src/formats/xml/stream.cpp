// Why windows: pugixml, the XML parser this project builds on, makes a tree and has no pull
// interface, and the tree of a whole document costs several times the document. Parsed a
// window at a time, the document keeps pugixml's judgement of every well-formedness rule (each
// error and its position below is the parser's) while memory follows the window and the
// nesting depth. What that costs is the bookkeeping of this file: the events of a window's
// whole constructs are replayed in document order, an error the window's cut may have caused
// waits for a larger window, and the elements still open where a window ends are carried into
// the next one (xml/internal/window.h parses a window and places what the parser reports).
#include "formats/xml/stream.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "core/interrupt.h"
#include "core/panic.h"
#include "formats/xml/chars.h"
#include "formats/xml/internal/window.h"

namespace quorlan::xml {
namespace {

// The window parse, this unit's own part.
using internal::Reopen;
using internal::Window;

constexpr std::size_t kNone = SIZE_MAX;

// Scans of the input, each in `text` (the input cut where the caller may read no further).

// The name whose first character is at `at`.
std::string_view name_at(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && is_name_char(text[end])) ++end;
  return text.substr(at, end - at);
}

// Past white space, comments and processing instructions from p.
std::size_t skip_misc(std::string_view text, std::size_t p) {
  while (p < text.size()) {
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

// Just past the end tag of `name` at p, kNone if there is none.
std::size_t end_tag_at(std::string_view text, std::size_t p, std::string_view name) {
  if (text.substr(p, 2) != "</" || text.substr(p + 2, name.size()) != name) return kNone;
  std::size_t q = p + 2 + name.size();
  if (q < text.size() && is_name_char(text[q])) return kNone;
  while (q < text.size() && is_space(text[q])) ++q;
  return q < text.size() && text[q] == '>' ? q + 1 : kNone;
}

// The first '>' from p on outside quoted values: the end of a tag that is open at p.
std::size_t tag_end(std::string_view text, std::size_t p) {
  char quote = 0;
  for (std::size_t i = p; i < text.size(); ++i) {
    const char c = text[i];
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

// Where the construct that begins at p ends (just past it), as far as a scan can tell without
// parsing: a run of text at the next '<', a comment, CDATA section or processing instruction at
// its terminator, a tag at the first '>' outside quotes. kNone when the text ends first, and
// for a document type declaration, whose internal subset the scan does not follow.
std::size_t construct_end(std::string_view text, std::size_t p) {
  const auto past = [&](std::string_view terminator, std::size_t from) {
    const std::size_t at = text.find(terminator, from);
    return at == std::string_view::npos ? kNone : at + terminator.size();
  };
  if (p >= text.size()) return kNone;
  if (text[p] != '<') {
    const std::size_t lt = text.find('<', p);
    return lt == std::string_view::npos ? kNone : lt;
  }
  if (text.substr(p, 4) == "<!--") return past("-->", p + 4);
  if (text.substr(p, 9) == "<![CDATA[") return past("]]>", p + 9);
  if (text.substr(p, 2) == "<?") return past("?>", p + 2);
  if (text.substr(p, 2) == "<!") return kNone;
  const std::size_t gt = tag_end(text, p + 1);
  return gt == kNone ? kNone : gt + 1;
}

// The first attribute of a start tag, in document order, whose value holds '<' or whose name
// an earlier one has: an error at the tag. Keeps its scratch between tags.
class AttributeCheck {
 public:
  std::optional<Error> operator()(const pugi::xml_node& e, std::size_t at);

 private:
  std::size_t first_repeat();
  std::vector<std::string_view> names_;
  std::vector<std::uint32_t> order_;
};

std::optional<Error> AttributeCheck::operator()(const pugi::xml_node& e, std::size_t at) {
  names_.clear();
  bool angle = false;
  for (pugi::xml_attribute a = e.first_attribute(); a && !angle; a = a.next_attribute()) {
    angle = std::string_view(a.value()).find('<') != std::string_view::npos;
    names_.push_back(a.name());
  }
  // The scan stopped at the first value with '<', so a repeat found lies before it or is it.
  const std::size_t repeated = first_repeat();
  if (repeated != kNone && !(angle && repeated == names_.size() - 1)) {
    return Error{at, "duplicate attribute"};
  }
  if (angle) return Error{at, "not well-formed (invalid token)"};
  return std::nullopt;
}

// The first name an earlier one has: pairwise for a few, else by a stable sort of the places.
std::size_t AttributeCheck::first_repeat() {
  constexpr std::size_t kFewToCompare = 8;
  const auto begin = names_.begin();
  if (names_.size() <= kFewToCompare) {
    for (std::size_t k = 1; k < names_.size(); ++k) {
      const auto end = begin + static_cast<std::ptrdiff_t>(k);
      if (std::find(begin, end, names_[k]) != end) return k;
    }
    return kNone;
  }
  std::vector<std::uint32_t>& order = order_;
  order.resize(names_.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t x, std::uint32_t y) { return names_[x] < names_[y]; });
  std::size_t repeated = kNone;
  for (std::size_t k = 1; k < order.size(); ++k) {
    if (names_[order[k]] == names_[order[k - 1]])
      repeated = std::min<std::size_t>(repeated, order[k]);
  }
  return repeated;
}

// Where the next window starts, how large it is, and whether it reopens the innermost carried
// element by its name.
struct Next {
  std::size_t pos = 0;
  std::size_t size = 0;
  bool by_name = false;
};

class Streamer {
 public:
  Streamer(std::string_view input, Handler& handler, Windows windows);
  StreamResult run();

 private:
  enum class Step { kDone, kIncomplete, kStopped };

  std::optional<StreamResult> read_window(Next& next);
  std::optional<Next> close_carried_at_error(const Next& last, bool may_be_cut);
  Next advance(const Next& last, bool whole);
  StreamResult finish(bool ok) const;
  std::size_t next_window_size(std::size_t last, std::size_t from, std::size_t progress) const;

  Step walk();
  Step visit(const pugi::xml_node& n);
  Step visit_element(const pugi::xml_node& n);
  Step visit_text(const pugi::xml_node& n);
  Step visit_cdata(const pugi::xml_node& n);
  bool close_innermost(bool& stopped);
  std::size_t close_carried(std::size_t at);

  std::size_t depth() const { return carried_.size() + open_.size() - placeholders_; }
  std::string_view carried_name(std::uint64_t at) const { return name_at(in_, at); }
  Step stop(Outcome outcome, std::size_t position = 0, std::string text = {}) {
    result_ = StreamResult{outcome, Error{position, std::move(text)}};
    return Step::kStopped;
  }

  std::string_view in_;
  Handler& handler_;
  Windows windows_;
  std::size_t limit_;  // the first character XML forbids, or the input's end

  // Elements opened in earlier windows and still open, outermost first, by the offset of their
  // name. The innermost is the window's innermost placeholder when the window reopened it.
  std::deque<std::uint64_t> carried_;
  std::size_t top_level_ = 0;  // elements met outside every other
  std::optional<StreamResult> result_;
  InterruptTicker tick_;
  AttributeCheck attribute_error_;

  Window window_;
  // The walk of a window, in positions of the input:
  //   window_.pos() <= gap_ <= bound_ <= window_.end() <= limit_.
  // Everything before gap_ has been delivered, so the next window may start there; the walk
  // reads nothing at or past bound_, the window's end or the parser's error. open_ holds the
  // window's elements whose start was delivered and whose end was not, outermost first, the
  // placeholders_ prefix elements among them.
  std::size_t gap_ = 0;
  std::size_t bound_ = 0;
  std::vector<pugi::xml_node> open_;
  std::size_t placeholders_ = 0;
};

Streamer::Streamer(std::string_view input, Handler& handler, Windows windows)
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

StreamResult Streamer::run() {
  Next next{0, std::max<std::size_t>(windows_.first, 1), false};
  for (;;) {
    check_interrupt();
    if (std::optional<StreamResult> done = read_window(next)) return *std::move(done);
  }
}

// Parses and walks the window `next` describes: the stream's result if it ends there,
// otherwise nothing, with `next` the window after it.
std::optional<StreamResult> Streamer::read_window(Next& next) {
  const std::size_t end = next.pos + std::min(next.size, limit_ - next.pos);
  const std::size_t reopened = next.by_name ? 1 : 0;
  window_.parse(in_, next.pos, end,
                Reopen{carried_.size() > reopened,
                       next.by_name ? carried_name(carried_.back()) : std::string_view()});
  if (window_.status() == pugi::status_out_of_memory)
    return StreamResult{Outcome::kOutOfMemory, {}};
  const bool ok = window_.ok();
  const bool may_be_cut = !ok && window_.error_may_be_cut();
  // Nothing at or after an error is delivered; one found at the terminator comes after all.
  bound_ = ok || window_.error_at_terminator() ? end : window_.error_position();
  const Step step = walk();
  if (step == Step::kStopped) return *result_;
  const bool last_window = end == limit_;
  if (step == Step::kDone && window_.status() == pugi::status_end_element_mismatch) {
    const std::optional<Next> after = close_carried_at_error(next, may_be_cut && !last_window);
    if (result_) return *result_;
    if (after) {
      next = *after;
      return std::nullopt;
    }
  }
  if (!ok && !may_be_cut)
    return StreamResult{Outcome::kError, {window_.error_position(), window_.description()}};
  if (last_window) return finish(ok);
  next = advance(next, ok && step == Step::kDone);
  return std::nullopt;
}

// The one case the parser cannot judge: the window's error is a mismatched end tag, right
// after its last whole construct, where only the sentinel is open. The tag then ends an element
// of an earlier window (or is the document's error). The end tags of carried elements that
// follow one another from it are taken here, and the next window starts past them. Where the
// first tag ends none (another name, or a tag the scan cannot read), the next window starts at
// it with the innermost carried element reopened by name, so that the parser judges it; unless
// the window's cut may have made the error: then nothing is taken and the window grows.
std::optional<Next> Streamer::close_carried_at_error(const Next& last, bool may_be_cut) {
  const pugi::xml_node& sentinel = window_.sentinel();
  if (!sentinel || open_.empty() || open_.back() != sentinel) return std::nullopt;
  const std::size_t name = window_.error_position();  // a mismatch is reported at the name
  if (name < window_.pos() + 2 || in_.substr(name - 2, 2) != "</") return std::nullopt;
  const std::size_t tag = name - 2;
  const std::size_t after = close_carried(tag);
  if (after == tag && may_be_cut) return std::nullopt;
  return Next{after, next_window_size(last.size, after, after - last.pos), after == tag};
}

// The window after one that is not the last. It starts just past what was delivered; white
// space that ends a window read whole stays for the next, as it may begin a text node that goes
// on after it. The elements still open are carried.
Next Streamer::advance(const Next& last, bool whole) {
  std::size_t consumed = gap_;
  if (whole) {
    consumed = window_.end();
    while (consumed > gap_ && is_space(in_[consumed - 1])) --consumed;
  }
  for (const pugi::xml_node& e : open_) {
    if (!window_.is_placeholder(e)) carried_.push_back(window_.at(e));
  }
  const std::size_t progress = consumed - last.pos;
  return Next{consumed, next_window_size(last.size, consumed, progress),
              last.by_name && progress == 0};
}

StreamResult Streamer::finish(bool ok) const {
  if (limit_ < in_.size()) return {Outcome::kError, {limit_, "not well-formed (invalid token)"}};
  if (!ok) return {Outcome::kError, {window_.error_position(), window_.description()}};
  if (top_level_ == 0) return {Outcome::kError, {in_.size(), "no element found"}};
  return {Outcome::kEnd, {}};
}

// The size of the window after one of `last` bytes that moved the stream on by `progress`:
// twice the progress, within the sizes the caller set. After no progress, one that holds the
// construct at `from` with a little room after it, where a scan finds its end and that is
// larger, otherwise twice the last: each is larger than the last, so the windows reach the
// construct's end.
std::size_t Streamer::next_window_size(std::size_t last, std::size_t from,
                                       std::size_t progress) const {
  if (progress > 0) return std::clamp(2 * progress, windows_.smallest, windows_.largest);
  constexpr std::size_t kRoomAfter = 64;
  const std::size_t end = construct_end(in_.substr(0, limit_), from);
  if (end != kNone && end - from + kRoomAfter > last) return end - from + kRoomAfter;
  return last * 2;
}

// Delivers the events of the window's whole constructs, in document order.
Streamer::Step Streamer::walk() {
  open_.clear();
  placeholders_ = 0;
  gap_ = window_.pos();
  bool stopped = false;
  for (pugi::xml_node n = window_.first(); n;) {
    tick_();
    if (window_.is_placeholder(n)) {
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
  while (!open_.empty() && open_.back() != window_.sentinel() && close_innermost(stopped)) {
    if (stopped) return Step::kStopped;
  }
  return Step::kDone;
}

Streamer::Step Streamer::visit(const pugi::xml_node& n) {
  switch (n.type()) {
    case pugi::node_element:
      return visit_element(n);
    case pugi::node_pcdata:
      return visit_text(n);
    case pugi::node_cdata:
      return visit_cdata(n);
    default:
      panic("XML window: a node of a kind the options exclude");
  }
}

Streamer::Step Streamer::visit_element(const pugi::xml_node& n) {
  // The parser stops inside a start tag on these two, sometimes past its '>'.
  if (n == window_.last() && (window_.status() == pugi::status_bad_start_element ||
                              window_.status() == pugi::status_bad_attribute)) {
    return Step::kIncomplete;
  }
  const std::size_t at = window_.at(n);
  const std::size_t close = tag_end(in_.substr(0, bound_), at);
  if (close == kNone) return Step::kIncomplete;
  const std::size_t lt = at - 1;
  if (depth() == 0 && top_level_++ > 0)
    return stop(Outcome::kError, lt, "junk after document element");
  if (std::optional<Error> bad = attribute_error_(n, lt)) {
    return stop(Outcome::kError, bad->position, std::move(bad->text));
  }
  const bool self_closing = in_[close - 1] == '/';
  if (!handler_.start(n.name(), Attributes(n.first_attribute().internal_object()), self_closing)) {
    return stop(Outcome::kStopped);
  }
  if (!self_closing) open_.push_back(n);
  gap_ = close + 1;
  return Step::kDone;
}

Streamer::Step Streamer::visit_text(const pugi::xml_node& n) {
  const std::size_t at = window_.at(n);
  // Its end is the '<' that starts the next construct, which may be the one in error.
  std::size_t after = in_.substr(0, std::min(bound_ + 1, window_.end())).find('<', at);
  if (after == std::string_view::npos) {
    if (bound_ != in_.size()) return Step::kIncomplete;  // the text may go on
    after = bound_;
  }
  if (depth() == 0) return stop(Outcome::kError, at, "text outside the document element");
  if (!handler_.text(n.value())) return stop(Outcome::kStopped);
  gap_ = after;
  return Step::kDone;
}

Streamer::Step Streamer::visit_cdata(const pugi::xml_node& n) {
  const std::size_t at = window_.at(n);
  const std::size_t close = in_.substr(0, bound_).find("]]>", at);
  if (close == std::string_view::npos) return Step::kIncomplete;
  if (depth() == 0) return stop(Outcome::kError, at, "text outside the document element");
  gap_ = close + 3;
  return Step::kDone;
}

// The innermost open element of the window closes at the next end tag: false if none is there
// before the bound.
bool Streamer::close_innermost(bool& stopped) {
  const pugi::xml_node e = open_.back();
  const std::string_view name = e.name();
  const std::string_view text = in_.substr(0, bound_);
  const std::size_t after = end_tag_at(text, skip_misc(text, gap_), name);
  if (after == kNone) return false;
  open_.pop_back();
  gap_ = after;
  if (e == window_.innermost()) {
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
  const std::string_view text = in_.substr(0, limit_);
  std::size_t p = at;
  while (!carried_.empty()) {
    const std::string_view name = carried_name(carried_.back());
    const std::size_t after = end_tag_at(text, p, name);
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
