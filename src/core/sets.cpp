#include "core/sets.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace quorlan {
namespace {

// Each kernel in a portable form and, on x86-64, the same loop compiled for the popcount
// instruction (the portable one inlined into a function built for it); one of each pair is
// chosen once, at run time.
inline std::size_t and_count_portable(const Word* a, const Word* b, Word* out, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w) {
    out[w] = a[w] & b[w];
    c += static_cast<std::size_t>(std::popcount(out[w]));
  }
  return c;
}

#if defined(__x86_64__)
__attribute__((target("popcnt"))) std::size_t count_popcnt(const Word* words, std::size_t count) {
  return count_bits_portable(words, count);
}

__attribute__((target("popcnt"))) std::size_t and_count_popcnt(const Word* a, const Word* b,
                                                               Word* out, std::size_t count) {
  return and_count_portable(a, b, out, count);
}

bool has_popcount() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(1, &a, &b, &c, &d) != 0 && (c & bit_POPCNT) != 0;
}
#endif

using CountFn = std::size_t (*)(const Word*, std::size_t);
using AndCountFn = std::size_t (*)(const Word*, const Word*, Word*, std::size_t);

}  // namespace

std::size_t count_bits_dispatched(const Word* words, std::size_t count) {
#if defined(__x86_64__)
  static const CountFn kCountFn = has_popcount() ? count_popcnt : count_bits_portable;
#else
  static const CountFn kCountFn = count_bits_portable;
#endif
  return kCountFn(words, count);
}

std::size_t and_count(const Word* a, const Word* b, Word* out, std::size_t count) {
#if defined(__x86_64__)
  static const AndCountFn kAndCountFn = has_popcount() ? and_count_popcnt : and_count_portable;
#else
  static const AndCountFn kAndCountFn = and_count_portable;
#endif
  return kAndCountFn(a, b, out, count);
}

}  // namespace quorlan
