// Line splitting shared by the line-oriented readers: lines end at a line feed, a carriage
// return at a line's end is dropped, and a last line without a line feed still counts.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/interrupt.h"

namespace quorlan {

// The reader asks about a stop itself, every 256 lines and at every line of 64 KB or more: a
// caller's loop over the lines needs no polling of its own for the lines' number or length.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // The next raw line (without its ending), or false at the end of the text.
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (end - pos_ >= kLongLine) check_interrupt();
    tick_();
    pos_ = end + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }  // 1-based number of the last line returned

 private:
  static constexpr std::size_t kLongLine = std::size_t{1} << 16;
  std::string_view text_;
  std::size_t pos_ = 0, number_ = 0;
  InterruptTicker tick_;
};

}  // namespace quorlan
