// The JSON document: {"quorlan_version": "...", "context": {"objects": [...], "attributes":
// [...], "incidence": [[true, false], ...]}}, each record also accepted as an array of its
// values in that order. Read through nlohmann/json's SAX interface by a small state machine, so
// rows go straight into the incidence and no document tree is built; unknown keys are skipped
// by depth counting, whatever their nesting.
#include <cmath>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string_view>

#include "core/interrupt.h"
#include "formats/read.h"
#include "formats/text.h"

// What the reader relies on in nlohmann/json, read in its 3.11 sources; another version must be
// read again before it is admitted here:
// - the lexer converts every number through its private static member strtof, which the reader
//   specialises for its own JSON type (below);
// - a parse error's what() is "[json.exception.parse_error.N] " followed by the text the user
//   sees, which quotes the token read last as "last read: '<token>'" (error_text).
static_assert(NLOHMANN_JSON_VERSION_MAJOR == 3 && NLOHMANN_JSON_VERSION_MINOR == 11,
              "the JSON reader was written for nlohmann/json 3.11");

namespace quorlan::json_reader {

// A JSON type of the reader's own (its integers are `long long`), so that the conversion of
// numbers below applies to its parser alone.
using Json = nlohmann::basic_json<std::map, std::vector, std::string, bool, long long,
                                  unsigned long long, double>;

}  // namespace quorlan::json_reader

// Numbers matter to the reader only as text (for messages), and any number the JSON grammar
// allows is skipped under an unknown key; the parser would refuse one beyond the range of a
// double as an overflow, so for the reader's type the conversion keeps such a value finite.
#if defined(__GNUC__) && !defined(__clang__)
#define QUORLAN_AS_DECLARED __attribute__((nonnull(2)))  // as nlohmann declares it
#else
#define QUORLAN_AS_DECLARED
#endif
template <>
QUORLAN_AS_DECLARED inline void nlohmann::detail::
    lexer<quorlan::json_reader::Json, nlohmann::detail::contiguous_bytes_input_adapter>::strtof(
        double& f, const char* str, char** endptr) noexcept {
  f = std::strtod(str, endptr);
  if (!std::isfinite(f)) f = 0.0;
}
#undef QUORLAN_AS_DECLARED

namespace quorlan::json_reader {
namespace {

// The text of a parse error without the library's identifier, the token read last cut as every
// piece of input is.
std::string error_text(const nlohmann::detail::exception& ex, const std::string& last_token) {
  std::string what = ex.what();
  const std::size_t bracket = what.find("] ");
  if (what.rfind("[json.exception.", 0) == 0 && bracket != std::string::npos) {
    what = what.substr(bracket + 2);
  }
  const std::string quoted_token = "last read: '" + last_token + "'";
  if (const std::size_t at = what.find(quoted_token); at != std::string::npos) {
    what.replace(at, quoted_token.size(),
                 "last read: " + text::clipped(text::printable_bytes(last_token), "'", "'"));
  }
  return text::printable_bytes(what);
}

}  // namespace
}  // namespace quorlan::json_reader

namespace quorlan {
namespace {

using json_reader::Json;

// The fields of the two records, in the order of their array form.
constexpr std::string_view kDocumentFields[] = {"quorlan_version", "context"};
constexpr std::string_view kPayloadFields[] = {"objects", "attributes", "incidence"};

enum class Slot { kNone, kVersion, kPayload, kObjects, kAttributes, kIncidence, kUnknown };

struct Frame {
  enum class Kind { kDocument, kPayload, kNames, kIncidence, kRow, kSkip } kind;
  bool is_array = false;
  std::size_t index = 0;       // array form: elements seen
  Slot pending = Slot::kNone;  // object form: the slot of the value after the last key
  bool seen[3] = {false, false, false};
  std::size_t depth = 0;      // Skip: nesting below the skipped value
  NameList* names = nullptr;  // Names
};

class DocumentHandler {
 public:
  std::optional<std::string> error;
  NameList objects, attributes;
  IncidenceBuilder rows;

