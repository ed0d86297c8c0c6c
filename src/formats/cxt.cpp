// Burmeister cxt: a "B" header, the object and attribute counts, the names one per line, then
// one row of marks per object ("X" or "x" = incidence). Lines are trimmed; blank lines are
// skipped everywhere. Declared counts are never used to reserve memory: names and rows are
// stored as their lines arrive, so an absurd count costs nothing until the input runs out.
#include <cstdint>
#include <optional>

#include "core/interrupt.h"
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

// The header line.
std::optional<FormatError> read_header(ContentLines& lines) {
  const std::optional<std::string_view> header = lines.next();
  if (!header) return FormatError::parse(kCxt, "input is empty");
  if (header->size() != 1 || ((*header)[0] != 'B' && (*header)[0] != 'b')) {
    return FormatError::parse(kCxt, "expected format header \"B\", got " + text::quoted(*header));
  }
  return std::nullopt;
}

// The object and attribute counts: one count, named in its messages.
std::optional<FormatError> read_count(ContentLines& lines, const char* what, std::uint64_t& out) {
  const std::optional<std::string_view> line = lines.next();
  if (!line) {
    return FormatError::parse(kCxt, std::string("expected ") + what + ", reached end of input");
  }
  const std::optional<std::uint64_t> v = text::parse_unsigned(*line, UINT64_MAX);
  if (!v) {
    return FormatError::parse(kCxt, std::string("expected ") + what +
                                        " as a non-negative integer, got " + text::quoted(*line));
  }
  out = *v;
  return std::nullopt;
}

// The object and attribute names: `count` names, one per line, stored as they arrive.
std::optional<FormatError> read_names(ContentLines& lines, std::uint64_t count, const char* kind,
                                      NameList& out) {
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::optional<std::string_view> line = lines.next();
    if (!line) {
      return FormatError::invalid(kCxt, "expected " + std::to_string(count) + " " + kind +
                                            " names, got " + std::to_string(out.size()));
    }
    out.push_back(*line);
  }
  return std::nullopt;
}

// The incidence: n rows of at least m marks each.
std::optional<FormatError> read_rows(ContentLines& lines, std::uint64_t n, std::uint64_t m,
                                     IncidenceBuilder& rows) {
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::optional<std::string_view> line = lines.next();
    if (!line) {
      return FormatError::invalid(
          kCxt, "expected " + std::to_string(n) + " incidence rows, got " + std::to_string(i));
    }
    const std::size_t c = text::count_scalars(*line);
    if (c < m) {
      return FormatError::invalid(kCxt, "row " + std::to_string(i) + " has length " +
                                            std::to_string(c) + ", expected " + std::to_string(m));
    }
    std::size_t pos = 0;
    InterruptTicker tick(text::kBytesPerTick);
    for (std::uint64_t j = 0; j < m; ++j) {
      tick();
      const std::int32_t cp = text::next_scalar(*line, pos);
      if (cp == 'X' || cp == 'x') rows.add(static_cast<std::uint32_t>(j));
    }
    rows.end_row(m);
  }
  return std::nullopt;
}

}  // namespace

ContextResult read_cxt(std::string_view input) {
  ContentLines lines(input);
  std::uint64_t n = 0, m = 0;
  NameList objects, attributes;
  IncidenceBuilder rows;
  std::optional<FormatError> error = read_header(lines);
  if (!error) error = read_count(lines, "object count", n);
  if (!error) error = read_count(lines, "attribute count", m);
  if (!error) error = read_names(lines, n, "object", objects);
  if (!error) error = read_names(lines, m, "attribute", attributes);
  if (!error) error = within_index_range(kCxt, n, m);
  if (!error) error = read_rows(lines, n, m, rows);
  if (error) return fail(std::move(*error));
  if (const std::optional<std::string_view> extra = lines.next()) {
    return fail(FormatError::invalid(
        kCxt, "unexpected content after the last incidence row: " + text::quoted(*extra)));
  }
  return constructed(std::move(rows).build(std::move(objects), std::move(attributes)));
}

}  // namespace quorlan
