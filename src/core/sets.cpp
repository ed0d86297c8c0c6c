#include "core/sets.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace quorlan {
namespace {

// Each kernel in a portable form and, on x86-64, compiled for the popcount instruction; one of
// each pair is chosen once, at run time.
std::size_t count_generic(const Word* words, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w) c += static_cast<std::size_t>(std::popcount(words[w]));
  return c;
}

std::size_t and_count_generic(const Word* a, const Word* b, Word* out, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w) {
    out[w] = a[w] & b[w];
    c += static_cast<std::size_t>(std::popcount(out[w]));
  }
  return c;
}

#if defined(__x86_64__)
__attribute__((target("popcnt"))) std::size_t count_popcnt(const Word* words, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w)
    c += static_cast<std::size_t>(__builtin_popcountll(words[w]));
  return c;
}

__attribute__((target("popcnt"))) std::size_t and_count_popcnt(const Word* a, const Word* b,
                                                               Word* out, std::size_t count) {
  std::size_t c = 0;
  for (std::size_t w = 0; w < count; ++w) {
    out[w] = a[w] & b[w];
    c += static_cast<std::size_t>(__builtin_popcountll(out[w]));
  }
  return c;
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
  static const CountFn count_fn = has_popcount() ? count_popcnt : count_generic;
#else
  static const CountFn count_fn = count_generic;
#endif
  return count_fn(words, count);
}

std::size_t and_count(const Word* a, const Word* b, Word* out, std::size_t count) {
#if defined(__x86_64__)
  static const AndCountFn and_count_fn = has_popcount() ? and_count_popcnt : and_count_generic;
#else
  static const AndCountFn and_count_fn = and_count_generic;
#endif
  return and_count_fn(a, b, out, count);
}

}  // namespace quorlan
