// Owned references to Python objects, the exceptions that core errors become, and `guarded`,
// the extension's only try/catch: every entry point runs its body through it, and every C++
// failure leaves it as the matching Python exception.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <string_view>
#include <utility>

#include "core/interrupt.h"
#include "core/panic.h"
#include "formats/read.h"
#include "python/lock.h"

namespace quorlan::py {

// A Python exception is pending; `guarded` returns null for it.
struct PythonError {};

// Every failed C-API call ends here: its exception is pending, and the call unwinds.
[[noreturn]] inline void throw_pending() { throw PythonError{}; }
[[noreturn]] void raise(PyObject* type, const std::string& message);
// ValueError "parse error: {}".
[[noreturn]] void raise_format_error(const FormatError& error);
// ValueError "unknown algorithm `{}`; try one of: [...]".
[[noreturn]] void raise_unknown_algorithm(std::string_view name);

class Ref {
 public:
  Ref() = default;
  static Ref steal(PyObject* p) { return Ref(p); }
  static Ref borrow(PyObject* p) {
    Py_XINCREF(p);
    return Ref(p);
  }
  // Steals a new reference from a CPython call; a null result means the call failed.
  static Ref check(PyObject* p) {
    if (p == nullptr) throw_pending();
    return Ref(p);
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      Py_XDECREF(p_);
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(p_); }

  PyObject* get() const { return p_; }
  PyObject* release() { return std::exchange(p_, nullptr); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  explicit Ref(PyObject* p) : p_(p) {}
  PyObject* p_ = nullptr;
};

// For C-API calls that answer with a status: -1 means the call failed.
inline void check_status(int status) {
  if (status != 0) throw_pending();
}

Ref new_str(std::string_view utf8);

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

// PanicException, derived from BaseException; created once by module initialisation.
void create_panic_exception();
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
