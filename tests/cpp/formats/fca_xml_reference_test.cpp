// The FCA-XML reader against a plain reading of its event table: a handler over the same XML
// events that keeps every name as a std::string and every row as booleans, and builds the
// context with Context::create. Generated documents with any sequence of names, texts, CDATA,
// references, other elements, attribute references and nested objects must read the same at
// every window size: the same names, rows and first error.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "formats/read.h"
#include "formats/reader_cases.h"
#include "formats/text.h"
#include "formats/xml/stream.h"
#include "formats/xml/windows.h"

namespace quorlan {
namespace {

// Errors as "error: " and their display, so that no context's text can pass for one.
std::string outcome(const ContextResult& r) {
  return r.has_value() ? testing::outcome_of(r) : "error: " + r.error().display();
}

// The predefined entities and numeric character references, or the reason a reference fails.
std::optional<std::string> plain_resolve(const std::string& raw, std::string& error) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    const std::size_t semi = raw.find(';', i + 1);
    const std::string ref = semi == std::string::npos ? "" : raw.substr(i + 1, semi - i - 1);
    if (ref.empty() || ref.find_first_of(" \t\r\n&<") != std::string::npos) {
      error = "not well-formed (invalid token)";
      return std::nullopt;
    }
    i = semi;
    if (ref == "lt" || ref == "gt" || ref == "amp" || ref == "apos" || ref == "quot") {
      out += ref == "lt"     ? '<'
             : ref == "gt"   ? '>'
             : ref == "amp"  ? '&'
             : ref == "apos" ? '\''
                             : '"';
      continue;
    }
    if (ref[0] != '#') {
      error = "undefined entity";
      return std::nullopt;
    }
    const bool hex = ref.size() > 1 && ref[1] == 'x';
    const std::string digits = ref.substr(hex ? 2 : 1);
    const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    std::uint64_t cp = digits.empty() ? UINT64_MAX : 0;
    for (const char c : digits) {
      if (std::string(allowed).find(c) == std::string::npos) cp = UINT64_MAX;
      if (cp > 0x10FFFF) break;
      cp = cp * (hex ? 16 : 10) + std::stoul(std::string(1, c), nullptr, 16);
    }
    const bool is_char = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
    if (!is_char) {
      error = "reference to invalid character number";
      return std::nullopt;
    }
    text::append_scalar(out, static_cast<std::int32_t>(cp));
  }
  return out;
}

