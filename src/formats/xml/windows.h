// The FCA-XML reader with the sizes of the windows it reads the document in: they matter to
// memory only, and the tests and the fuzzers pass small ones to cut documents everywhere.
#pragma once

#include <string_view>

#include "formats/read.h"
#include "formats/xml/stream.h"

namespace quorlan {

ContextResult read_fca_xml(std::string_view text, xml::Windows windows);

}  // namespace quorlan
