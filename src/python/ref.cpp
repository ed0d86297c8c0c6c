// Owned references: what is not inline in python/ref.h.
#include "python/ref.h"

namespace quorlan::py {

Ref new_str(std::string_view utf8) {
  return Ref::check(PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

}  // namespace quorlan::py
