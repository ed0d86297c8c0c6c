// FIMI transactions: one transaction per line, items as non-negative integers; each
// transaction becomes an object g{i}, each identifier from 0 to the largest an attribute m{id}.
#include "formats/fimi.h"

#include <algorithm>
#include <optional>

#include "formats/lines.h"
#include "formats/read.h"
#include "formats/text.h"

namespace quorlan {
namespace {

constexpr const char* kFimi = "fimi";

}  // namespace

ContextResult read_fimi(std::string_view input) {
  LineReader lines(input);
  std::vector<std::uint32_t> items;    // all transactions, back to back
  std::vector<std::size_t> starts{0};  // transaction t is items[starts[t] .. starts[t+1])
  std::uint64_t largest = 0;
  std::string_view raw;
  while (lines.next(raw)) {
    const std::string_view line = text::trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t first = items.size();
    std::size_t pos = 0;
    while (pos < line.size()) {
      // Tokens are separated by runs of White_Space.
      std::size_t next = pos;
      if (text::is_white_space(text::next_scalar(line, next))) {
        pos = next;
        continue;
      }
      std::size_t end = pos;
      while (end < line.size()) {
        std::size_t probe = end;
        if (text::is_white_space(text::next_scalar(line, probe))) break;
        end = probe;
      }
      const std::string_view token = line.substr(pos, end - pos);
      const std::optional<std::uint64_t> id = text::parse_unsigned(token, UINT32_MAX);
      if (!id) {
        return fail(FormatError::parse(kFimi, "line " + std::to_string(lines.number()) +
                                                  ": expected non-negative integer, got " +
                                                  text::quoted(token)));
      }
      items.push_back(static_cast<std::uint32_t>(*id));
      pos = end;
    }
    std::sort(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
    items.erase(std::unique(items.begin() + static_cast<std::ptrdiff_t>(first), items.end()),
                items.end());
    largest = std::max<std::uint64_t>(largest, items.back());
    starts.push_back(items.size());
  }
  const std::size_t k = starts.size() - 1;
  if (k == 0) return fail(FormatError::invalid(kFimi, "input contains no transactions"));

  const std::uint64_t m = largest + 1;
  if (m > kFimiMaxAttributes ||
      static_cast<double>(m) * static_cast<double>(k) > static_cast<double>(kFimiMaxCells)) {
    return fail(FormatError::invalid(
        kFimi, "item identifier " + std::to_string(largest) + " would make a table of " +
                   std::to_string(k) + " transactions by " + std::to_string(m) +
                   " attributes, beyond the limit of " + std::to_string(kFimiMaxAttributes) +
                   " attributes and " + std::to_string(kFimiMaxCells) + " incidence cells"));
  }
  std::vector<std::string> objects, attributes;
  objects.reserve(k);
  attributes.reserve(m);
  for (std::size_t t = 0; t < k; ++t) objects.push_back(text::numbered('g', t));
  for (std::uint64_t j = 0; j < m; ++j) attributes.push_back(text::numbered('m', j));
  std::vector<AttributeSet> rows;
  rows.reserve(k);
  for (std::size_t t = 0; t < k; ++t) {
    AttributeSet row = AttributeSet::empty(m);
    for (std::size_t p = starts[t]; p < starts[t + 1]; ++p) row.insert(items[p]);
    rows.push_back(std::move(row));
  }
  return constructed(
      Context::from_rows(std::move(objects), std::move(attributes), std::move(rows)));
}

}  // namespace quorlan
