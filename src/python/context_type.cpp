#include <new>

#include "python/types.h"

namespace quorlan::py {
namespace {

ContextObject* as_context(PyObject* self) { return reinterpret_cast<ContextObject*>(self); }

void context_dealloc(PyObject* self) {
  ContextObject* o = as_context(self);
  o->context.~Context();
  o->access.~AccessCounter();
  free_instance(self);
}

PyObject* context_repr(PyObject* self) {
  return guarded([&] {
    SharedAccess access(as_context(self)->access);
    const Context& c = as_context(self)->context;
    return new_str("Context(objects=" + std::to_string(c.n_objects()) +
                   ", attributes=" + std::to_string(c.n_attributes()) + ")")
        .release();
  });
}

PyObject* get_n_objects(PyObject* self, void*) {
  return guarded([&] {
    SharedAccess access(as_context(self)->access);
    return result_object(PyLong_FromSize_t(as_context(self)->context.n_objects())).release();
  });
}

PyObject* get_n_attributes(PyObject* self, void*) {
  return guarded([&] {
    SharedAccess access(as_context(self)->access);
    return result_object(PyLong_FromSize_t(as_context(self)->context.n_attributes())).release();
  });
}

PyGetSetDef context_getset[] = {
    {"n_objects", get_n_objects, nullptr, "", nullptr},
    {"n_attributes", get_n_attributes, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot context_slots[] = {
    {Py_tp_doc, const_cast<char*>("Wraps a parsed `Context` so Python can hold it across calls.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(context_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(context_repr)},
    {Py_tp_getset, context_getset},
    {0, nullptr},
};

PyType_Spec context_spec = {
    "quorlan.Context", static_cast<int>(sizeof(ContextObject)), 0, Py_TPFLAGS_DEFAULT,
    context_slots,
};

}  // namespace

PyObject* context_type() {
  static PyObject* type = PyType_FromSpec(&context_spec);
  return type;
}

Ref new_context_object(Context context) {
  Ref self = Ref::steal(allocate_instance(context_type()));
  ContextObject* o = as_context(self.get());
  new (&o->access) AccessCounter(0);
  new (&o->context) Context(std::move(context));
  return self;
}

ContextObject* context_argument(PyObject* object) {
  if (reinterpret_cast<PyObject*>(Py_TYPE(object)) != context_type()) {
    conversion_error("ctx", object, "Context");
  }
  return as_context(object);
}

}  // namespace quorlan::py
