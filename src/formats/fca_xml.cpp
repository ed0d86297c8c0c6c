// FCA-XML: <Attribute Id|Name="..."> declarations and <Object> elements with a <Name> and one
// <HasAttribute Id|AttributeIdentifier="k"> per attribute. Read from expat's event stream; the
// reader reacts to those element names only. expat loads no external entity or DTD, and its
// amplification limits refuse entity-expansion attacks.
#include <expat.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "formats/read.h"
#include "formats/text.h"

namespace quorlan {
namespace {

constexpr const char* kXml = "fca-xml";

bool is_xml_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim_xml(std::string_view s) {
  while (!s.empty() && is_xml_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_xml_space(s.back())) s.remove_suffix(1);
  return s;
}

class XmlReader {
 public:
  explicit XmlReader(std::string_view input) : input_(input) {
    parser_ = XML_ParserCreate("UTF-8");
    if (parser_ == nullptr) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, on_start, on_end);
    XML_SetCharacterDataHandler(parser_, on_text);
    XML_SetCdataSectionHandler(parser_, on_cdata_start, on_cdata_end);
    XML_SetCommentHandler(parser_, on_other_markup);
    XML_SetProcessingInstructionHandler(parser_, on_pi);
  }
  ~XmlReader() { XML_ParserFree(parser_); }
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  ContextResult read() {
    constexpr std::size_t kSlice = 1 << 20;
    std::size_t pos = 0;
    do {
      const std::size_t len = std::min(kSlice, input_.size() - pos);
      const bool last = pos + len == input_.size();
      if (XML_Parse(parser_, input_.data() + pos, static_cast<int>(len), last) ==
          XML_STATUS_ERROR) {
        if (error_) return fail(std::move(*error_));
        return fail(xml_error());
      }
      if (error_) return fail(std::move(*error_));
      pos += len;
    } while (pos < input_.size());
    if (attributes_.empty())
      return fail(FormatError::invalid(kXml, "no <Attribute> elements found"));
    if (objects_.empty()) return fail(FormatError::invalid(kXml, "no <Object> elements found"));
    return constructed(std::move(rows_).build(std::move(objects_), std::move(attributes_)));
  }

 private:
  FormatError xml_error() {
    const XML_Error code = XML_GetErrorCode(parser_);
    const std::string text = XML_ErrorString(code);
    if (code == XML_ERROR_UNDEFINED_ENTITY && in_name_) {
      return FormatError::parse(kXml, "invalid text in <Name>: " + text);
    }
    return FormatError::parse(kXml, "XML parse error at position " +
                                        std::to_string(XML_GetCurrentByteIndex(parser_)) + ": " +
                                        text);
  }

  // The raw bytes of the current start tag end in "/>" exactly for an empty-element tag.
  bool start_tag_self_closing() const {
    const XML_Index at = XML_GetCurrentByteIndex(parser_);
    const int count = XML_GetCurrentByteCount(parser_);
    if (at < 0 || count < 2) return false;
    const std::size_t end = static_cast<std::size_t>(at) + static_cast<std::size_t>(count);
    return end <= input_.size() && input_[end - 2] == '/' && input_[end - 1] == '>';
  }

  static const char* first_attribute(const XML_Char** atts, const char* a, const char* b) {
    for (std::size_t k = 0; atts[k] != nullptr; k += 2) {
      if (std::strcmp(atts[k], a) == 0 || std::strcmp(atts[k], b) == 0) return atts[k + 1];
    }
    return nullptr;
  }

  // A text node is the character data between two pieces of markup.
  void flush_text() {
    if (!text_pending_) return;
    text_pending_ = false;
    const std::string_view t = trim_xml(text_);
    if (in_name_ && !t.empty()) {
      current_name_ = std::string(t);
      in_name_ = false;
    }
    text_.clear();
  }

