// The one place that knows both worlds: owned Python references, the interpreter-lock release
// guard, the access guards of the module's objects, argument binding with CPython's wording,
// and `guarded`, which turns every C++ failure into the matching Python exception.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "core/panic.h"

namespace quorlan::py {

// A Python exception is pending; `guarded` returns null for it.
struct PythonError {};

[[noreturn]] inline void throw_pending() { throw PythonError{}; }
[[noreturn]] void raise(PyObject* type, const std::string& message);

class Ref {
 public:
  Ref() = default;
  static Ref steal(PyObject* p) { return Ref(p); }
  static Ref borrow(PyObject* p) {
    Py_XINCREF(p);
    return Ref(p);
  }
  // Steals a new reference from a CPython call, throwing if the call failed.
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

// For objects built as part of a result: a refusal of the host is a broken promise of ours.
Ref result_object(PyObject* p);
Ref new_str(std::string_view utf8);

// Releases the interpreter lock for the lifetime of the guard.
class LockRelease {
 public:
  LockRelease() : state_(PyEval_SaveThread()) {}
  ~LockRelease() { PyEval_RestoreThread(state_); }
  LockRelease(const LockRelease&) = delete;
  LockRelease& operator=(const LockRelease&) = delete;

 private:
  PyThreadState* state_;
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

class SharedAccess {
 public:
  explicit SharedAccess(AccessCounter& c);
  ~SharedAccess() { counter_.fetch_sub(1, std::memory_order_acq_rel); }
  SharedAccess(const SharedAccess&) = delete;
  SharedAccess& operator=(const SharedAccess&) = delete;

 private:
  AccessCounter& counter_;
};

class ExclusiveAccess {
 public:
  explicit ExclusiveAccess(AccessCounter& c);
  ~ExclusiveAccess() { counter_.store(0, std::memory_order_release); }
  ExclusiveAccess(const ExclusiveAccess&) = delete;
  ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;

 private:
  AccessCounter& counter_;
};

PyObject* panic_exception_type();
std::string type_name(PyObject* object);

// Binds positional and keyword arguments to `names`; the first `required` are mandatory.
// Unfilled optional slots stay null. Errors are worded as CPython words its own.
void bind_arguments(const char* function, std::initializer_list<const char*> names,
                    std::size_t required, PyObject* args, PyObject* kwargs, PyObject** out);

// "argument '{}': '{}' object cannot be converted to '{}'"
[[noreturn]] void conversion_error(const char* parameter, PyObject* object, const char* expected);
std::string text_argument(const char* parameter, PyObject* object);

// The extension's only try/catch: every entry point runs its body through here.
template <class F>
PyObject* guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const PythonError&) {
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

// Instances hold C++ state only: the allocator zeroes the object, the caller placement-news
// the fields, and dealloc destroys them before freeing through the type's own slot.
PyObject* allocate_instance(PyObject* type);
void free_instance(PyObject* self);

// tp_new of both classes: they have no Python-callable constructor.
PyObject* no_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs);

}  // namespace quorlan::py
