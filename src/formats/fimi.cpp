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

// All transactions back to back, each sorted and without repeats.
struct Transactions {
  std::vector<std::uint32_t> items;
  std::vector<std::size_t> starts{0};  // transaction t is items[starts[t] .. starts[t+1])
  std::uint64_t largest = 0;
  std::size_t size() const { return starts.size() - 1; }
};

// Appends the identifiers of one line's tokens, split at runs of White_Space; the first token
// that is no identifier is returned.
std::optional<std::string_view> parse_tokens(std::string_view line,
                                             std::vector<std::uint32_t>& items) {
  std::size_t pos = 0;
  while (pos < line.size()) {
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
    if (!id) return token;
    items.push_back(static_cast<std::uint32_t>(*id));
    pos = end;
  }
  return std::nullopt;
}

std::optional<FormatError> read_transactions(std::string_view input, Transactions& out) {
  LineReader lines(input);
  std::string_view raw;
  while (lines.next(raw)) {
    const std::string_view line = text::trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const auto first = static_cast<std::ptrdiff_t>(out.items.size());
    if (const std::optional<std::string_view> bad = parse_tokens(line, out.items)) {
      return FormatError::parse(kFimi, "line " + std::to_string(lines.number()) +
                                           ": expected non-negative integer, got " +
                                           text::quoted(*bad));
    }
    std::sort(out.items.begin() + first, out.items.end());
    out.items.erase(std::unique(out.items.begin() + first, out.items.end()), out.items.end());
    out.largest = std::max<std::uint64_t>(out.largest, out.items.back());
    out.starts.push_back(out.items.size());
  }
  return std::nullopt;
}

}  // namespace

ContextResult read_fimi(std::string_view input) {
  Transactions t;
  if (std::optional<FormatError> error = read_transactions(input, t))
    return fail(std::move(*error));
  const std::size_t k = t.size();
  if (k == 0) return fail(FormatError::invalid(kFimi, "input contains no transactions"));
  const std::uint64_t m = t.largest + 1;
  if (m > kFimiMaxAttributes ||
      static_cast<double>(m) * static_cast<double>(k) > static_cast<double>(kFimiMaxCells)) {
    return fail(FormatError::invalid(
        kFimi, "item identifier " + std::to_string(t.largest) + " would make a table of " +
                   std::to_string(k) + " transactions by " + std::to_string(m) +
                   " attributes, beyond the limit of " + std::to_string(kFimiMaxAttributes) +
                   " attributes and " + std::to_string(kFimiMaxCells) + " incidence cells"));
  }
  std::vector<std::string> objects, attributes;
  objects.reserve(k);
  attributes.reserve(m);
  for (std::size_t i = 0; i < k; ++i) objects.push_back(text::numbered('g', i));
  for (std::uint64_t j = 0; j < m; ++j) attributes.push_back(text::numbered('m', j));
  std::vector<AttributeSet> rows;
  rows.reserve(k);
  for (std::size_t i = 0; i < k; ++i) {
    AttributeSet row = AttributeSet::empty(m);
    for (std::size_t p = t.starts[i]; p < t.starts[i + 1]; ++p) row.insert(t.items[p]);
    rows.push_back(std::move(row));
  }
  return constructed(
      Context::from_rows(std::move(objects), std::move(attributes), std::move(rows)));
}

}  // namespace quorlan