std::string plain_trim(std::string s) {
  const char* space = " \t\r\n";
  const std::size_t first = s.find_first_not_of(space);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

// The reader state and event table, row by row.
class PlainReader final : public xml::Handler {
 public:
  std::optional<FormatError> error;
  std::vector<std::string> attribute_names, object_names;
  std::vector<std::vector<bool>> rows;

  bool start(std::string_view n, const xml::Attributes& attributes, bool self_closing) override {
    if (n == "Object" && !self_closing) {
      in_object_ = true;
      current_name_.reset();
      current_ids_.clear();
    } else if (n == "Name" && !self_closing && in_object_) {
      in_name_ = true;
    } else if (n == "Attribute") {
      std::string ignored;
      if (auto v = attributes.first_of("Id", "Name")) {
        if (auto name = plain_resolve(std::string(*v), ignored)) attribute_names.push_back(*name);
      }
    } else if (n == "HasAttribute" && in_object_) {
      std::string ignored;
      if (auto v = attributes.first_of("Id", "AttributeIdentifier")) {
        if (auto id = plain_resolve(std::string(*v), ignored)) {
          if (auto p = text::parse_unsigned(*id, UINT64_MAX)) current_ids_.push_back(*p);
        }
      }
    }
    return true;
  }

  bool text(std::string_view raw) override {
    const std::string t = plain_trim(std::string(raw));
    if (!in_name_ || t.empty()) return true;
    std::string why;
    const std::optional<std::string> name = plain_resolve(t, why);
    if (!name) {
      error = FormatError::parse("fca-xml", "invalid text in <Name>: " + why);
      return false;
    }
    current_name_ = *name;
    in_name_ = false;
    return true;
  }

  bool end(std::string_view n) override {
    if (n != "Object" || !in_object_) return true;
    const std::string name = current_name_.value_or("g" + std::to_string(object_names.size()));
    std::vector<bool> row(attribute_names.size(), false);
    for (std::uint64_t p : current_ids_) {
      if (p >= row.size()) {
        error = FormatError::invalid(
            "fca-xml", "object " + text::quoted(name) + " references attribute id " +
                           std::to_string(p) + ", only " + std::to_string(row.size()) +
                           " attributes declared");
        return false;
      }
      row[p] = true;
    }
    object_names.push_back(name);
    rows.push_back(row);
    in_object_ = false;
    return true;
  }

 private:
  bool in_object_ = false, in_name_ = false;
  std::optional<std::string> current_name_;
  std::vector<std::uint64_t> current_ids_;
};

ContextResult plain_read(std::string_view doc) {
  PlainReader r;
  const xml::StreamResult s = xml::stream(doc, r, {doc.size() + 1, 1, doc.size() + 1});
  if (s.outcome == xml::Outcome::kStopped) return fail(std::move(*r.error));
  if (s.outcome == xml::Outcome::kError) {
    return fail(FormatError::parse(
        "fca-xml",
        "XML parse error at position " + std::to_string(s.error.position) + ": " + s.error.text));
  }
  if (r.attribute_names.empty()) {
    return fail(FormatError::invalid("fca-xml", "no <Attribute> elements found"));
  }
  if (r.object_names.empty()) {
    return fail(FormatError::invalid("fca-xml", "no <Object> elements found"));
  }
  return constructed(Context::create(r.object_names, r.attribute_names, r.rows));
}

// Objects whose insides are any sequence of the constructs the event table tells apart.
std::string random_document(std::mt19937& rng) {
  const auto pick = [&](std::initializer_list<const char*> options) {
    return std::string(*(options.begin() + rng() % options.size()));
  };
  std::string doc = "<Context>";
  for (auto a = rng() % 4; a > 0; --a) {
    doc += pick({"<Attribute Name=\"a\"/>", "<Attribute Id=\"b &amp; c\"/>", "<Attribute/>",
                 "<Attribute Name=\"&#xE9;t&#233;\"></Attribute>"});
  }
  std::vector<std::string> open;
  for (int s = 3 + static_cast<int>(rng() % 30); s > 0; --s) {
    switch (rng() % 10) {
      case 0:
        doc += "<Object>";
        open.push_back("Object");
        break;
      case 1:
        doc += pick({"<Name>", "<Name>", "<x>", "<Intent>"});
        open.push_back(doc.substr(doc.rfind('<') + 1, doc.size() - doc.rfind('<') - 2));
        break;
      case 2:
      case 3:
        if (!open.empty()) {
          doc += "</" + open.back() + ">";
          open.pop_back();
        }
        break;
      case 4:
        doc += pick({"a1", "  b1 ", "first", "x&amp;y", "&#65;&lt;", "\n\t", "&nope;", "&#1;",
                     "caf\xC3\xA9"});
        break;
      case 5:
        doc += pick({"<Name/>", "<![CDATA[cd]]>", "<!-- c -->", "<?p i?>", "<y/>", "<Name>n</Name>",
                     "<Name> </Name>"});
        break;
      case 6:
        doc += pick({"<HasAttribute Id=\"0\"/>", "<HasAttribute AttributeIdentifier=\"1\"/>",
                     "<HasAttribute Id=\"+2\"/>", "<HasAttribute Id=\"x\"/>",
                     "<HasAttribute Id=\"3\"></HasAttribute>"});
        break;
      case 7:
        doc += pick({"<Attribute Name=\"late\"/>", "<Object/>"});
        break;
      default:
        doc += pick({"<Object><Name>a1</Name><Name>b1</Name></Object>",
                     "<Object><Name>p</Name><x/><Name>q</Name><HasAttribute Id=\"0\"/></Object>",
                     "<Object><Name>a&amp;1</Name><Name>b1</Name></Object>"});
        break;
    }
  }
  while (!open.empty()) {
    doc += "</" + open.back() + ">";
    open.pop_back();
  }
  return doc + "</Context>";
}

TEST(FcaXmlReference, CasesThatFailedOnce) {
  const std::string a = "<C><Attribute Name=\"a\"/>";
  const std::pair<std::string, std::string> cases[] = {
      {a + "<Object><Name>a1</Name><Name>b1</Name></Object></C>", "a,|b1,|"},
      {a + "<Object><Name>first</Name><x/><Name>second</Name></Object></C>", "a,|second,|"},
      {a + "<Object><Name>a&amp;1</Name><Name>b1</Name></Object></C>", "a,|b1,|"},
      {a + "<Object><Name>a1</Name><Name>b&amp;1</Name></Object></C>", "a,|b&1,|"},
      {a + "<Object><Name>a1</Name><Name/><Name> </Name></Object></C>", "a,|a1,|"},
      {a + "<Object><Name>a1<!--c-->b1</Name></Object></C>", "a,|a1,|"},
      {a + "<Object><Name>o</Name><Object><Name>i</Name></Object></Object></C>", "a,|i,|"},
      {a + "<Object><Name>a1</Name><Name>b1</Name><HasAttribute Id=\"1\"/></Object></C>",
       "error: invalid fca-xml data: object \"b1\" references attribute id 1, only 1 attributes "
       "declared"},
  };
  for (const auto& [doc, expected] : cases) {
    EXPECT_EQ(outcome(plain_read(doc)), expected) << doc;
    for (std::size_t w : {std::size_t{1}, std::size_t{7}, doc.size() + 1}) {
      EXPECT_EQ(outcome(read_fca_xml(doc, {w, w, w})), expected) << "window " << w << ": " << doc;
    }
  }
}

TEST(FcaXmlReference, GeneratedDocumentsAtEveryWindowSize) {
  std::mt19937 rng(20261210);
  for (int i = 0; i < 3000; ++i) {
    const std::string doc = random_document(rng);
    const std::string expected = outcome(plain_read(doc));
    std::vector<std::size_t> sizes = {1, 2, 3, 5, 16, 64, doc.size(), doc.size() + 1};
    if (i < 150) {
      for (std::size_t w = 4; w < doc.size(); ++w) sizes.push_back(w);
    }
    for (std::size_t w : sizes) {
      ASSERT_EQ(outcome(read_fca_xml(doc, {w, std::min<std::size_t>(w, 256), w})), expected)
          << "window " << w << ": " << doc;
    }
  }
}

}  // namespace
}  // namespace quorlan
