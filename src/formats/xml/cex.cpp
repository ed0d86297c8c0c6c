// ConExp's .cex documents on the XML event stream: the attribute declarations of the first
// context, mapped by identifier to their position, and its objects with their intents.
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/other.h"
#include "formats/text.h"
#include "formats/xml/text.h"

namespace quorlan {
namespace {

constexpr const char* kCex = "cex";

// The text of the last <Name> read, until the next <Attribute> or <Object> starts. The first
// declaration or object that ends takes it over without a copy (a name of a hundred megabytes
// is held once); one that ends after it in odd nestings copies it from there.
class LastName {
 public:
  void clear() {
    text_.clear();
    named_ = false;
    taken_by_ = nullptr;
  }
  void set(std::string_view text) {
    text_.assign(text);
    named_ = true;
    taken_by_ = nullptr;
  }
  bool named() const { return named_; }
  std::string_view view(NameBuffer& buffer) const {
    return taken_by_ != nullptr ? taken_by_->view(index_, buffer) : std::string_view(text_);
  }
  // Appends the name to `list`.
  void give(NameList& list) {
    if (taken_by_ == nullptr) {
      list.adopt(std::move(text_));
      text_.clear();
    } else {
      NameBuffer buffer;
      std::string copy(taken_by_->view(index_, buffer));  // `list` may be where it lives
      list.adopt(std::move(copy));
    }
    taken_by_ = &list;
    index_ = list.size() - 1;
  }

 private:
  std::string text_;
  bool named_ = false;
  const NameList* taken_by_ = nullptr;  // the list holding the name, once given
  std::size_t index_ = 0;
};

class CexReader final : public xml::Handler {
 public:
  ContextResult read(std::string_view input, xml::Windows windows) {
    const xml::StreamResult streamed = xml::stream(input, *this, windows);
    if (std::optional<FormatError> e = xml::stream_failure(streamed, kCex, error_)) {
      return fail(std::move(*e));
    }
    if (state_ == State::kBefore) return fail(FormatError::invalid(kCex, "no <Context> found"));
    return constructed(std::move(rows_).build(std::move(objects_), std::move(attributes_)));
  }

  bool start(std::string_view n, const xml::Attributes& attributes, bool self_closing) override {
    if (state_ == State::kAfter) return true;
    if (n == "Context" && state_ == State::kBefore && !self_closing) {
      state_ = State::kInside;
    } else if (state_ != State::kInside) {
      return true;
    } else if (n == "Attribute") {
      const std::optional<std::string_view> id = attributes.first_of("Identifier", "Identifier");
      if (!id) return fail_with("an <Attribute> without an Identifier");
      attribute_id_.emplace(*id);  // the tag's attributes are gone once it is handed over
      name_.clear();
      if (self_closing) return declare();
    } else if (n == "Object" && !self_closing) {
      in_object_ = true;
      name_.clear();
      positions_.clear();
    } else if (n == "Name" && !self_closing) {
      in_name_ = true;
    } else if (n == "HasAttribute" && in_object_) {
      return refer(attributes.first_of("AttributeIdentifier", "AttributeIdentifier"));
    }
    return true;
  }

  bool text(std::string_view raw) override {
    if (!in_name_) return true;
    const xml::Resolved name = xml::resolve_references(xml::trim_xml(raw));
    if (name.error != nullptr) {
      return fail_with(std::string("invalid text in <Name>: ") + name.error, false);
    }
    name_.set(name.text());
    in_name_ = false;
    return true;
  }

  bool end(std::string_view n) override {
    if (state_ != State::kInside) return true;
    if (n == "Name") in_name_ = false;
    if (n == "Context") state_ = State::kAfter;
    if (n == "Attribute" && attribute_id_) return declare();
    if (n == "Object" && in_object_) return finish_object();
    return true;
  }

 private:
  enum class State { kBefore, kInside, kAfter };

  bool fail_with(std::string message, bool invalid = true) {
    error_ = invalid ? FormatError::invalid(kCex, std::move(message))
                     : FormatError::parse(kCex, std::move(message));
    return false;
  }

  bool declare() {
    const std::string raw = std::move(*attribute_id_);  // the resolved text may point into it
    attribute_id_.reset();
    const xml::Resolved id = xml::resolve_references(raw);
    if (id.error != nullptr)
      return fail_with(std::string("invalid attribute Identifier: ") + id.error, false);
    if (attributes_.size() == kMaxIndexCount) {
      error_ = *within_index_range(kCex, objects_.size(), attributes_.size() + 1);
      return false;
    }
    const auto [at, fresh] = position_of_.emplace(std::string(id.text()),
                                                  static_cast<std::uint32_t>(attributes_.size()));
    if (!fresh)
      return fail_with("attribute identifier " + text::quoted(id.text()) + " is declared twice");
    if (name_.named()) {
      name_.give(attributes_);
    } else {
      attributes_.push_back(std::string_view());
    }
    return true;
  }

  bool refer(std::optional<std::string_view> raw) {
    if (!raw) return true;
    const xml::Resolved id = xml::resolve_references(*raw);
    const auto found =
        id.error == nullptr ? position_of_.find(std::string(id.text())) : position_of_.end();
    if (found == position_of_.end()) {
      NameBuffer buffer;
      const std::string object =
          name_.named() ? std::string(name_.view(buffer)) : text::numbered('g', objects_.size());
      return fail_with("object " + text::quoted(object) + " refers to attribute identifier " +
                       text::quoted(*raw) + ", which no attribute declares");
    }
    positions_.push_back(found->second);
    return true;
  }

  bool finish_object() {
    in_object_ = false;
    if (objects_.size() == kMaxIndexCount) {
      error_ = *within_index_range(kCex, objects_.size() + 1, attributes_.size());
      return false;
    }
    std::sort(positions_.begin(), positions_.end());
    positions_.erase(std::unique(positions_.begin(), positions_.end()), positions_.end());
    for (std::uint32_t p : positions_) rows_.add(p);
    rows_.end_row();
    if (name_.named()) {
      name_.give(objects_);
    } else {
      objects_.push_back(text::numbered('g', objects_.size()));
    }
    return true;
  }

  std::optional<FormatError> error_;
  State state_ = State::kBefore;
  NameList attributes_, objects_;
  IncidenceBuilder rows_;
  std::unordered_map<std::string, std::uint32_t> position_of_;
  std::optional<std::string> attribute_id_;  // of the open <Attribute>, as written
  LastName name_;
  bool in_name_ = false, in_object_ = false;
  std::vector<std::uint32_t> positions_;
};

}  // namespace

ContextResult read_cex(std::string_view text, xml::Windows windows) {
  return CexReader().read(text, windows);
}

}  // namespace quorlan