  bool null() { return scalar("null"); }
  bool boolean(bool v) {
    tick_();
    if (!stack_.empty() && stack_.back().kind == Frame::Kind::kRow) {
      Frame& row = stack_.back();
      if (row.index == kMaxIndexCount) {
        return fail("incidence row " + std::to_string(rows.rows()) + " has more than " +
                    std::to_string(kMaxIndexCount) + " cells");
      }
      if (v) rows.add(static_cast<std::uint32_t>(row.index));
      ++row.index;
      return true;
    }
    return scalar(v ? "boolean `true`" : "boolean `false`");
  }
  bool number_integer(Json::number_integer_t v) {
    return scalar("integer `" + std::to_string(v) + "`");
  }
  bool number_unsigned(Json::number_unsigned_t v) {
    return scalar("integer `" + std::to_string(v) + "`");
  }
  bool number_float(Json::number_float_t, const std::string& text) {
    return scalar("floating point " + text::clipped(text, "`", "`"));
  }
  bool binary(Json::binary_t&) { return scalar("binary data"); }
  bool string(std::string& s) {
    tick_();
    if (skipping()) return true;
    const Slot slot = next_slot();
    if (slot == Slot::kUnknown) return true;
    if (slot == Slot::kVersion) return true;  // read and discarded
    if (!stack_.empty() && stack_.back().kind == Frame::Kind::kNames) {
      // The lexer's own buffer, given away: a long name is kept without a copy.
      stack_.back().names->adopt(std::move(s));
      return true;
    }
    return type_error("string " + text::clipped(text::printable_bytes(s), "\"", "\""), slot);
  }

  bool start_object(std::size_t) { return start(/*is_array=*/false); }
  bool start_array(std::size_t) { return start(/*is_array=*/true); }

  bool key(std::string& k) {
    Frame& f = stack_.back();
    if (f.kind == Frame::Kind::kSkip) return true;
    const std::span<const std::string_view> keys = fields_of(f.kind);
    f.pending = Slot::kUnknown;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (k != keys[i]) continue;
      if (f.seen[i]) return fail("duplicate field `" + k + "`");  // one of the known keys
      f.seen[i] = true;
      f.pending = slot_of(f.kind, i);
    }
    return true;
  }

  bool end_object() { return end(); }
  bool end_array() { return end(); }

  // Where the parser stopped at a syntax error (its byte count; past the last byte when the
  // input ran out), if it did.
  std::optional<std::size_t> syntax_error_at;

  bool parse_error(std::size_t position, const std::string& last_token,
                   const nlohmann::detail::exception& ex) {
    syntax_error_at = position;
    error = json_reader::error_text(ex, last_token);
    return false;
  }

 private:
  // The fields of the record a Document or Payload frame reads.
  static std::span<const std::string_view> fields_of(Frame::Kind kind) {
    if (kind == Frame::Kind::kDocument) return kDocumentFields;
    return kPayloadFields;
  }

  static Slot slot_of(Frame::Kind kind, std::size_t i) {
    if (kind == Frame::Kind::kDocument) return i == 0 ? Slot::kVersion : Slot::kPayload;
    return i == 0 ? Slot::kObjects : (i == 1 ? Slot::kAttributes : Slot::kIncidence);
  }

  bool skipping() const { return !stack_.empty() && stack_.back().kind == Frame::Kind::kSkip; }

  bool fail(std::string message) {
    error = std::move(message);
    return false;
  }

  // The slot that the value now starting fills; Slot::kNone for an element of a list.
  Slot next_slot() {
    if (stack_.empty()) return Slot::kNone;
    Frame& f = stack_.back();
    switch (f.kind) {
      case Frame::Kind::kDocument:
      case Frame::Kind::kPayload: {
        if (!f.is_array) {
          const Slot s = f.pending;
          f.pending = Slot::kNone;
          return s;
        }
        const std::size_t expected = fields_of(f.kind).size();
        if (f.index >= expected) {
          error = "invalid length " + std::to_string(f.index + 1) + ", expected " +
                  std::to_string(expected) + " elements";
          return Slot::kNone;
        }
        f.seen[f.index] = true;
        return slot_of(f.kind, f.index++);
      }
      default:
        return Slot::kNone;
    }
  }

  static std::string expected_text(Slot slot, Frame::Kind within) {
    switch (slot) {
      case Slot::kVersion:
        return "a string";
      case Slot::kPayload:
        return "struct ContextPayload";
      case Slot::kObjects:
      case Slot::kAttributes:
        return "a sequence of strings";
      case Slot::kIncidence:
        return "a sequence of rows";
      default:
        break;
    }
    switch (within) {
      case Frame::Kind::kNames:
        return "a string";
      case Frame::Kind::kIncidence:
        return "a sequence of booleans";
      case Frame::Kind::kRow:
        return "a boolean";
      default:
        return "struct Document";
    }
  }

