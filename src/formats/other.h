// Readers of the files other FCA tools write, for the companion package (quorlan's own
// read_context does not dispatch to them): ConExp's .cex documents, Galicia's .slf,
// object-attribute lists (.oal) and ConExp-NG's ';'-separated tables. Each takes valid UTF-8
// and gives a context, or a FormatError framed with its format's name.
#pragma once

#include <string_view>

#include "formats/read.h"
#include "formats/xml/stream.h"

namespace quorlan {

// <Attribute Identifier="k"><Name>...</Name></Attribute> declarations in <Attributes>, in the
// order they are declared, referred to by their identifier; <Object><Name>...</Name><Intent>
// <HasAttribute AttributeIdentifier="k"/>... in document order. Only the first <Context> is
// read; everything else (versions, settings, layouts, lattices) is passed over. Read as a
// stream of XML events in windows, as FCA-XML is: no entity is ever loaded or expanded.
ContextResult read_cex(std::string_view text, xml::Windows windows = {});
// [Lattice], the two counts, [Objects] and [Attributes] names a line each, [relation] rows of
// 0/1 separated by spaces, [END Relational Context].
ContextResult read_slf(std::string_view text);
// A line per object: its name, ':', then its attributes separated by ';' (attributes in the
// order they first appear); a line without ':' is an object without attributes.
ContextResult read_oal(std::string_view text);
// ConExp-NG's table: ';' between cells, a header row whose first cell is empty (or a name)
// and whose others name the attributes, then a row per object: its name and a mark per
// attribute, "X" (or "x", "1") for an incidence and an empty cell (or "0", ".") for none.
ContextResult read_conexp_csv(std::string_view text);

}  // namespace quorlan
