// quorlan.Context: repr(ctx) "Context(objects=.., attributes=..)", ctx.n_objects and
// ctx.n_attributes over the immutable record that parse_context made.
#include "python/types.h"

namespace quorlan::py {
namespace {

PyObject* context_repr(PyObject* self) {
  return with_receiver<ContextState>(self, AccessMode::kShared, [](const ContextState& s) {
    return str_result("Context(objects=" + std::to_string(s.context->n_objects()) +
                      ", attributes=" + std::to_string(s.context->n_attributes()) + ")");
  });
}

template <std::size_t (Context::*Count)() const>
PyObject* get_count(PyObject* self, void*) {
  return with_receiver<ContextState>(self, AccessMode::kShared, [](const ContextState& s) {
    return int_result(((*s.context).*Count)());
  });
}

PyGetSetDef context_getset[] = {
    {"n_objects", get_count<&Context::n_objects>, nullptr, "", nullptr},
    {"n_attributes", get_count<&Context::n_attributes>, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kContextDoc = "Wraps a parsed `Context` so Python can hold it across calls.";

}  // namespace

const ClassDescription ContextState::kClass = {"quorlan.Context", kContextDoc, context_repr,
                                               context_getset, nullptr};

ContextState& context_argument(PyObject* object) {
  if (reinterpret_cast<PyObject*>(Py_TYPE(object)) != class_object<ContextState>()) {
    conversion_error("ctx", object, "Context");
  }
  return state_of<ContextState>(object);
}

}  // namespace quorlan::py
