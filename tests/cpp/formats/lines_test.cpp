// The line splitting of the line-oriented readers against the plain rule, on every text of up
// to eight characters over "a", "\r" and "\n"; and where the splitter polls for a stop.
#include "formats/lines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "core/interrupt.h"

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

// Counts the polls; never asks for a stop.
class CountPolls final : public InterruptSource {
 public:
  bool requested() override {
    ++polls;
    return false;
  }
  int polls = 0;
};

// The reader polls once every 256 lines and at every line of 64 KB or more, so that its
// callers need not.
TEST(LineReader, PollsEvery256LinesAndAtEveryLongLine) {
  const std::size_t long_line = std::size_t{1} << 16;
  const struct {
    std::string text;
    int polls;
  } cases[] = {
      {std::string(255, '\n'), 0},
      {std::string(256, '\n'), 1},
      {std::string(511, '\n'), 1},
      {std::string(512, '\n'), 2},
      {std::string(long_line - 1, 'a'), 0},
      {std::string(long_line, 'a'), 1},
      {std::string(long_line, 'a') + "\n" + std::string(long_line + 5, 'b') + "\r\n", 2},
  };
  for (const auto& c : cases) {
    CountPolls source;
    const InterruptScope scope(&source, std::chrono::nanoseconds(0));
    LineReader reader(c.text);
    std::string_view line;
    while (reader.next(line)) {
    }
    EXPECT_EQ(source.polls, c.polls) << c.text.size() << " bytes, " << reader.number() << " lines";
  }
}

}  // namespace
}  // namespace quorlan
