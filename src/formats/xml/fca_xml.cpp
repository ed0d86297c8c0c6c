// FCA-XML: <Attribute Id|Name="..."> declarations and <Object> elements with a <Name> and one
// <HasAttribute Id|AttributeIdentifier="k"> per attribute, read from the XML event stream. Names
// and values arrive as written; the reader resolves the references of the ones it looks at
// itself (the predefined entities and numeric character references only), after trimming. No
// external entity or DTD is ever loaded and no entity is expanded.
#include <algorithm>
#include <cstring>
#include <optional>

#include "formats/read.h"
#include "formats/text.h"
#include "formats/xml/stream.h"
#include "formats/xml/text.h"
#include "formats/xml/windows.h"

namespace quorlan {
namespace {

using xml::resolve_references;
using xml::Resolved;
using xml::trim_xml;

constexpr const char* kXml = "fca-xml";

// The FCA-XML vocabulary on the XML event stream; the first failing check in document order,
// of the XML or of the reader, ends the read.
class XmlReader final : public xml::Handler {
 public:
  ContextResult read(std::string_view input, xml::Windows windows) {
    const xml::StreamResult streamed = xml::stream(input, *this, windows);
    if (std::optional<FormatError> e = xml::stream_failure(streamed, kXml, error_)) {
      return fail(std::move(*e));
    }
    if (attributes_.empty())
      return fail(FormatError::invalid(kXml, "no <Attribute> elements found"));
    if (objects_.empty()) return fail(FormatError::invalid(kXml, "no <Object> elements found"));
    return constructed(std::move(rows_).build(std::move(objects_), std::move(attributes_)));
  }

  bool start(std::string_view n, const xml::Attributes& attributes, bool self_closing) override {
    if (n == "Object" && !self_closing) {
      in_object_ = true;
      objects_.drop_building();  // the name of an enclosing object that did not end
      named_ = false;
      current_ids_.clear();
    } else if (n == "Name" && !self_closing) {
      if (in_object_) in_name_ = true;
    } else if (n == "Attribute") {
      // The first Id or Name; one whose references cannot be resolved declares nothing.
      if (const std::optional<std::string_view> v = attributes.first_of("Id", "Name")) {
        const Resolved name = resolve_references(*v);
        if (name.error == nullptr) return declare_attribute(name.text());
      }
    } else if (n == "HasAttribute" && in_object_) {
      const std::optional<std::string_view> v = attributes.first_of("Id", "AttributeIdentifier");
      if (!v) return true;
      const Resolved id = resolve_references(*v);
      if (id.error != nullptr) return true;
      if (const std::optional<std::uint64_t> p = text::parse_unsigned(id.text(), UINT64_MAX)) {
        current_ids_.push_back(*p);
      }
    }
    return true;
  }

  // A text node: the first non-empty one after an opening Name tag names the object, replacing
  // the name an earlier Name of the same object gave. The name goes to the object names at
  // once, to be completed when the object ends (a nested object drops it first).
  bool text(std::string_view raw) override {
    const std::string_view t = trim_xml(raw);
    if (!in_name_ || t.empty()) return true;
    const Resolved name = resolve_references(t);
    if (name.error != nullptr) {
      error_ = FormatError::parse(kXml, std::string("invalid text in <Name>: ") + name.error);
      return false;
    }
    if (named_) objects_.drop_building();
    objects_.extend(name.text());
    named_ = true;
    in_name_ = false;
    return true;
  }

  bool end(std::string_view n) override {
    if (n != "Object" || !in_object_) return true;
    const std::size_t a = attributes_.size();
    for (std::uint64_t p : current_ids_) {
      if (p >= a) {
        const std::string name = named_ ? text::quoted(objects_.building())
                                        : text::quoted(text::numbered('g', objects_.size()));
        error_ = FormatError::invalid(kXml, "object " + name + " references attribute id " +
                                                std::to_string(p) + ", only " + std::to_string(a) +
                                                " attributes declared");
        return false;
      }
    }
    if (objects_.size() == kMaxIndexCount) {
      error_ = *within_index_range(kXml, objects_.size() + 1, a);
      return false;
    }
    std::sort(current_ids_.begin(), current_ids_.end());
    current_ids_.erase(std::unique(current_ids_.begin(), current_ids_.end()), current_ids_.end());
    for (std::uint64_t p : current_ids_) rows_.add(static_cast<std::uint32_t>(p));
    rows_.end_row(a);
    if (named_) {
      objects_.end_name();
    } else {
      objects_.push_back(text::numbered('g', objects_.size()));
    }
    in_object_ = false;
    return true;
  }

 private:
  bool declare_attribute(std::string_view name) {
    if (attributes_.size() == kMaxIndexCount) {
      error_ = *within_index_range(kXml, objects_.size(), attributes_.size() + 1);
      return false;
    }
    attributes_.push_back(name);
    return true;
  }

  std::optional<FormatError> error_;
  NameList attributes_, objects_;
  IncidenceBuilder rows_;
  bool in_object_ = false, in_name_ = false;
  bool named_ = false;  // the object's name is being built in objects_
  std::vector<std::uint64_t> current_ids_;
};

}  // namespace

ContextResult read_fca_xml(std::string_view text, xml::Windows windows) {
  return XmlReader().read(text, windows);
}

ContextResult read_fca_xml(std::string_view text) { return read_fca_xml(text, xml::Windows{}); }

}  // namespace quorlan
