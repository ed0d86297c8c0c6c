// The exceptions Python sees for what fails in the extension: core errors become ValueError
// ("parse error: ...", "unknown algorithm ..."), broken invariants quorlan.PanicException, a
// host that refuses a result's objects a PanicException too; and `guarded`, the extension's
// only try/catch, through which every entry point runs its body.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <string_view>

#include "core/interrupt.h"
#include "core/panic.h"
#include "formats/read.h"
#include "python/lock.h"
#include "python/ref.h"

namespace quorlan::py {

[[noreturn]] void raise(PyObject* type, const std::string& message);
// ValueError "parse error: {}".
[[noreturn]] void raise_format_error(const FormatError& error);
// ValueError "unknown algorithm `{}`; try one of: [...]".
[[noreturn]] void raise_unknown_algorithm(std::string_view name);

// Builds the Python result of a call. The values are plain str, int, float, list and dict
// objects made from records the call owns, so a refusal of the host here is a broken promise
// of ours: its exception is printed and the call ends in PanicException.
template <class Build>
Ref build_result(Build&& build);

// Pauses the cycle collector while a large result of plain containers is built (the lock is
// held throughout, so no other thread can see the pause); restores the previous state.
class CollectorPause {
 public:
  CollectorPause();
  ~CollectorPause();
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  Ref gc_;
  bool was_enabled_ = false;
};

// PanicException, derived from BaseException; created once by module initialisation, under the
// module's own qualified name.
void create_panic_exception(const char* name = "quorlan.PanicException");
PyObject* panic_exception_type();

// The extension's only try/catch: every entry point runs its body through here.
template <class F>
PyObject* guarded(F&& body) noexcept {
  const HeldLockInterrupts interrupts;
  try {
    return body();
  } catch (const PythonError&) {
    return nullptr;
  } catch (const Interrupted&) {
    // The signal handler's exception is pending.
    if (PyErr_Occurred() == nullptr) PyErr_SetNone(PyExc_KeyboardInterrupt);
    return nullptr;
  } catch (const Panic& p) {
    PyErr_SetString(panic_exception_type(), p.what());
    return nullptr;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
    return nullptr;
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_SystemError, e.what());
    return nullptr;
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
    return nullptr;
  }
}

template <class Build>
Ref build_result(Build&& build) {
  try {
    return build();
  } catch (const PythonError&) {
    PyErr_Print();
    panic("Python API call failed");
  }
}

}  // namespace quorlan::py
