#include "python/bridge.h"

#include <vector>

#include "engine/algorithm.h"
#include "formats/text.h"

namespace quorlan::py {

void raise(PyObject* type, const std::string& message) {
  // Messages may quote input; never let an undecodable byte turn one error into another.
  Ref text = Ref::check(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  PyErr_SetObject(type, text.get());
  throw_pending();
}

void raise_format_error(const FormatError& error) {
  raise(PyExc_ValueError, "parse error: " + error.display());
}

void raise_unknown_algorithm(std::string_view name) {
  std::string names;
  for (const char* n : ALGORITHM_NAMES) {
    names += names.empty() ? "[" : ", ";
    names += std::string("\"") + n + "\"";
  }
  raise(PyExc_ValueError,
        "unknown algorithm " + text::clipped(name, "`", "`") + "; try one of: " + names + "]");
}

Ref new_str(std::string_view utf8) {
  return Ref::check(PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

namespace {
// Known once the module is initialised; until then every thread counts as the main one.
bool g_main_known = false;
unsigned long g_main_thread = 0;
}  // namespace

void remember_main_thread() {
  Ref threading = Ref::check(PyImport_ImportModule("threading"));
  Ref main = Ref::check(PyObject_CallMethod(threading.get(), "main_thread", nullptr));
  Ref ident = Ref::check(PyObject_GetAttrString(main.get(), "ident"));
  g_main_thread = PyLong_AsUnsignedLong(ident.get());
  if (PyErr_Occurred() != nullptr) throw_pending();
  g_main_known = true;
}

bool on_main_thread() { return !g_main_known || PyThread_get_thread_ident() == g_main_thread; }

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

namespace {
PyObject* g_panic_exception = nullptr;
}  // namespace

void create_panic_exception() {
  if (g_panic_exception != nullptr) return;
  g_panic_exception = PyErr_NewExceptionWithDoc(
      "quorlan.PanicException",
      "An internal invariant of quorlan was broken; this is a bug, please report it.",
      PyExc_BaseException, nullptr);
  if (g_panic_exception == nullptr) throw_pending();
}

PyObject* panic_exception_type() {
  // Only a failed initialisation leaves it missing, and then no other entry point is reachable.
  return g_panic_exception != nullptr ? g_panic_exception : PyExc_SystemError;
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
  check_status(PyBytes_AsStringAndSize(bytes.get(), &data, &size));
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

[[noreturn]] void too_many_positional(const std::string& fn, std::size_t count,
                                      std::size_t required, Py_ssize_t given) {
  const std::string expected =
      required == count ? std::to_string(count)
                        : "from " + std::to_string(required) + " to " + std::to_string(count);
  raise(PyExc_TypeError, fn + " takes " + expected + " positional argument" +
                             (count == 1 && required == count ? "" : "s") + " but " +
                             std::to_string(given) + (given == 1 ? " was" : " were") + " given");
}

}  // namespace

void bind_arguments_into(const char* function, const char* const* names, std::size_t count,
                         std::size_t required, PyObject* args, PyObject* kwargs, PyObject** out) {
  const std::string fn = std::string(function) + "()";
  const Py_ssize_t given = args ? PyTuple_Size(args) : 0;
  if (static_cast<std::size_t>(given) > count) too_many_positional(fn, count, required, given);
  for (Py_ssize_t i = 0; i < given; ++i) out[i] = PyTuple_GetItem(args, i);
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  Py_ssize_t pos = 0;
  while (kwargs != nullptr && PyDict_Next(kwargs, &pos, &key, &value)) {
    if (!PyUnicode_Check(key)) raise(PyExc_TypeError, "keywords must be strings");
    const std::string k = text_argument("keyword", key);
    std::size_t slot = 0;
    while (slot < count && k != names[slot]) ++slot;
    if (slot == count) {
      raise(PyExc_TypeError, fn + " got an unexpected keyword argument '" + k + "'");
    }
    if (out[slot] != nullptr) {
      raise(PyExc_TypeError, fn + " got multiple values for argument '" + k + "'");
    }
    out[slot] = value;
  }
  std::vector<const char*> missing;
  for (std::size_t i = 0; i < required; ++i) {
    if (out[i] == nullptr) missing.push_back(names[i]);
  }
  if (!missing.empty()) {
    raise(PyExc_TypeError, fn + " missing " + std::to_string(missing.size()) +
                               " required positional argument" + (missing.size() == 1 ? "" : "s") +
                               ": " + quoted_names(missing));
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
