// The entry of the formats subsystem: format detection by file name or first line, the one
// error type of reading, and dispatch to the reader of each format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/context.h"
#include "core/result.h"

namespace quorlan {

enum class ContextFormat { Cxt, Csv, Fimi, FcaXml, Json };

class FormatError {
 public:
  enum class Kind { Io, Parse, InvalidData, ContextConstruction, Json, Csv };

  static FormatError io(std::string text) { return {Kind::Io, Described{"", std::move(text)}}; }
  // format: "cxt", "csv", "fimi", "fca-xml" or "auto".
  static FormatError parse(const char* format, std::string message) {
    return {Kind::Parse, Described{format, std::move(message)}};
  }
  static FormatError invalid(const char* format, std::string message) {
    return {Kind::InvalidData, Described{format, std::move(message)}};
  }
  static FormatError construction(ContextError e) {
    return {Kind::ContextConstruction, std::move(e)};
  }
  static FormatError json(std::string text) { return {Kind::Json, Described{"", std::move(text)}}; }
  static FormatError csv(std::string text) { return {Kind::Csv, Described{"", std::move(text)}}; }

  Kind kind() const { return kind_; }
  std::string display() const;

 private:
  // Every variant but a construction failure is a text; Parse and InvalidData also name the
  // format.
  struct Described {
    const char* format;
    std::string message;
  };
  FormatError(Kind kind, std::variant<Described, ContextError> what)
      : kind_(kind), what_(std::move(what)) {}

  Kind kind_;
  std::variant<Described, ContextError> what_;
};

using ContextResult = Result<Context, FormatError>;

// The first min(input length, 256) bytes decide when the name does not.
inline constexpr std::size_t kDetectionBytes = 256;

std::optional<ContextFormat> detect_format(std::string_view file_name, std::string_view head);
ContextResult read_context(std::string_view input, std::string_view file_name);

// Wraps a construction result into the readers' result.
ContextResult constructed(Result<Context, ContextError> r);

// Object and attribute indices are 32-bit: a context holds fewer than 2^32 of each.
inline constexpr std::uint64_t kMaxIndexCount = UINT32_MAX;
// InvalidData naming the sizes when either count reaches 2^32.
std::optional<FormatError> within_index_range(const char* format, std::uint64_t objects,
                                              std::uint64_t attributes);

ContextResult read_cxt(std::string_view text);
ContextResult read_csv(std::string_view text);
ContextResult read_fimi(std::string_view text);
ContextResult read_fca_xml(std::string_view text);
ContextResult read_json(std::string_view bytes);

}  // namespace quorlan
