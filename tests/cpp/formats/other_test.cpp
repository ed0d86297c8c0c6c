// The readers of other tools' files: their messages, and a cex document cut into windows
// anywhere reading as in one.
#include "formats/other.h"

#include <gtest/gtest.h>

#include <string>

#include "formats/reader_cases.h"

namespace quorlan {
namespace {

using testing::outcome_of;

std::string outcome(const ContextResult& r) { return outcome_of(r); }

TEST(OtherFormats, Outcomes) {
  const std::pair<std::string, std::string> cex[] = {
      {"<S><Contexts><Context><Attributes><Attribute Identifier=\"7\"><Name>b</Name>"
       "</Attribute><Attribute Identifier=\"x\"><Name> a &amp; c </Name></Attribute>"
       "</Attributes><Objects><Object><Name>o</Name><Intent><HasAttribute "
       "AttributeIdentifier=\"x\"/><HasAttribute AttributeIdentifier=\"x\"/></Intent></Object>"
       "<Object><Intent/></Object></Objects></Context><Context><Attributes><Attribute "
       "Identifier=\"9\"/></Attributes></Context></Contexts><Lattices><Object><Name>n</Name>"
       "</Object></Lattices></S>",
       "b,a & c,|o,g1,|1 |"},
      {"<S/>", "invalid cex data: no <Context> found"},
      {"<C><Context><Attribute Identifier=\"0\"/><Object><Name>o</Name><HasAttribute "
       "AttributeIdentifier=\"1\"/></Object></Context></C>",
       "invalid cex data: object \"o\" refers to attribute identifier \"1\", which no attribute "
       "declares"},
      // Odd nestings: the last name read goes to every declaration and object that ends after
      // it, until the next <Attribute> or <Object> starts.
      {"<C><Context><Attribute Identifier=\"1\"><Object><Name>n</Name></Object></Attribute>"
       "</Context></C>",
       "n,|n,|"},
      {"<C><Context><Object><Attribute Identifier=\"1\"><Name>n</Name></Attribute><HasAttribute "
       "AttributeIdentifier=\"1\"/></Object></Context></C>",
       "n,|n,|0 "},
      {"<C><Context><Object><Attribute Identifier=\"1\"><Name>n</Name></Attribute><HasAttribute "
       "AttributeIdentifier=\"2\"/></Object></Context></C>",
       "invalid cex data: object \"n\" refers to attribute identifier \"2\", which no attribute "
       "declares"},
  };
  for (const auto& [doc, expected] : cex) {
    EXPECT_EQ(outcome(read_cex(doc)), expected) << doc;
    for (std::size_t w = 1; w < doc.size(); w += 3) {
      ASSERT_EQ(outcome(read_cex(doc, {w, w, w})), expected) << "window " << w;
    }
  }
  EXPECT_EQ(outcome(read_oal("a: x ; y\r\nb\n\nc:y;;y\n")), "x,y,|a,b,c,|0 1 ||1 ");
  EXPECT_EQ(outcome(read_conexp_csv(";p;q\no;X;\nr;0;1\n")), "p,q,|o,r,|0 |1 ");
  EXPECT_EQ(outcome(read_slf("[Lattice]\n1\n2\n[Objects]\no\n[Attributes]\np\nq\n[relation]\n0 1\n"
                             "[END Relational Context]\n")),
            "p,q,|o,|1 ");
  EXPECT_EQ(outcome(read_slf("[Lattice]\n18446744073709551615\n1\n")),
            "invalid slf data: 18446744073709551615 objects and 1 attributes are beyond the "
            "limit of 4294967295 of each");
}

}  // namespace
}  // namespace quorlan
