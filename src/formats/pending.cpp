// Readers not yet available answer with a clear error instead of guessing.
#include "formats/read.h"

namespace quorlan {

ContextResult read_fca_xml(std::string_view) {
  return fail(FormatError::invalid("fca-xml", "the FCA-XML reader is not available in this build"));
}
ContextResult read_json(std::string_view) {
  return fail(FormatError::json("the JSON reader is not available in this build"));
}

}  // namespace quorlan
