// The one place that knows both worlds: owned Python references, the interpreter-lock release
// guard, the access guards of the module's objects, argument binding with CPython's wording,
// the messages that turn core errors into Python exceptions, and `guarded`, which turns every
// C++ failure into the matching Python exception.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/interrupt.h"
#include "core/panic.h"
#include "formats/read.h"

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

// Long computations stop on a pending signal (Ctrl-C, Jupyter's interrupt): PyErr_CheckSignals
// runs the handlers, and a handler's exception (KeyboardInterrupt) ends the call. Handlers run
// on the main thread only, so only there is anything polled.
void remember_main_thread();
bool on_main_thread();

// With the lock held, as every entry point runs: the handlers are run directly.
class HeldLockInterrupts final : public InterruptSource {
 public:
  HeldLockInterrupts() : scope_(this) {}
  bool requested() override { return PyErr_CheckSignals() != 0; }

 private:
  InterruptScope scope_;
};

// Releases the interpreter lock for the lifetime of the guard. On the main thread the
// computation meanwhile takes the lock back for a moment every few tens of milliseconds to run
// pending signal handlers; elsewhere it is not polled at all.
class LockRelease final : public InterruptSource {
 public:
  LockRelease() : state_(PyEval_SaveThread()), scope_(on_main_thread() ? this : nullptr) {}
  ~LockRelease() { PyEval_RestoreThread(state_); }
  LockRelease(const LockRelease&) = delete;
  LockRelease& operator=(const LockRelease&) = delete;

  bool requested() override {
    PyEval_RestoreThread(state_);
    const bool stop = PyErr_CheckSignals() != 0;  // the exception stays pending
    state_ = PyEval_SaveThread();
    return stop;
  }

 private:
  PyThreadState* state_;
  InterruptScope scope_;
};

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

// 0 = free, n > 0 = n shared users, -1 = one exclusive user.
using AccessCounter = std::atomic<std::intptr_t>;

enum class AccessMode { kShared, kExclusive };

// Shared access fails with RuntimeError "Already mutably borrowed", exclusive access with
// "Already borrowed"; either is given back when the guard ends.
class Access {
 public:
  Access(AccessCounter& counter, AccessMode mode);
  ~Access();
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;

 private:
  AccessCounter& counter_;
  AccessMode mode_;
};

// PanicException, derived from BaseException; created once by module initialisation.
void create_panic_exception();
PyObject* panic_exception_type();
std::string type_name(PyObject* object);

// Binds positional and keyword arguments to the N parameter names; the first `required` are
// mandatory, unfilled optional slots stay null. Errors are worded as CPython words its own.
void bind_arguments_into(const char* function, const char* const* names, std::size_t count,
                         std::size_t required, PyObject* args, PyObject* kwargs, PyObject** out);

template <std::size_t N>
std::array<PyObject*, N> bind_arguments(const char* function, const char* const (&names)[N],
                                        std::size_t required, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, N> out{};
  bind_arguments_into(function, names, N, required, args, kwargs, out.data());
  return out;
}

// "argument '{}': '{}' object cannot be converted to '{}'"
[[noreturn]] void conversion_error(const char* parameter, PyObject* object, const char* expected);
std::string text_argument(const char* parameter, PyObject* object);

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

// Module attributes are added through one operation, which appends the name to `__all__`
// (created with the module) and then sets the attribute.
class ModuleBuilder {
 public:
  explicit ModuleBuilder(PyModuleDef* definition);
  void add(const char* name, Ref value);
  Ref finish() { return std::move(module_); }

 private:
  Ref module_;
  Ref all_;
};

// Instances hold C++ state only: the allocator zeroes the object, the caller placement-news
// the fields, and dealloc destroys them before freeing through the type's own slot.
PyObject* allocate_instance(PyObject* type);
void free_instance(PyObject* self);

// tp_new of both classes: they have no Python-callable constructor.
PyObject* no_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs);

}  // namespace quorlan::py
