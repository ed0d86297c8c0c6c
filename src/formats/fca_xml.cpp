// FCA-XML: <Attribute Id|Name="..."> declarations and <Object> elements with a <Name> and one
// <HasAttribute Id|AttributeIdentifier="k"> per attribute. pugixml parses the document without
// processing escapes, so names and values arrive as written; the reader resolves the references
// of the ones it looks at itself (the predefined entities and numeric character references
// only), after trimming. The document is then replayed in order as start, end, self-closing and
// text events. No external entity or DTD is ever loaded and no entity is expanded.
#include <algorithm>
#include <cstring>
#include <optional>
#include <pugixml.hpp>

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

// A code point XML allows in a document (the Char production).
bool is_xml_char(std::uint64_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The character of a numeric reference's digits ("#65", "#x41"), if it is one XML allows.
std::optional<std::uint32_t> character_number(std::string_view ref) {
  const bool hex = ref.size() > 1 && ref[1] == 'x';
  const std::string_view digits = ref.substr(hex ? 2 : 1);
  if (digits.empty()) return std::nullopt;
  std::uint64_t cp = 0;
  for (const char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return std::nullopt;
    cp = cp * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
    if (cp > 0x10FFFF) return std::nullopt;  // stays out of range, however many digits follow
  }
  if (!is_xml_char(cp)) return std::nullopt;
  return static_cast<std::uint32_t>(cp);
}

// Raw text with its references resolved, or the reason one of them cannot be.
struct Resolved {
  std::string text;
  const char* error = nullptr;
};

Resolved resolve_references(std::string_view raw) {
  Resolved out;
  out.text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out.text += raw[i];
      continue;
    }
    const std::size_t semi = raw.find(';', i + 1);
    const std::string_view ref =
        semi == std::string_view::npos ? std::string_view() : raw.substr(i + 1, semi - i - 1);
    if (ref.empty() || ref.find_first_of(" \t\r\n&<") != std::string_view::npos) {
      out.error = "not well-formed (invalid token)";
      return out;
    }
    static constexpr std::pair<std::string_view, char> kPredefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    const auto* p = std::find_if(std::begin(kPredefined), std::end(kPredefined),
                                 [&](const auto& e) { return e.first == ref; });
    if (ref[0] == '#') {
      const std::optional<std::uint32_t> cp = character_number(ref);
      if (!cp) {
        out.error = "reference to invalid character number";
        return out;
      }
      append_utf8(out.text, *cp);
    } else if (p != std::end(kPredefined)) {
      out.text += p->second;
    } else {
      out.error = "undefined entity";
      return out;
    }
    i = semi;
  }
  return out;
}

// The document's structure as an XML parser without escape processing reports it, plus the
// well-formedness rules pugixml leaves to its caller; the first broken one, with its position.
struct XmlError {
  std::ptrdiff_t position;
  std::string text;
};

std::optional<XmlError> check_characters(std::string_view input) {
  for (std::size_t i = 0; i < input.size(); ++i) {
    const auto c = static_cast<unsigned char>(input[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      return XmlError{static_cast<std::ptrdiff_t>(i), "not well-formed (invalid token)"};
    }
  }
  return std::nullopt;
}

std::optional<XmlError> check_element(const pugi::xml_node& e) {
  for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute()) {
    if (std::strchr(a.value(), '<') != nullptr) {
      return XmlError{e.offset_debug() - 1, "not well-formed (invalid token)"};
    }
    for (pugi::xml_attribute b = e.first_attribute(); b != a; b = b.next_attribute()) {
      if (std::strcmp(a.name(), b.name()) == 0) {
        return XmlError{e.offset_debug() - 1, "duplicate attribute"};
      }
    }
  }
  return std::nullopt;
}

// One element at the top, no text beside it.
std::optional<XmlError> check_document(const pugi::xml_document& doc, std::size_t size) {
  std::size_t elements = 0;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element && elements++ == 1) {
      return XmlError{n.offset_debug() - 1, "junk after document element"};
    }
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
      return XmlError{n.offset_debug(), "text outside the document element"};
    }
  }
  if (elements == 0) return XmlError{static_cast<std::ptrdiff_t>(size), "no element found"};
  return std::nullopt;
}

class XmlReader {
 public:
  explicit XmlReader(std::string_view input) : input_(input) {}

  ContextResult read() {
    pugi::xml_document doc;
    const unsigned options = pugi::parse_cdata | pugi::parse_eol | pugi::parse_wconv_attribute |
                             pugi::parse_fragment;  // escapes left as written
    std::optional<XmlError> bad = check_characters(input_);
    if (!bad) {
      const pugi::xml_parse_result parsed =
          doc.load_buffer(input_.data(), input_.size(), options, pugi::encoding_utf8);
      if (!parsed) bad = XmlError{parsed.offset, parsed.description()};
    }
    if (!bad) bad = check_document(doc, input_.size());
    if (!bad) bad = replay(doc);
    if (bad) {
      return fail(FormatError::parse(
          kXml, "XML parse error at position " + std::to_string(bad->position) + ": " + bad->text));
    }
    if (error_) return fail(std::move(*error_));
    if (attributes_.empty())
      return fail(FormatError::invalid(kXml, "no <Attribute> elements found"));
    if (objects_.empty()) return fail(FormatError::invalid(kXml, "no <Object> elements found"));
    return constructed(std::move(rows_).build(std::move(objects_), std::move(attributes_)));
  }