  void start(const char* name, const XML_Char** atts) {
    flush_text();
    const bool self_closing = start_tag_self_closing();
    closing_.push_back(self_closing);
    const std::string_view n = name;
    if (n == "Object" && !self_closing) {
      in_object_ = true;
      current_name_.reset();
      current_ids_.clear();
    } else if (n == "Name" && !self_closing) {
      if (in_object_) in_name_ = true;
    } else if (n == "Attribute") {
      if (const char* v = first_attribute(atts, "Id", "Name")) declare_attribute(v);
    } else if (n == "HasAttribute") {
      if (!in_object_) return;
      const char* v = first_attribute(atts, "Id", "AttributeIdentifier");
      if (v == nullptr) return;
      if (const std::optional<std::uint64_t> p = text::parse_unsigned(v, UINT64_MAX))
        current_ids_.push_back(*p);
    }
  }

  void end(const char* name) {
    flush_text();
    const bool self_closing = !closing_.empty() && closing_.back();
    if (!closing_.empty()) closing_.pop_back();
    if (self_closing || std::string_view(name) != "Object" || !in_object_) return;
    const std::string object_name =
        current_name_ ? *current_name_ : text::numbered('g', objects_.size());
    const std::size_t a = attributes_.size();
    for (std::uint64_t p : current_ids_) {
      if (p >= a) {
        stop(FormatError::invalid(
            kXml, "object " + text::quoted(object_name) + " references attribute id " +
                      std::to_string(p) + ", only " + std::to_string(a) + " attributes declared"));
        return;
      }
    }
    if (objects_.size() == kMaxIndexCount) {
      stop(*within_index_range(kXml, objects_.size() + 1, a));
      return;
    }
    std::sort(current_ids_.begin(), current_ids_.end());
    current_ids_.erase(std::unique(current_ids_.begin(), current_ids_.end()), current_ids_.end());
    for (std::uint64_t p : current_ids_) rows_.add(static_cast<std::uint32_t>(p));
    rows_.end_row(a);
    objects_.push_back(object_name);
    in_object_ = false;
  }

  void declare_attribute(std::string_view name) {
    if (attributes_.size() == kMaxIndexCount) {
      stop(*within_index_range(kXml, objects_.size(), attributes_.size() + 1));
      return;
    }
    attributes_.push_back(name);
  }

  // Handlers may still be called after a stop; the first error stands.
  void stop(FormatError error) {
    if (error_) return;
    error_ = std::move(error);
    XML_StopParser(parser_, XML_FALSE);
  }

  static void on_start(void* self, const XML_Char* name, const XML_Char** atts) {
    static_cast<XmlReader*>(self)->start(name, atts);
  }
  static void on_end(void* self, const XML_Char* name) { static_cast<XmlReader*>(self)->end(name); }
  static void on_text(void* self, const XML_Char* s, int len) {
    auto* r = static_cast<XmlReader*>(self);
    if (r->in_cdata_) return;
    r->text_.append(s, static_cast<std::size_t>(len));
    r->text_pending_ = true;
  }
  static void on_cdata_start(void* self) {
    auto* r = static_cast<XmlReader*>(self);
    r->flush_text();
    r->in_cdata_ = true;
  }
  static void on_cdata_end(void* self) { static_cast<XmlReader*>(self)->in_cdata_ = false; }
  static void on_other_markup(void* self, const XML_Char*) {
    static_cast<XmlReader*>(self)->flush_text();
  }
  static void on_pi(void* self, const XML_Char*, const XML_Char*) {
    static_cast<XmlReader*>(self)->flush_text();
  }

  std::string_view input_;
  XML_Parser parser_;
  std::optional<FormatError> error_;
  NameList attributes_, objects_;
  IncidenceBuilder rows_;
  std::vector<bool> closing_;  // per open element: written as an empty-element tag
  bool in_object_ = false, in_name_ = false, in_cdata_ = false, text_pending_ = false;
  std::optional<std::string> current_name_;
  std::vector<std::uint64_t> current_ids_;
  std::string text_;
};

}  // namespace

ContextResult read_fca_xml(std::string_view text) { return XmlReader(text).read(); }

}  // namespace quorlan
