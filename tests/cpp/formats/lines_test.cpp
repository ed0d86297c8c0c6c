// The line splitting of the line-oriented readers against the plain rule, on every text of up
// to eight characters over "a", "\r" and "\n".
#include "formats/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quorlan {
namespace {

// Pieces between line feeds, each without a carriage return at its end; nothing after a last
// line feed.
std::vector<std::string> plain_lines(const std::string& text) {
  std::vector<std::string> out;
  std::string piece;
  for (char c : text) {
    if (c != '\n') {
      piece += c;
      continue;
    }
    if (!piece.empty() && piece.back() == '\r') piece.pop_back();
    out.push_back(piece);
    piece.clear();
  }
  if (!piece.empty()) {
    if (piece.back() == '\r') piece.pop_back();
    out.push_back(piece);
  }
  return out;
}

TEST(LineReader, EveryShortTextSplitsAsThePlainRule) {
  std::vector<std::string> texts = {""};
  for (std::size_t length = 1, from = 0; length <= 8; ++length) {
    const std::size_t to = texts.size();
    for (std::size_t i = from; i < to; ++i) {
      for (char c : {'a', '\r', '\n'}) texts.push_back(texts[i] + c);
    }
    from = to;
  }
  for (const std::string& text : texts) {
    LineReader reader(text);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) {
      lines.emplace_back(line);
      ASSERT_EQ(reader.number(), lines.size());
    }
    EXPECT_EQ(lines, plain_lines(text)) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace quorlan
