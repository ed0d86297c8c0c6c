// The readers of other tools' files (cex, slf, oal, ConExp-NG's CSV), the first byte picking
// one: a context or an error, never a crash; valid UTF-8 in every name and message; a cex
// document in small windows reads as in one.
#include <cstdint>

#include "formats/other.h"
#include "formats/text.h"
#include "outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!quorlan::text::is_valid_utf8(content)) return 0;  // the companion checks it first
  using quorlan::fuzz::outcome;
  quorlan::ContextResult r = quorlan::read_oal(content);
  switch (data[0] % 4) {
    case 0: {
      r = quorlan::read_cex(content);
      const std::size_t w = 1 + content.size() % 7;
      if (outcome(quorlan::read_cex(content, {w, w, w})) != outcome(r)) __builtin_trap();
      break;
    }
    case 1:
      r = quorlan::read_slf(content);
      break;
    case 2:
      r = quorlan::read_conexp_csv(content);
      break;
    default:
      break;
  }
  const std::string text = outcome(r);
  if (!quorlan::text::is_valid_utf8(text)) __builtin_trap();
  return 0;
}
