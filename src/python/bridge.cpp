#include "python/bridge.h"

#include <vector>

namespace quorlan::py {

void raise(PyObject* type, const std::string& message) {
  // Messages may quote input; never let an undecodable byte turn one error into another.
  Ref text = Ref::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (!text) throw_pending();
  PyErr_SetObject(type, text.get());
  throw PythonError{};
}

Ref result_object(PyObject* p) {
  if (p == nullptr) {
    PyErr_Print();
    panic("Python API call failed");
  }
  return Ref::steal(p);
}

Ref new_str(std::string_view utf8) {
  return result_object(
      PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

CollectorPause::CollectorPause() : gc_(Ref::check(PyImport_ImportModule("gc"))) {
  Ref enabled = Ref::check(PyObject_CallMethod(gc_.get(), "isenabled", nullptr));
  was_enabled_ = PyObject_IsTrue(enabled.get()) == 1;
  if (was_enabled_) Ref::check(PyObject_CallMethod(gc_.get(), "disable", nullptr));
}

CollectorPause::~CollectorPause() {
  if (!was_enabled_) return;
  // Keep an exception that is already pending (the result being abandoned) intact.
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  Ref done = Ref::steal(PyObject_CallMethod(gc_.get(), "enable", nullptr));
  if (!done) PyErr_Clear();
  PyErr_Restore(type, value, traceback);
}

SharedAccess::SharedAccess(AccessCounter& c) : counter_(c) {
  std::intptr_t v = counter_.load(std::memory_order_acquire);
  for (;;) {
    if (v == -1) raise(PyExc_RuntimeError, "Already mutably borrowed");
    if (counter_.compare_exchange_weak(v, v + 1, std::memory_order_acq_rel)) return;
  }
}

ExclusiveAccess::ExclusiveAccess(AccessCounter& c) : counter_(c) {
  std::intptr_t expected = 0;
  if (!counter_.compare_exchange_strong(expected, -1, std::memory_order_acq_rel)) {
    raise(PyExc_RuntimeError, "Already borrowed");
  }
}

PyObject* panic_exception_type() {
  static PyObject* type = nullptr;
  if (type == nullptr) {
    type = PyErr_NewExceptionWithDoc(
        "quorlan.PanicException",
        "An internal invariant of quorlan was broken; this is a bug, please report it.",
        PyExc_BaseException, nullptr);
  }
  return type;
}

std::string type_name(PyObject* object) {
  Ref name =
      Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
  if (!name || !PyUnicode_Check(name.get())) {
    PyErr_Clear();
    return "?";
  }
  Ref bytes = Ref::steal(PyUnicode_AsUTF8String(name.get()));
  if (!bytes) {
    PyErr_Clear();
    return "?";
  }
  return PyBytes_AsString(bytes.get());
}

void conversion_error(const char* parameter, PyObject* object, const char* expected) {
  raise(PyExc_TypeError, std::string("argument '") + parameter + "': '" + type_name(object) +
                             "' object cannot be converted to '" + expected + "'");
}

std::string text_argument(const char* parameter, PyObject* object) {
  if (!PyUnicode_Check(object)) conversion_error(parameter, object, "PyString");
  Ref bytes = Ref::check(PyUnicode_AsUTF8String(object));
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) != 0) throw_pending();
  return std::string(data, static_cast<std::size_t>(size));
}

namespace {

std::string quoted_names(const std::vector<const char*>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
    out += std::string("'") + names[i] + "'";
  }
  return out;
}

}  // namespace

void bind_arguments(const char* function, std::initializer_list<const char*> names,
                    std::size_t required, PyObject* args, PyObject* kwargs, PyObject** out) {
  const std::size_t total = names.size();
  const std::string fn = std::string(function) + "()";
  for (std::size_t i = 0; i < total; ++i) out[i] = nullptr;
  const Py_ssize_t given = args ? PyTuple_Size(args) : 0;
  if (static_cast<std::size_t>(given) > total) {
    std::string expected =
        required == total ? std::to_string(total)
                          : "from " + std::to_string(required) + " to " + std::to_string(total);
    raise(PyExc_TypeError, fn + " takes " + expected + " positional argument" +
                               (total == 1 && required == total ? "" : "s") + " but " +
                               std::to_string(given) + (given == 1 ? " was" : " were") + " given");
  }
  for (Py_ssize_t i = 0; i < given; ++i) out[i] = PyTuple_GetItem(args, i);
  if (kwargs != nullptr) {
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t pos = 0;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!PyUnicode_Check(key)) raise(PyExc_TypeError, "keywords must be strings");
      const std::string k = text_argument("keyword", key);
      std::size_t slot = total;
      std::size_t idx = 0;
      for (const char* n : names) {
        if (k == n) slot = idx;
        ++idx;
      }
      if (slot == total) {
        raise(PyExc_TypeError, fn + " got an unexpected keyword argument '" + k + "'");
      }
      if (out[slot] != nullptr) {
        raise(PyExc_TypeError, fn + " got multiple values for argument '" + k + "'");
      }
      out[slot] = value;
    }
  }
  std::vector<const char*> missing;
  std::size_t idx = 0;
  for (const char* n : names) {
    if (idx < required && out[idx] == nullptr) missing.push_back(n);
    ++idx;
  }
  if (!missing.empty()) {
    raise(PyExc_TypeError, fn + " missing " + std::to_string(missing.size()) +
                               " required positional argument" + (missing.size() == 1 ? "" : "s") +
                               ": " + quoted_names(missing));
  }
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