 private:
  // Walks the tree in document order without recursion, delivering the events; stops at the
  // first error, of the XML (returned) or of the reader (error_).
  std::optional<XmlError> replay(const pugi::xml_document& doc) {
    pugi::xml_node n = doc.first_child();
    while (n && !error_) {
      if (n.type() == pugi::node_element) {
        if (std::optional<XmlError> bad = check_element(n)) return bad;
        const bool self_closing = start_tag_self_closing(n);
        start(n, self_closing);
        if (!self_closing && n.first_child()) {
          n = n.first_child();
          continue;
        }
        if (!self_closing) end(n);
      } else if (n.type() == pugi::node_pcdata) {
        text(n.value());
      }
      // Up to the next node in document order, ending the elements left on the way.
      while (n && !n.next_sibling()) {
        n = n.parent();
        if (n && n.type() == pugi::node_element && !error_) end(n);
      }
      if (n) n = n.next_sibling();
    }
    return std::nullopt;
  }

  // The raw start tag, from the element's name to its closing '>' outside quoted values, ends
  // in "/>" exactly for an empty-element tag.
  bool start_tag_self_closing(const pugi::xml_node& e) const {
    char quote = 0;
    for (std::size_t i = static_cast<std::size_t>(e.offset_debug()); i < input_.size(); ++i) {
      const char c = input_[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return input_[i - 1] == '/';
      }
    }
    return false;
  }

  static const char* first_attribute(const pugi::xml_node& e, const char* a, const char* b) {
    for (pugi::xml_attribute x = e.first_attribute(); x; x = x.next_attribute()) {
      if (std::strcmp(x.name(), a) == 0 || std::strcmp(x.name(), b) == 0) return x.value();
    }
    return nullptr;
  }

  void start(const pugi::xml_node& e, bool self_closing) {
    const std::string_view n = e.name();
    if (n == "Object" && !self_closing) {
      in_object_ = true;
      current_name_.reset();
      current_ids_.clear();
    } else if (n == "Name" && !self_closing) {
      if (in_object_) in_name_ = true;
    } else if (n == "Attribute") {
      // The first Id or Name; one whose references cannot be resolved declares nothing.
      if (const char* v = first_attribute(e, "Id", "Name")) {
        const Resolved name = resolve_references(v);
        if (name.error == nullptr) declare_attribute(name.text);
      }
    } else if (n == "HasAttribute" && in_object_) {
      const char* v = first_attribute(e, "Id", "AttributeIdentifier");
      if (v == nullptr) return;
      const Resolved id = resolve_references(v);
      if (id.error != nullptr) return;
      if (const std::optional<std::uint64_t> p = text::parse_unsigned(id.text, UINT64_MAX)) {
        current_ids_.push_back(*p);
      }
    }
  }

  // A text node: the first non-empty one after an opening Name tag names the object.
  void text(std::string_view raw) {
    const std::string_view t = trim_xml(raw);
    if (!in_name_ || t.empty()) return;
    Resolved name = resolve_references(t);
    if (name.error != nullptr) {
      error_ = FormatError::parse(kXml, std::string("invalid text in <Name>: ") + name.error);
      return;
    }
    current_name_ = std::move(name.text);
    in_name_ = false;
  }

  void end(const pugi::xml_node& e) {
    if (std::string_view(e.name()) != "Object" || !in_object_) return;
    const std::string object_name =
        current_name_ ? *current_name_ : text::numbered('g', objects_.size());
    const std::size_t a = attributes_.size();
    for (std::uint64_t p : current_ids_) {
      if (p >= a) {
        error_ = FormatError::invalid(
            kXml, "object " + text::quoted(object_name) + " references attribute id " +
                      std::to_string(p) + ", only " + std::to_string(a) + " attributes declared");
        return;
      }
    }
    if (objects_.size() == kMaxIndexCount) {
      error_ = *within_index_range(kXml, objects_.size() + 1, a);
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
      error_ = *within_index_range(kXml, objects_.size(), attributes_.size() + 1);
      return;
    }
    attributes_.push_back(name);
  }

  std::string_view input_;
  std::optional<FormatError> error_;
  NameList attributes_, objects_;
  IncidenceBuilder rows_;
  bool in_object_ = false, in_name_ = false;
  std::optional<std::string> current_name_;
  std::vector<std::uint64_t> current_ids_;
};

}  // namespace

ContextResult read_fca_xml(std::string_view text) { return XmlReader(text).read(); }

}  // namespace quorlan
