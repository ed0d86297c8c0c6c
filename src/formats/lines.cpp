// The line-based formats of other tools: Galicia's .slf, object-attribute lists and
// ConExp-NG's ';'-separated tables. Lines are split as formats/lines.h splits them.
#include "formats/lines.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "formats/other.h"
#include "formats/text.h"

namespace quorlan {
namespace {

// Calls f on each cell of `line` between separators, in order, while f returns true; whether
// it saw them all. No list of the cells is made: a line of a million cells costs nothing more.
template <class F>
bool each_cell(std::string_view line, char separator, F&& f) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = line.find(separator, start);
    if (!f(line.substr(start, at == std::string_view::npos ? line.npos : at - start))) {
      return false;
    }
    if (at == std::string_view::npos) return true;
    start = at + 1;
  }
}

std::size_t cell_count(std::string_view line, char separator) {
  return static_cast<std::size_t>(std::count(line.begin(), line.end(), separator)) + 1;
}

std::string at_line(std::size_t number, const std::string& what) {
  return "line " + std::to_string(number) + ": " + what;
}

// Names that first appear in a list, numbered in that order. The look-up is a table of name
// numbers by hash, open addressing at most half full: four to eight bytes a name beside the
// names themselves, kept once, in the list.
class FirstSeen {
 public:
  std::uint32_t operator()(std::string_view name) {
    if (2 * (names_.size() + 1) > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    NameBuffer buffer;
    std::size_t s = hash(name) & mask;
    for (; slots_[s] != 0; s = (s + 1) & mask) {
      if (names_.view(slots_[s] - 1, buffer) == name) return slots_[s] - 1;
    }
    const auto k = static_cast<std::uint32_t>(names_.size());
    names_.push_back(name);
    slots_[s] = k + 1;
    return k;
  }
  NameList take() { return std::move(names_); }
  std::size_t size() const { return names_.size(); }

 private:
  static std::size_t hash(std::string_view name) { return std::hash<std::string_view>{}(name); }
  void grow() {
    slots_.assign(std::max<std::size_t>(16, 2 * slots_.size()), 0);
    const std::size_t mask = slots_.size() - 1;
    NameBuffer buffer;
    for (std::size_t k = 0; k < names_.size(); ++k) {
      std::size_t s = hash(names_.view(k, buffer)) & mask;
      while (slots_[s] != 0) s = (s + 1) & mask;
      slots_[s] = static_cast<std::uint32_t>(k + 1);
    }
  }
  std::vector<std::uint32_t> slots_;
  NameList names_;
};

ContextResult built(const char* format, IncidenceBuilder rows, NameList objects,
                    NameList attributes) {
  if (auto e = within_index_range(format, objects.size(), attributes.size())) return fail(*e);
  return constructed(std::move(rows).build(std::move(objects), std::move(attributes)));
}

}  // namespace

ContextResult read_oal(std::string_view text) {
  constexpr const char* kOal = "oal";
  LineReader lines(text);
  FirstSeen attributes;
  NameList objects;
  IncidenceBuilder rows;
  std::vector<std::uint32_t> row;
  std::string_view line;
  while (lines.next(line)) {
    if (text::trim(line).empty()) continue;
    const std::size_t colon = line.find(':');
    objects.push_back(text::trim(line.substr(0, colon)));
    row.clear();
    if (colon != std::string_view::npos) {
      each_cell(line.substr(colon + 1), ';', [&](std::string_view a) {
        a = text::trim(a);
        if (!a.empty()) row.push_back(attributes(a));
        return true;
      });
    }
    std::sort(row.begin(), row.end());
    row.erase(std::unique(row.begin(), row.end()), row.end());
    for (std::uint32_t j : row) rows.add(j);
    rows.end_row();
  }
  if (objects.empty()) return fail(FormatError::invalid(kOal, "no objects: every line is empty"));
  return built(kOal, std::move(rows), std::move(objects), attributes.take());
}

namespace {

// The .slf sections in order; each name must stand alone on its line.
struct SlfReader {
  static constexpr const char* kSlf = "slf";
  LineReader lines;
  std::string_view line;

