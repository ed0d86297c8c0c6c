// Burmeister cxt: a "B" header, the object and attribute counts, the names one per line, then
// one row of marks per object ("X" or "x" = incidence). Lines are trimmed; blank lines are
// skipped everywhere. Declared counts are never used to reserve memory: names and rows are
// stored as their lines arrive, so an absurd count costs nothing until the input runs out.
#include <cstdint>
#include <optional>

#include "formats/lines.h"
#include "formats/read.h"
#include "formats/text.h"

namespace quorlan {
namespace {

constexpr const char* kCxt = "cxt";

class ContentLines {
 public:
  explicit ContentLines(std::string_view text) : lines_(text) {}
  std::optional<std::string_view> next() {
    std::string_view raw;
    while (lines_.next(raw)) {
      const std::string_view t = text::trim(raw);
      if (!t.empty()) return t;
    }
    return std::nullopt;
  }

 private:
  LineReader lines_;
};

}  // namespace

ContextResult read_cxt(std::string_view input) {
  ContentLines lines(input);
  const std::optional<std::string_view> header = lines.next();
  if (!header) return fail(FormatError::parse(kCxt, "input is empty"));
  if (header->size() != 1 || ((*header)[0] != 'B' && (*header)[0] != 'b')) {
    return fail(
        FormatError::parse(kCxt, "expected format header \"B\", got " + text::quoted(*header)));
  }
  std::uint64_t counts[2];
  const char* count_names[2] = {"object count", "attribute count"};
  for (int k = 0; k < 2; ++k) {
    const std::optional<std::string_view> line = lines.next();
    if (!line) {
      return fail(FormatError::parse(
          kCxt, std::string("expected ") + count_names[k] + ", reached end of input"));
    }
    const std::optional<std::uint64_t> v = text::parse_unsigned(*line, UINT64_MAX);
    if (!v) {
      return fail(FormatError::parse(kCxt, std::string("expected ") + count_names[k] +
                                               " as a non-negative integer, got " +
                                               text::quoted(*line)));
    }
    counts[k] = *v;
  }
  const std::uint64_t n = counts[0], m = counts[1];

  std::vector<std::string> names[2];
  const char* kinds[2] = {"object", "attribute"};
  for (int k = 0; k < 2; ++k) {
    for (std::uint64_t i = 0; i < counts[k]; ++i) {
      const std::optional<std::string_view> line = lines.next();
      if (!line) {
        return fail(FormatError::invalid(kCxt, "expected " + std::to_string(counts[k]) + " " +
                                                   kinds[k] + " names, got " +
                                                   std::to_string(names[k].size())));
      }
      names[k].emplace_back(*line);
    }
  }

  std::vector<AttributeSet> rows;
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::optional<std::string_view> line = lines.next();
    if (!line) {
      return fail(FormatError::invalid(
          kCxt, "expected " + std::to_string(n) + " incidence rows, got " + std::to_string(i)));
    }
    const std::size_t c = text::count_scalars(*line);
    if (c < m) {
      return fail(FormatError::invalid(kCxt, "row " + std::to_string(i) + " has length " +
                                                 std::to_string(c) + ", expected " +
                                                 std::to_string(m)));
    }
    AttributeSet row = AttributeSet::empty(m);
    std::size_t pos = 0;
    for (std::uint32_t j = 0; j < m; ++j) {
      const std::int32_t cp = text::next_scalar(*line, pos);
      if (cp == 'X' || cp == 'x') row.insert(j);
    }
    rows.push_back(std::move(row));
  }
  if (const std::optional<std::string_view> extra = lines.next()) {
    return fail(FormatError::invalid(
        kCxt, "unexpected content after the last incidence row: " + text::quoted(*extra)));
  }
  return constructed(Context::from_rows(std::move(names[0]), std::move(names[1]), std::move(rows)));
}

}  // namespace quorlan
