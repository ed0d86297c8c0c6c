// FCA-XML read one window at a time, the windows cut at offsets the fuzzer chooses, reads as in
// one window, over documents of up to a few megabytes. An input is a recipe: a repeat count and
// window sizes, then a head, a body and a tail separated by the byte 0xFF (never part of UTF-8
// text); the document is the head, the body repeated, and the tail.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "formats/read.h"
#include "formats/text.h"
#include "formats/xml/windows.h"
#include "outcome.h"

namespace {

constexpr std::size_t kLargest = std::size_t{4} << 20;

std::size_t u16(const std::uint8_t* p) { return std::size_t{p[0]} << 8 | p[1]; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const std::size_t repeats = 1 + std::size_t{data[0]} * data[0] * 16;
  quorlan::xml::Windows windows;
  windows.first = 1 + u16(data + 1) * (1 + (data[3] & 7));
  windows.smallest = 1 + (data[4] & 63);
  windows.largest = std::max(windows.smallest, 1 + u16(data + 5) * (1 + (data[3] >> 3 & 7)));
  const std::string_view recipe(reinterpret_cast<const char*>(data + 7), size - 7);
  const std::size_t a = recipe.find('\xFF');
  const std::size_t b = a == std::string_view::npos ? a : recipe.find('\xFF', a + 1);
  std::string_view head, body = recipe, tail;
  if (b != std::string_view::npos) {
    head = recipe.substr(0, a);
    body = recipe.substr(a + 1, b - a - 1);
    tail = recipe.substr(b + 1);
  }
  std::string doc(head);
  for (std::size_t k = 0; k < repeats && doc.size() + body.size() + tail.size() <= kLargest; ++k) {
    doc += body;
  }
  doc += tail;
  if (!quorlan::text::is_valid_utf8(doc)) return 0;
  // Some tens of thousands of windows at most, so that a run takes milliseconds, not minutes.
  windows.smallest = std::max(windows.smallest, doc.size() >> 16);
  windows.largest = std::max({windows.largest, windows.smallest, doc.size() >> 12});
  const quorlan::xml::Windows whole{doc.size() + 1, 1, doc.size() + 1};
  using quorlan::fuzz::outcome;
  if (outcome(quorlan::read_fca_xml(doc, windows)) != outcome(quorlan::read_fca_xml(doc, whole))) {
    __builtin_trap();
  }
  return 0;
}
