// The FCA-XML reader parses in windows; cut anywhere, a document must read exactly as in one
// window: the same context, or the same first error.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/read.h"
#include "formats/reader_cases.h"
#include "formats/xml/windows.h"

namespace quorlan {
namespace {

using testing::outcome_of;

std::string outcome(const ContextResult& r) { return outcome_of(r); }

// Documents of the FCA-XML vocabulary with every construct the parser skips or keeps, nested
// and repeated, then damaged at a few random places.
std::string random_document(std::mt19937& rng) {
  const auto pick = [&](std::initializer_list<const char*> options) {
    return std::string(*(options.begin() + rng() % options.size()));
  };
  std::string doc = pick({"", "", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>\n",
                          "<!DOCTYPE c [<!ENTITY e \"x\"> <!-- > -->]>"});
  std::vector<std::string> open;
  const int steps = 3 + static_cast<int>(rng() % 40);
  for (int s = 0; s < steps; ++s) {
    switch (rng() % 11) {
      case 0:
      case 1: {
        const std::string name = pick({"Context", "Object", "Object", "Name", "Attribute", "x"});
        std::string tag = "<" + name;
        for (auto k = rng() % 3; k > 0; --k) {
          tag +=
              " " + pick({"Id", "Name", "AttributeIdentifier", "a"}) + "=" +
              pick({"\"0\"", "\"1\"", "'+1'", "\"a &amp; b\"", "\"&nope;\"", "\"2\"", "\"x>y\""});
        }
        if (rng() % 3 == 0) {
          doc += tag + pick({"/>", " />"});
        } else {
          doc += tag + ">";
          open.push_back(name);
        }
        break;
      }
      case 2:
      case 3:
        if (!open.empty()) {
          doc += "</" + open.back() + pick({">", " >", "\n>", ">", " x>"});
          open.pop_back();
        }
        break;
      case 4:
        doc += pick({"<Attribute Name=\"a\"/>", "<HasAttribute Id=\"0\"/>",
                     "<HasAttribute Id=\"1\"/>", "<Name>o &lt;1&gt;</Name>"});
        break;
      case 5:
        doc += pick({"text", "  spaced  ", "&#65;", "&nope;", "a]]>b", "x > y"});
        break;
      case 6:
        doc += pick({"<!-- c -->", "<!---->", "<?pi data?>", "<![CDATA[ <x> ]]>", "<!DOCTYPE d>",
                     "\xEF\xBB\xBF"});
        break;
      case 7:
        doc += pick({"\n", "  ", "\r\n", "\t"});
        break;
      default:
        doc += pick(
            {"<Object><Name>o</Name><HasAttribute Id=\"0\"/></Object>", "<Attribute Id=\"b\"/>"});
        break;
    }
  }
  while (!open.empty() && rng() % 4 != 0) {
    doc += "</" + open.back() + ">";
    open.pop_back();
  }
  for (auto damage = rng() % 3; damage > 0 && !doc.empty(); --damage) {
    const std::size_t at = rng() % doc.size();
    if (rng() % 2 == 0) {
      doc.erase(at, 1);
    } else {
      doc.insert(at, pick({"<", ">", "/", "\"", "=", "!", "?", "-", "&", "\x01", "</x>"}));
    }
  }
  return doc;
}

TEST(XmlWindows, EveryCutReadsAsOneWindow) {
  std::mt19937 rng(20261209);
  std::vector<std::string> docs = {
      "<C><Attribute Name=\"a\"/><Object><Name>o</Name><HasAttribute Id=\"3\"/></Object></D>",
      "<C><Attribute Name=\"a\"/><Object><HasAttribute Id=\"0\"/><!--c--></Object>\x01</C>",
      "<C><Attribute Name=\"a\"/><Object><Name>x</Name></Object ><Object>\n</Object  </C>",
      "<a><b><c><d></d></c></b>\xEF\xBB\xBF</a>",
      "<a/>\xEF\xBB\xBFtext",
      "<a><!DOCTYPE x></a>",
      "<a>\n<b/>\n</a>\n<!-- tail -->\n",
  };
  for (int i = 0; i < 400; ++i) docs.push_back(random_document(rng));
  for (const std::string& doc : docs) {
    const std::string whole = outcome(read_fca_xml(doc, {doc.size() + 1, 1, doc.size() + 1}));
    for (std::size_t w = 1; w <= doc.size(); ++w) {
      ASSERT_EQ(outcome(read_fca_xml(doc, {w, w, w})), whole) << "window " << w << ": " << doc;
    }
  }
}

}  // namespace
}  // namespace quorlan