  bool type_error(const std::string& got, Slot slot) {
    if (error) return false;  // set by next_slot
    const Frame::Kind within = stack_.empty() ? Frame::Kind::kSkip : stack_.back().kind;
    std::string where;
    if (within == Frame::Kind::kRow) where = " in incidence row " + std::to_string(rows.rows());
    return fail("invalid type: " + got + ", expected " + expected_text(slot, within) + where);
  }

  bool scalar(const std::string& description) {
    if (skipping()) return true;
    const Slot slot = next_slot();
    if (slot == Slot::kUnknown) return true;
    return type_error(description, slot);
  }

  bool start(bool is_array) {
    tick_();
    if (skipping()) {
      ++stack_.back().depth;
      return true;
    }
    if (stack_.empty()) {
      if (started_) return fail("trailing content after the document");
      started_ = true;
      stack_.push_back({Frame::Kind::kDocument, is_array});
      return true;
    }
    const Frame::Kind within = stack_.back().kind;
    const Slot slot = next_slot();
    if (error) return false;
    const char* kind = is_array ? "sequence" : "map";
    switch (slot) {
      case Slot::kUnknown:
        stack_.push_back({Frame::Kind::kSkip});
        stack_.back().depth = 1;
        return true;
      case Slot::kPayload:
        stack_.push_back({Frame::Kind::kPayload, is_array});
        return true;
      case Slot::kObjects:
      case Slot::kAttributes:
        if (!is_array) return type_error(kind, slot);
        stack_.push_back({Frame::Kind::kNames, true});
        stack_.back().names = slot == Slot::kObjects ? &objects : &attributes;
        return true;
      case Slot::kIncidence:
        if (!is_array) return type_error(kind, slot);
        stack_.push_back({Frame::Kind::kIncidence, true});
        return true;
      default:
        break;
    }
    if (within == Frame::Kind::kIncidence && is_array) {
      stack_.push_back({Frame::Kind::kRow, true});
      return true;
    }
    return type_error(kind, slot);
  }

  bool end() {
    Frame& f = stack_.back();
    if (f.kind == Frame::Kind::kRow) rows.end_row(f.index);
    if (f.kind == Frame::Kind::kSkip) {
      if (--f.depth == 0) stack_.pop_back();
      return true;
    }
    if (f.kind == Frame::Kind::kDocument || f.kind == Frame::Kind::kPayload) {
      const std::span<const std::string_view> keys = fields_of(f.kind);
      if (f.is_array && f.index < keys.size()) {
        return fail("invalid length " + std::to_string(f.index) + ", expected " +
                    std::to_string(keys.size()) + " elements");
      }
      for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!f.seen[i]) return fail("missing field `" + std::string(keys[i]) + "`");
      }
    }
    stack_.pop_back();
    return true;
  }

  std::vector<Frame> stack_;
  bool started_ = false;
  InterruptTicker tick_;
};

}  // namespace

ContextResult read_json(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    return fail(FormatError::json(
        "parse error at byte 1: a byte-order mark is not allowed before the value"));
  }
  // No NUL byte can be part of JSON text. The parser would take one for the end of the input,
  // so it reads only what comes before the first; an error it finds before that byte comes
  // first, and running out of input there is the NUL's error.
  const std::size_t nul = bytes.find('\0');
  const std::string_view text = bytes.substr(0, nul);
  DocumentHandler handler;
  const bool ok = Json::sax_parse(text.data(), text.data() + text.size(), &handler,
                                  nlohmann::detail::input_format_t::json, /*strict=*/true);
  if (nul != std::string_view::npos &&
      (ok || (handler.syntax_error_at && *handler.syntax_error_at > text.size()))) {
    return fail(FormatError::json("parse error at byte " + std::to_string(nul + 1) +
                                  ": a NUL byte is not allowed in JSON text"));
  }
  if (!ok || handler.error) {
    return fail(FormatError::json(handler.error.value_or("the document could not be read")));
  }
  // Each object needs its own row: refuse a mismatch before any row is matched to an object.
  if (handler.rows.rows() != handler.objects.size()) {
    return fail(FormatError::invalid(
        "json", "the incidence has " + std::to_string(handler.rows.rows()) +
                    " rows but there are " + std::to_string(handler.objects.size()) + " objects"));
  }
  if (std::optional<FormatError> error =
          within_index_range("json", handler.objects.size(), handler.attributes.size())) {
    return fail(std::move(*error));
  }
  return constructed(
      std::move(handler.rows).build(std::move(handler.objects), std::move(handler.attributes)));
}

}  // namespace quorlan
