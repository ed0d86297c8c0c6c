#include "formats/xml/internal/window.h"

#include <algorithm>

namespace quorlan::xml::internal {
namespace {

constexpr unsigned kOptions =
    pugi::parse_cdata | pugi::parse_eol | pugi::parse_wconv_attribute | pugi::parse_fragment;

// An element that no end tag in UTF-8 text can close (0xFF never occurs in it).
constexpr std::string_view kSentinel = "<\xFF>";

// An error found this close to the end of a window that stops short of the input's end may be
// the window's doing.
constexpr std::size_t kCutSlack = 8;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

void Window::parse(std::string_view input, std::size_t pos, std::size_t end, const Reopen& reopen) {
  input_ = input;
  pos_ = pos;
  end_ = end;
  // A window larger than the last one gets a buffer of its own, the old one freed first (the
  // document points into it): a long construct's window is then never held twice.
  const std::size_t room = (end - pos) + reopen.innermost.size() + kSentinel.size() + 8;
  if (room > buffer_.capacity()) {
    doc_.reset();
    std::vector<char>().swap(buffer_);
    buffer_.reserve(room);
  }
  buffer_.clear();
  if (reopen.sentinel) buffer_.insert(buffer_.end(), kSentinel.begin(), kSentinel.end());
  if (!reopen.innermost.empty()) {
    buffer_.push_back('<');
    buffer_.insert(buffer_.end(), reopen.innermost.begin(), reopen.innermost.end());
    buffer_.push_back('>');
  } else if (pos > 0 && !reopen.sentinel && input.substr(pos, 3) == kByteOrderMark) {
    buffer_.push_back(' ');  // keeps a byte-order mark inside the document from being skipped
  }
  prefix_ = buffer_.size();
  buffer_.insert(buffer_.end(), input.begin() + static_cast<std::ptrdiff_t>(pos),
                 input.begin() + static_cast<std::ptrdiff_t>(end));
  // The terminator, as the parser's own copy of a buffer has it. The parser reports an error
  // at the terminator on the character before; a window that stops short of the input's end
  // gets a second one, so that such an error stays apart from one at its last character.
  buffer_.push_back('\0');
  if (end < input.size()) buffer_.push_back('\0');
  parsed_ = doc_.load_buffer_inplace(buffer_.data(), buffer_.size(), kOptions, pugi::encoding_utf8);
  last_ = doc_;
  while (last_.last_child()) last_ = last_.last_child();
  sentinel_ = reopen.sentinel ? doc_.first_child() : pugi::xml_node();
  innermost_ = reopen.innermost.empty() ? pugi::xml_node()
               : reopen.sentinel        ? sentinel_.first_child()
                                        : doc_.first_child();
}

std::size_t Window::at(const pugi::xml_node& n) const {
  const auto past = n.offset_debug() - static_cast<std::ptrdiff_t>(prefix_);
  return pos_ + static_cast<std::size_t>(std::max<std::ptrdiff_t>(past, 0));
}

std::size_t Window::error_position() const {
  return pos_ + static_cast<std::size_t>(parsed_.offset) - prefix_;
}

bool Window::error_at_terminator() const {
  const auto offset = static_cast<std::size_t>(parsed_.offset);
  return end_ == input_.size() ? offset + 1 >= content_end() : offset >= content_end();
}

bool Window::error_may_be_cut() const {
  if (error_at_terminator()) return true;
  if (end_ == input_.size()) return false;  // nothing follows: the error stands where it is
  const auto offset = static_cast<std::size_t>(parsed_.offset);
  if (offset + kCutSlack >= content_end()) return true;
  // The three errors reported before where they were found: found at the end if what they
  // report runs to it.
  const char* at = buffer_.data() + offset;
  switch (parsed_.status) {
    case pugi::status_bad_attribute:
      return last_.type() == pugi::node_element && last_.last_attribute() &&
             last_.last_attribute().value() == at;
    case pugi::status_bad_cdata:
      return last_.type() == pugi::node_cdata && last_.value() == at;
    case pugi::status_end_element_mismatch: {
      std::size_t p = offset;
      while (p < content_end() && is_name_char(buffer_[p])) ++p;
      return p == content_end();
    }
    default:
      return false;
  }
}

}  // namespace quorlan::xml::internal
