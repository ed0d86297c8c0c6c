// CSV/TSV tables: a header row naming the attributes (its first field is ignored), then one row
// per object, its name first and one cell per attribute. libcsv does the splitting, with its
// trimming switched off; the separator is tab when the first non-blank line holds more tabs
// than commas.
#include <csv.h>

#include <optional>
#include <utility>

#include "core/interrupt.h"
#include "formats/lines.h"
#include "formats/read.h"
#include "formats/text.h"

namespace quorlan {
namespace {

constexpr const char* kCsv = "csv";

unsigned char choose_separator(std::string_view text) {
  LineReader lines(text);
  std::string_view line;
  while (lines.next(line)) {
    if (text::trim(line).empty()) continue;
    std::size_t tabs = 0, commas = 0;
    for (char c : line) {
      tabs += c == '\t';
      commas += c == ',';
    }
    return tabs > commas ? '\t' : ',';
  }
  return ',';
}

// Whether `t` is `word` (given in lower case) written in lower case, capitalised or in upper
// case. Compared a character at a time: memcmp against a short constant string takes the C
// library's slow path when the constant lies near the end of a page of memory, which made
// reading tables twice as slow in some builds.
bool spelled(std::string_view t, std::string_view word) {
  if (t.size() != word.size()) return false;
  const auto upper = [](char c) { return static_cast<char>(c - 'a' + 'A'); };
  bool rest_lower = true, rest_upper = true;
  for (std::size_t i = 1; i < t.size(); ++i) {
    rest_lower = rest_lower && t[i] == word[i];
    rest_upper = rest_upper && t[i] == upper(word[i]);
  }
  if (t[0] == word[0]) return rest_lower;
  return t[0] == upper(word[0]) && (rest_lower || rest_upper);
}

// "1", "x", "y", "yes" or "true" in any of those spellings, around white space.
bool is_truthy_cell(std::string_view cell) {
  const std::string_view t = text::trim(cell);
  return spelled(t, "1") || spelled(t, "x") || spelled(t, "y") || spelled(t, "yes") ||
         spelled(t, "true");
}

// Takes fields from libcsv as they arrive: header fields become attribute names, a body
// record's first field its object's name and the others its cells, so no record is held
// whole. The first bad record ends the read.
class TableBuilder {
 public:
  void field(std::string_view f) {
    if (error) return;
    if (records == 0) {
      if (column_ > 0) attributes.push_back(f);
    } else if (column_ == 0) {
      objects.push_back(f);
    } else if (column_ <= attributes.size() && is_truthy_cell(f)) {
      rows.add(static_cast<std::uint32_t>(column_ - 1));
    }
    ++column_;
  }

  void record_end() {
    if (error) return;
    ++records;
    const std::size_t fields = std::exchange(column_, 0);
    if (records == 1) {
      header_fields_ = fields;
      if (fields < 2) error = FormatError::invalid(kCsv, "header row has no attribute columns");
      return;
    }
    const std::size_t m = header_fields_ - 1;
    if (fields != header_fields_) {
      // The CSV layer's own strict field count.
      error =
          FormatError::csv("record " + std::to_string(records) + " has " + std::to_string(fields) +
                           " fields, but the header has " + std::to_string(header_fields_));
      return;
    }
    // The reader's own rule on a row's length. The strict field count above answers first and
    // makes it unreachable today; it stays so that the rule still holds if the CSV layer is
    // ever made flexible about field counts.
    if (fields != m + 1) {
      error = FormatError::invalid(kCsv, "row " + std::to_string(records) + " has " +
                                             std::to_string(fields) + " fields, expected " +
                                             std::to_string(m + 1));
      return;
    }
    rows.end_row(m);
  }

  // What the read made; the first error ends it.
  std::optional<FormatError> error;
  std::size_t records = 0;
  NameList attributes, objects;
  IncidenceBuilder rows;

 private:
  std::size_t header_fields_ = 0;
  std::size_t column_ = 0;  // fields of the current record so far
};

void on_field(void* data, std::size_t len, void* builder) {
  static_cast<TableBuilder*>(builder)->field(
      std::string_view(static_cast<const char*>(data), data ? len : 0));
}

void on_record(int /*terminator*/, void* builder) {
  static_cast<TableBuilder*>(builder)->record_end();
}

int no_space(unsigned char) { return 0; }

int is_record_end(unsigned char c) { return c == CSV_CR || c == CSV_LF; }

}  // namespace

ContextResult read_csv(std::string_view text) {
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
  struct Release {
    csv_parser* p;
    ~Release() { csv_free(p); }
  } release{&parser};
  csv_set_delim(&parser, choose_separator(text));
  csv_set_quote(&parser, CSV_QUOTE);
  csv_set_space_func(&parser, no_space);
  csv_set_term_func(&parser, is_record_end);

  TableBuilder table;
  // Fed in slices so that the first bad record stops the read early.
  constexpr std::size_t kSlice = 1 << 16;
  for (std::size_t pos = 0; pos < text.size() && !table.error; pos += kSlice) {
    check_interrupt();
    const std::size_t len = std::min(kSlice, text.size() - pos);
    if (csv_parse(&parser, text.data() + pos, len, on_field, on_record, &table) != len &&
        !table.error) {
      if (csv_error(&parser) == CSV_ENOMEM || csv_error(&parser) == CSV_ETOOBIG) {
        throw std::bad_alloc();
      }
      return fail(FormatError::csv("record " + std::to_string(table.records + 1) + ": " +
                                   csv_strerror(csv_error(&parser))));
    }
  }
  if (!table.error && csv_fini(&parser, on_field, on_record, &table) != 0) {
    return fail(FormatError::csv("record " + std::to_string(table.records + 1) + ": " +
                                 csv_strerror(csv_error(&parser))));
  }
  if (table.error) return fail(std::move(*table.error));
  if (table.records == 0) return fail(FormatError::invalid(kCsv, "empty header row"));
  if (table.objects.empty()) {
    return fail(FormatError::invalid(kCsv, "CSV has a header but no body rows"));
  }
  if (std::optional<FormatError> error =
          within_index_range(kCsv, table.objects.size(), table.attributes.size())) {
    return fail(std::move(*error));
  }
  return constructed(
      std::move(table.rows).build(std::move(table.objects), std::move(table.attributes)));
}

}  // namespace quorlan
