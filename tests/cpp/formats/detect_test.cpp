// Format detection, the errors of reading any format, and the quoting of input in messages.
#include <gtest/gtest.h>
#include <utf8proc.h>

#include <optional>
#include <string>

#include "formats/read.h"
#include "formats/reader_cases.h"
#include "formats/text.h"

namespace quorlan {
namespace {

using testing::display_of;
using testing::ReaderCase;

const char* name_of(std::optional<ContextFormat> f) {
  if (!f) return "none";
  switch (*f) {
    case ContextFormat::Cxt:
      return "cxt";
    case ContextFormat::Csv:
      return "csv";
    case ContextFormat::Fimi:
      return "fimi";
    case ContextFormat::FcaXml:
      return "xml";
    case ContextFormat::Json:
      return "json";
  }
  return "?";
}

TEST(Detect, ByNameAndFirstLine) {
  struct Case {
    const char* name;
    std::string head;
    const char* expected;
  };
  const Case cases[] = {
      {"DATA.CSV", "", "csv"},
      {"data.Csv", "", "csv"},
      {"x.TSV", "", "csv"},
      {"a.tar.json", "", "json"},
      {"notes.dat", "", "fimi"},
      {"dir.csv/", "", "csv"},
      {"a\\b.XML", "", "xml"},
      {"x.cxt", "{", "cxt"},
      {".csv", "", "none"},
      {"csv", "", "none"},
      {"name.", "", "none"},
      {"data.csv/..", "", "none"},
      {"x.txt", "B\n", "cxt"},
      {"x.txt", "b\n", "none"},
      {"x.txt", "  B \r\nrest", "cxt"},
      {"x", "<?xml version", "xml"},
      {"x", "<a>", "xml"},
      {"x", "{\"a\":1}", "json"},
      {"x", "[1]", "none"},
      {"x", "1 2 3", "fimi"},
      {"x", "1,2,3", "csv"},
      {"x", "name,a,b", "csv"},
      {"x", "7", "none"},
      {"x", "1\t2", "none"},
      {"x", "a\tb", "none"},
      {"x", "\nB\n", "none"},
      {"x", "", "none"},
      {"x",
       "\xEF\xBB\xBF"
       "B\n",
       "none"},
      {"x",
       "\xE3\x80\x80"
       "B",
       "cxt"},  // U+3000 is White_Space
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(name_of(detect_format(c.name, c.head)), c.expected) << c.name << " " << c.head;
  }
}

TEST(Detect, ReadContextErrors) {
  EXPECT_EQ(display_of("", "x"),
            "invalid auto data: could not detect format from extension or first 0 bytes");
  EXPECT_EQ(display_of("hello world", "x"),
            "invalid auto data: could not detect format from extension or first 11 bytes");
  // The comma at byte 280 is beyond the detection window.
  std::string long_line(280, 'a');
  long_line += ",b\n";
  EXPECT_EQ(display_of(long_line, "x"),
            "invalid auto data: could not detect format from extension or first 256 bytes");
  EXPECT_EQ(display_of("B\n\xff", "a.cxt"), "I/O error: stream did not contain valid UTF-8");
  EXPECT_EQ(display_of("\xff", "x"),
            "invalid auto data: could not detect format from extension or first 1 bytes");
}

TEST(Quoted, Escapes) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"abc", "\"abc\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\t\r\n", "\"\\t\\r\\n\""},
      {std::string("a\0b", 3), "\"a\\0b\""},
      {"it's", "\"it's\""},
      {"\x01", "\"\\u{1}\""},
      {"\xC2\xA0", "\"\\u{a0}\""},                           // no-break space
      {"e\xCC\x81", "\"e\\u{301}\""},                        // combining acute
      {"\xC3\xA9\xE2\x80\x94", "\"\xC3\xA9\xE2\x80\x94\""},  // é and em dash as is
      {"\xE2\x80\x8B", "\"\\u{200b}\""},                     // zero width space (format)
  };
  for (const Case& c : cases) EXPECT_EQ(text::quoted(c.in), c.out);
}

