// The line-based formats of other tools: Galicia's .slf, object-attribute lists and
// ConExp-NG's ';'-separated tables. Lines end at "\n" (a "\r" before it is dropped).
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/interrupt.h"
#include "formats/other.h"
#include "formats/text.h"

namespace quorlan {
namespace {

// The lines of a text, each without its end; a last line without an end counts.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    check_interrupt();
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0, number_ = 0;
};

std::vector<std::string_view> split(std::string_view line, char separator) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = line.find(separator, start);
    out.push_back(line.substr(start, at == std::string_view::npos ? line.npos : at - start));
    if (at == std::string_view::npos) return out;
    start = at + 1;
  }
}

std::string at_line(std::size_t number, const std::string& what) {
  return "line " + std::to_string(number) + ": " + what;
}

// Names that first appear in a list, numbered in that order.
class FirstSeen {
 public:
  std::uint32_t operator()(std::string_view name) {
    const auto [at, fresh] =
        index_.emplace(std::string(name), static_cast<std::uint32_t>(names_.size()));
    if (fresh) names_.push_back(name);
    return at->second;
  }
  NameList take() { return std::move(names_); }
  std::size_t size() const { return names_.size(); }

 private:
  std::unordered_map<std::string, std::uint32_t> index_;
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
  Lines lines(text);
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
      for (std::string_view a : split(line.substr(colon + 1), ';')) {
        a = text::trim(a);
        if (!a.empty()) row.push_back(attributes(a));
      }
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
  Lines lines;
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
    for (std::string_view cell : split(line, ' ')) {
      cell = text::trim(cell);
      if (cell.empty()) continue;
      if ((cell != "0" && cell != "1") || j >= m) {
        return FormatError::parse(
            kSlf,
            at_line(lines.number(), j >= m ? "more than " + std::to_string(m) + " marks"
                                           : "a mark that is not 0 or 1: " + text::quoted(cell)));
      }
      if (cell == "1") rows.add(static_cast<std::uint32_t>(j));
      ++j;
    }
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
  SlfReader r{Lines(text), {}};
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
  Lines lines(text);
  std::string_view line;
  if (!lines.next(line)) return fail(FormatError::invalid(kFormat, "input is empty"));
  NameList attributes;
  const std::vector<std::string_view> header = split(line, ';');
  for (std::size_t k = 1; k < header.size(); ++k) attributes.push_back(text::trim(header[k]));
  NameList objects;
  IncidenceBuilder rows;
  while (lines.next(line)) {
    if (text::trim(line).empty()) continue;
    const std::vector<std::string_view> cells = split(line, ';');
    if (cells.size() != header.size()) {
      return fail(FormatError::parse(
          kFormat,
          at_line(lines.number(), std::to_string(cells.size()) + " cells, the header has " +
                                      std::to_string(header.size()))));
    }
    objects.push_back(text::trim(cells[0]));
    for (std::size_t k = 1; k < cells.size(); ++k) {
      const std::string_view mark = text::trim(cells[k]);
      if (mark == "X" || mark == "x" || mark == "1") {
        rows.add(static_cast<std::uint32_t>(k - 1));
      } else if (!mark.empty() && mark != "0" && mark != ".") {
        return fail(FormatError::parse(kFormat, at_line(lines.number(),
                                                        "a mark that is not X, 1, "
                                                        "0, . or empty: " +
                                                            text::quoted(mark))));
      }
    }
    rows.end_row(attributes.size());
  }
  return built(kFormat, std::move(rows), std::move(objects), std::move(attributes));
}

}  // namespace quorlan
