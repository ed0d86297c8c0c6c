// Line splitting shared by the line-oriented readers: lines end at a line feed, a carriage
// return right before it is dropped, and a last line without a line feed still counts.
#pragma once

#include <string_view>

namespace quorlan {

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // The next raw line (without its ending), or false at the end of the text.
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t lf = text_.find('\n', pos_);
    const std::size_t end = lf == std::string_view::npos ? text_.size() : lf;
    line = text_.substr(pos_, end - pos_);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }  // 1-based number of the last line returned

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;
};

}  // namespace quorlan
