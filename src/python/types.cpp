// What both classes (Context, Lattice) and the module object share: the borrow discipline
// ("Already borrowed", "Already mutably borrowed"), instance allocation, the missing constructor
// ("No constructor defined for ...") and the building of the module with its __all__.
#include "python/types.h"

namespace quorlan::py {

Access::Access(AccessCounter& counter, AccessMode mode) : counter_(counter), mode_(mode) {
  if (mode_ == AccessMode::kExclusive) {
    std::intptr_t expected = 0;
    if (!counter_.compare_exchange_strong(expected, -1, std::memory_order_acq_rel)) {
      raise(PyExc_RuntimeError, "Already borrowed");
    }
    return;
  }
  std::intptr_t v = counter_.load(std::memory_order_acquire);
  for (;;) {
    if (v == -1) raise(PyExc_RuntimeError, "Already mutably borrowed");
    if (counter_.compare_exchange_weak(v, v + 1, std::memory_order_acq_rel)) return;
  }
}

Access::~Access() {
  if (mode_ == AccessMode::kExclusive) {
    counter_.store(0, std::memory_order_release);
  } else {
    counter_.fetch_sub(1, std::memory_order_acq_rel);
  }
}

ModuleBuilder::ModuleBuilder(PyModuleDef* definition)
    : module_(Ref::check(PyModule_Create(definition))), all_(Ref::check(PyList_New(0))) {
  check_status(PyObject_SetAttrString(module_.get(), "__all__", all_.get()));
}

void ModuleBuilder::add(const char* name, Ref value) {
  Ref key = Ref::check(PyUnicode_FromString(name));
  check_status(PyList_Append(all_.get(), key.get()));
  check_status(PyModule_AddObject(module_.get(), name, value.get()));
  value.release();  // stolen by PyModule_AddObject
}

PyObject* allocate_instance(PyObject* type) {
  auto alloc = reinterpret_cast<allocfunc>(
      PyType_GetSlot(reinterpret_cast<PyTypeObject*>(type), Py_tp_alloc));
  PyObject* self = alloc(reinterpret_cast<PyTypeObject*>(type), 0);
  if (self == nullptr) throw_pending();
  return self;
}

void free_instance(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(self);
  Py_DECREF(type);
}

PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
  return guarded([&]() -> PyObject* {
    Ref name = Ref::check(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
    raise(PyExc_TypeError, "No constructor defined for " + text_argument("__name__", name.get()));
  });
}

}  // namespace quorlan::py
