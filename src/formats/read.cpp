#include "formats/read.h"

#include <utf8proc.h>

#include <new>

#include "core/panic.h"
#include "formats/text.h"

namespace quorlan {

std::string FormatError::display() const {
  if (const auto* e = std::get_if<ContextError>(&what_)) {
    return "context construction failed: " + e->display();
  }
  const Described& d = std::get<Described>(what_);
  switch (kind_) {
    case Kind::Io:
      return "I/O error: " + d.message;
    case Kind::Parse:
      return std::string("parse error in ") + d.format + ": " + d.message;
    case Kind::InvalidData:
      return std::string("invalid ") + d.format + " data: " + d.message;
    case Kind::Json:
      return "JSON error: " + d.message;
    case Kind::Csv:
      return "CSV error: " + d.message;
    case Kind::ContextConstruction:
      break;
  }
  panic("a format error of no known kind");
}

ContextResult constructed(Result<Context, ContextError> r) {
  if (!r.has_value()) return fail(FormatError::construction(std::move(r).error()));
  return std::move(r).value();
}

std::optional<FormatError> within_index_range(const char* format, std::uint64_t objects,
                                              std::uint64_t attributes) {
  if (objects <= kMaxIndexCount && attributes <= kMaxIndexCount) return std::nullopt;
  return FormatError::invalid(format, std::to_string(objects) + " objects and " +
                                          std::to_string(attributes) +
                                          " attributes are beyond the limit of " +
                                          std::to_string(kMaxIndexCount) + " of each");
}

namespace {

std::optional<ContextFormat> by_name(std::string_view file_name) {
  std::size_t end = file_name.size();
  while (end > 0 && (file_name[end - 1] == '/' || file_name[end - 1] == '\\')) --end;
  std::size_t begin = end;
  while (begin > 0 && file_name[begin - 1] != '/' && file_name[begin - 1] != '\\') --begin;
  const std::string_view component = file_name.substr(begin, end - begin);
  if (component.empty() || component == "..") return std::nullopt;
  const std::size_t dot = component.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  const std::string_view ext = component.substr(dot + 1);
  std::string lower;
  for (std::size_t i = 0; i < ext.size();) {
    text::append_scalar(lower, utf8proc_tolower(text::next_scalar(ext, i)));
  }
  if (lower == "json") return ContextFormat::Json;
  if (lower == "cxt") return ContextFormat::Cxt;
  if (lower == "csv" || lower == "tsv") return ContextFormat::Csv;
  if (lower == "dat") return ContextFormat::Fimi;
  if (lower == "xml") return ContextFormat::FcaXml;
  return std::nullopt;
}

std::optional<ContextFormat> by_content(std::string_view head) {
  const std::string decoded = text::decode_lossy(head);
  std::string_view line = decoded;
  const std::size_t lf = line.find('\n');
  if (lf != std::string_view::npos) {
    line = line.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  }
  const std::string_view l = text::trim(line);
  if (l == "B") return ContextFormat::Cxt;
  if (l.size() >= 5 && l.substr(0, 5) == "<?xml") return ContextFormat::FcaXml;
  if (l.empty()) return std::nullopt;
  if (l[0] == '<') return ContextFormat::FcaXml;
  if (l[0] == '{') return ContextFormat::Json;
  if (l[0] >= '0' && l[0] <= '9' && l.find(' ') != std::string_view::npos) {
    return ContextFormat::Fimi;
  }
  if (l.find(',') != std::string_view::npos) return ContextFormat::Csv;
  return std::nullopt;
}

}  // namespace

std::optional<ContextFormat> detect_format(std::string_view file_name, std::string_view head) {
  if (text::is_valid_utf8(file_name)) {
    if (auto f = by_name(file_name)) return f;
  }
  return by_content(head);
}

namespace {

ContextResult read_detected(std::string_view input, std::string_view file_name) {
  const std::size_t n = std::min(input.size(), kDetectionBytes);
  const std::optional<ContextFormat> format = detect_format(file_name, input.substr(0, n));
  if (!format) {
    return fail(FormatError::invalid(
        "auto", "could not detect format from extension or first " + std::to_string(n) + " bytes"));
  }
  if (*format == ContextFormat::Json) return read_json(input);
  if (!text::is_valid_utf8(input)) {
    return fail(FormatError::io("stream did not contain valid UTF-8"));
  }
  switch (*format) {
    case ContextFormat::Cxt:
      return read_cxt(input);
    case ContextFormat::Csv:
      return read_csv(input);
    case ContextFormat::Fimi:
      return read_fimi(input);
    case ContextFormat::FcaXml:
      return read_fca_xml(input);
    case ContextFormat::Json:
      break;
  }
  panic("unreachable context format");
}

}  // namespace

ContextResult read_context(std::string_view input, std::string_view file_name) {
  // Whatever a reader was building when memory ran out is released on the way here.
  try {
    return read_detected(input, file_name);
  } catch (const std::bad_alloc&) {
    return fail(FormatError::io("out of memory"));
  }
}

}  // namespace quorlan
