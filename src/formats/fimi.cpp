// FIMI transactions: one transaction per line, items as non-negative integers; each
// transaction becomes an object g{i}, each identifier from 0 to the largest an attribute m{id}.
#include "formats/fimi.h"

#include <algorithm>
#include <optional>

#include "core/interrupt.h"
#include "formats/lines.h"
#include "formats/read.h"
#include "formats/text.h"

namespace quorlan {
namespace {

constexpr const char* kFimi = "fimi";

// Whether a White_Space character starts at `next`, which then moves past it; ASCII, which
// the files are made of, without a look-up in the Unicode data.
bool space_at(std::string_view line, std::size_t& next) {
  const unsigned char c = static_cast<unsigned char>(line[next]);
  if (c < 0x80) {
    ++next;
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
  }
  return text::is_white_space(text::next_scalar(line, next));
}

// Appends the identifiers of one line's tokens, split at runs of White_Space; the first token
// that is no identifier is returned.
std::optional<std::string_view> parse_tokens(std::string_view line,
                                             std::vector<std::uint32_t>& items) {
  std::size_t pos = 0;
  InterruptTicker tick(text::kBytesPerTick);
  while (pos < line.size()) {
    tick();
    std::size_t next = pos;
    if (space_at(line, next)) {
      pos = next;
      continue;
    }
    std::size_t end = pos;
    while (end < line.size()) {
      tick();
      std::size_t probe = end;
      if (space_at(line, probe)) break;
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

// Every transaction into `rows`, its items sorted and without repeats; `largest` is the
// largest identifier seen.
std::optional<FormatError> read_transactions(std::string_view input, IncidenceBuilder& rows,
                                             std::uint64_t& largest) {
  LineReader lines(input);
  std::string_view raw;
  std::vector<std::uint32_t> items;
  while (lines.next(raw)) {
    const std::string_view line = text::trim(raw);
    if (line.empty() || line[0] == '#') continue;
    items.clear();
    if (const std::optional<std::string_view> bad = parse_tokens(line, items)) {
      return FormatError::parse(kFimi, "line " + std::to_string(lines.number()) +
                                           ": expected non-negative integer, got " +
                                           text::quoted(*bad));
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    for (std::uint32_t j : items) rows.add(j);
    rows.end_row();
    largest = std::max<std::uint64_t>(largest, items.back());
  }
  return std::nullopt;
}

}  // namespace

ContextResult read_fimi(std::string_view input) {
  IncidenceBuilder rows;
  std::uint64_t largest = 0;
  if (std::optional<FormatError> error = read_transactions(input, rows, largest)) {
    return fail(std::move(*error));
  }
  if (rows.rows() == 0) return fail(FormatError::invalid(kFimi, "input contains no transactions"));
  const std::uint64_t m = largest + 1;
  const std::uint64_t limit = fimi_attribute_limit(rows.incidences());
  if (m > limit) {
    return fail(FormatError::invalid(
        kFimi, "item identifier " + std::to_string(largest) + " would make " + std::to_string(m) +
                   " attributes for " + std::to_string(rows.incidences()) +
                   " incidences, beyond the limit of " + std::to_string(limit) +
                   " attributes (one per incidence where that is more)"));
  }
  const std::size_t k = rows.rows();
  if (std::optional<FormatError> error = within_index_range(kFimi, k, m)) {
    return fail(std::move(*error));
  }
  return constructed(
      std::move(rows).build(NameList::generated('g', k), NameList::generated('m', m)));
}

}  // namespace quorlan