// A long piece of input is cut where its shown form, escapes included, reaches 256 characters;
// every reader's message says how much was left out.
TEST(Quoted, LongPiecesInEveryMessage) {
  const std::string digits(1000, '1'), shown(256, '1');
  const std::string cut = "\"" + shown + "\xE2\x80\xA6\" and 744 more characters";
  std::string controls;
  for (int i = 0; i < 51; ++i) controls += "\\u{1}";
  const std::pair<std::string, std::string> cases[] = {
      {read_context(digits + "\n", "t.dat").error().display(),
       "parse error in fimi: line 1: expected non-negative integer, got " + cut},
      {read_context("B\n\n" + digits + "\n", "t.cxt").error().display(),
       "parse error in cxt: expected object count as a non-negative integer, got " + cut},
      {read_context(std::string(300, '\x01'), "t.cxt").error().display(),
       "parse error in cxt: expected format header \"B\", got \"" + controls +
           "\xE2\x80\xA6\" and 249 more characters"},
      {read_context("<C><Attribute Name=\"a\"/><Object><Name>" + digits +
                        "</Name><HasAttribute Id=\"1\"/></Object></C>",
                    "t.xml")
           .error()
           .display(),
       "invalid fca-xml data: object " + cut +
           " references attribute id 1, only 1 attributes "
           "declared"},
      {read_context("{\"quorlan_version\": \"" + digits + "\", \"context\": [\"" + digits + "\"]}",
                    "t.json")
           .error()
           .display(),
       "JSON error: invalid type: string " + cut + ", expected a sequence of strings"},
      {read_context("{\"quorlan_version\": \"" + digits + "\u0001", "t.json").error().display(),
       "JSON error: parse error at line 1, column 1022: syntax error while parsing value - "
       "invalid string: control character U+0001 (SOH) must be escaped to \\u0001; last read: "
       "'\"" +
           shown.substr(1) + "\xE2\x80\xA6' and 753 more characters"},
  };
  for (const auto& [got, expected] : cases) {
    EXPECT_EQ(got, expected);
    EXPECT_LE(text::count_scalars(got), 1000u);
  }
  EXPECT_EQ(text::quoted(shown), "\"" + shown + "\"");  // a piece that fits is shown whole
  EXPECT_EQ(text::clipped(digits.substr(0, 257), "`", "`"),
            "`" + shown + "\xE2\x80\xA6` and 1 more characters");
}

TEST(Text, TrimUnicodeWhiteSpace) {
  EXPECT_EQ(text::trim(" \t\xC2\xA0x y\xE2\x80\xA8\r"), "x y");
  EXPECT_EQ(text::trim("\xE2\x80\x8Bx"), "\xE2\x80\x8Bx");  // U+200B is not White_Space
  EXPECT_EQ(text::trim("   "), "");
  EXPECT_EQ(text::count_scalars("\xC3\xA9x"), 2u);
}

// The readers' character tests with their ASCII shortcuts against plain ones: White_Space as
// the Unicode data defines it (Cc 9-13 and 0x85, Zs, Zl, Zp), every scalar decoded as UTF-8
// says, and decimal numbers with every limit near their last digit.
TEST(Text, ShortcutsAgreeWithPlainDefinitions) {
  for (std::int32_t cp = -1; cp <= 0x110000; ++cp) {
    bool plain = (cp >= 0x09 && cp <= 0x0D) || cp == 0x85;
    if (cp >= 0 && cp <= 0x10FFFF) {
      const utf8proc_category_t cat = utf8proc_category(cp);
      plain = plain || cat == UTF8PROC_CATEGORY_ZS || cat == UTF8PROC_CATEGORY_ZL ||
              cat == UTF8PROC_CATEGORY_ZP;
    }
    ASSERT_EQ(text::is_white_space(cp), plain) << cp;
  }
  std::string all;
  for (std::int32_t cp = 0; cp < 0x300; ++cp) text::append_scalar(all, cp);
  std::size_t pos = 0;
  for (std::int32_t cp = 0; cp < 0x300; ++cp) ASSERT_EQ(text::next_scalar(all, pos), cp);
  EXPECT_EQ(pos, all.size());
  for (std::uint64_t max : {std::uint64_t{0}, std::uint64_t{9}, std::uint64_t{10},
                            std::uint64_t{255}, std::uint64_t{UINT32_MAX}, UINT64_MAX}) {
    for (std::uint64_t v : {std::uint64_t{0}, max / 10, max - 1, max, max + 1}) {
      const std::string digits = std::to_string(v);
      const bool fits = v <= max;  // max + 1 wraps to 0 for the largest limit
      EXPECT_EQ(text::parse_unsigned(digits, max),
                fits ? std::optional<std::uint64_t>(v) : std::nullopt)
          << digits << " " << max;
    }
    if (max > 0) {
      EXPECT_EQ(text::parse_unsigned(std::to_string(max) + "0", max), std::nullopt);
    }
  }
}

}  // namespace
}  // namespace quorlan