  std::optional<FormatError> expect(std::string_view header) {
    while (lines.next(line)) {
      if (text::trim(line).empty()) continue;
      if (text::trim(line) == header) return std::nullopt;
      return FormatError::parse(kSlf, at_line(lines.number(), "expected " + std::string(header) +
                                                                  ", found " + text::quoted(line)));
    }
    return FormatError::parse(kSlf, "expected " + std::string(header) + ", found the end");
  }
  std::optional<std::uint64_t> count(const char* what, std::optional<FormatError>& error) {
    if (!lines.next(line)) {
      error = FormatError::parse(kSlf, std::string("missing the number of ") + what);
      return std::nullopt;
    }
    const std::optional<std::uint64_t> n = text::parse_unsigned(text::trim(line), UINT64_MAX);
    if (!n) {
      error = FormatError::parse(
          kSlf, at_line(lines.number(), std::string("the number of ") + what +
                                            " is not a number: " + text::quoted(line)));
    }
    return n;
  }
  std::optional<FormatError> names(std::uint64_t n, const char* what, NameList& out) {
    for (std::uint64_t k = 0; k < n; ++k) {
      if (!lines.next(line)) {
        return FormatError::parse(kSlf, "the file ends after " + std::to_string(k) + " of " +
                                            std::to_string(n) + " " + what);
      }
      out.push_back(text::trim(line));
    }
    return std::nullopt;
  }
  // Row g of n, of m marks 0 or 1 between spaces.
  std::optional<FormatError> row(std::uint64_t g, std::uint64_t n, std::uint64_t m,
                                 IncidenceBuilder& rows) {
    if (!lines.next(line)) {
      return FormatError::parse(kSlf, "the relation ends after " + std::to_string(g) + " of " +
                                          std::to_string(n) + " rows");
    }
    std::uint64_t j = 0;
    std::optional<FormatError> bad;
    each_cell(line, ' ', [&](std::string_view cell) {
      cell = text::trim(cell);
      if (cell.empty()) return true;
      if ((cell != "0" && cell != "1") || j >= m) {
        bad = FormatError::parse(
            kSlf,
            at_line(lines.number(), j >= m ? "more than " + std::to_string(m) + " marks"
                                           : "a mark that is not 0 or 1: " + text::quoted(cell)));
        return false;
      }
      if (cell == "1") rows.add(static_cast<std::uint32_t>(j));
      ++j;
      return true;
    });
    if (bad) return bad;
    if (j != m) {
      return FormatError::parse(
          kSlf,
          at_line(lines.number(), std::to_string(j) + " marks, expected " + std::to_string(m)));
    }
    rows.end_row(static_cast<std::size_t>(m));
    return std::nullopt;
  }
};

}  // namespace

ContextResult read_slf(std::string_view text) {
  SlfReader r{LineReader(text), {}};
  std::optional<FormatError> error = r.expect("[Lattice]");
  if (error) return fail(*error);
  const std::optional<std::uint64_t> n = r.count("objects", error);
  if (!n) return fail(*error);
  const std::optional<std::uint64_t> m = r.count("attributes", error);
  if (!m) return fail(*error);
  if (auto e = within_index_range(SlfReader::kSlf, *n, *m)) return fail(*e);
  NameList objects, attributes;
  if ((error = r.expect("[Objects]")) || (error = r.names(*n, "objects", objects)) ||
      (error = r.expect("[Attributes]")) || (error = r.names(*m, "attributes", attributes)) ||
      (error = r.expect("[relation]"))) {
    return fail(*error);
  }
  IncidenceBuilder rows;
  for (std::uint64_t g = 0; g < *n; ++g) {
    if ((error = r.row(g, *n, *m, rows))) return fail(*error);
  }
  return built(SlfReader::kSlf, std::move(rows), std::move(objects), std::move(attributes));
}

ContextResult read_conexp_csv(std::string_view text) {
  constexpr const char* kFormat = "conexp-csv";
  LineReader lines(text);
  std::string_view line;
  if (!lines.next(line)) return fail(FormatError::invalid(kFormat, "input is empty"));
  NameList attributes;
  const std::size_t columns = cell_count(line, ';');
  std::size_t k = 0;
  each_cell(line, ';', [&](std::string_view name) {
    if (k++ > 0) attributes.push_back(text::trim(name));
    return true;
  });
  NameList objects;
  IncidenceBuilder rows;
  while (lines.next(line)) {
    if (text::trim(line).empty()) continue;
    if (const std::size_t cells = cell_count(line, ';'); cells != columns) {
      return fail(FormatError::parse(
          kFormat, at_line(lines.number(), std::to_string(cells) + " cells, the header has " +
                                               std::to_string(columns))));
    }
    std::optional<FormatError> bad;
    k = 0;
    each_cell(line, ';', [&](std::string_view cell) {
      const std::string_view mark = text::trim(cell);
      if (k++ == 0) {
        objects.push_back(mark);
      } else if (mark == "X" || mark == "x" || mark == "1") {
        rows.add(static_cast<std::uint32_t>(k - 2));
      } else if (!mark.empty() && mark != "0" && mark != ".") {
        bad = FormatError::parse(kFormat, at_line(lines.number(),
                                                  "a mark that is not X, 1, "
                                                  "0, . or empty: " +
                                                      text::quoted(mark)));
        return false;
      }
      return true;
    });
    if (bad) return fail(*bad);
    rows.end_row(attributes.size());
  }
  return built(kFormat, std::move(rows), std::move(objects), std::move(attributes));
}

}  // namespace quorlan
