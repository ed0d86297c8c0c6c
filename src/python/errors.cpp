// The exceptions raised for core errors, quorlan.PanicException, and the pause of the cycle
// collector while a result is built.
#include "python/errors.h"

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

namespace {
PyObject* g_panic_exception = nullptr;
}  // namespace

void create_panic_exception(const char* name) {
  if (g_panic_exception != nullptr) return;
  g_panic_exception = PyErr_NewExceptionWithDoc(
      name, "An internal invariant of quorlan was broken; this is a bug, please report it.",
      PyExc_BaseException, nullptr);
  if (g_panic_exception == nullptr) throw_pending();
}

PyObject* panic_exception_type() {
  // Only a failed initialisation leaves it missing, and then no other entry point is reachable.
  return g_panic_exception != nullptr ? g_panic_exception : PyExc_SystemError;
}

}  // namespace quorlan::py
