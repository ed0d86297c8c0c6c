#include "core/sets.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace quorlan {
namespace {

std::size_t count_generic(const Word* words, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w) c += static_cast<std::size_t>(std::popcount(words[w]));
  return c;
}

#if defined(__x86_64__)
__attribute__((target("popcnt"))) std::size_t count_popcnt(const Word* words, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w)
    c += static_cast<std::size_t>(__builtin_popcountll(words[w]));
  return c;
}
#endif

using CountFn = std::size_t (*)(const Word*, std::size_t);

CountFn pick() {
#if defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) != 0 && (c & bit_POPCNT) != 0) return count_popcnt;
#endif
  return count_generic;
}

}  // namespace

std::size_t count_bits_dispatched(const Word* words, std::size_t count) {
  static const CountFn count_fn = pick();
  return count_fn(words, count);
}

}  // namespace quorlan
