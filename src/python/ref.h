// Owned references to Python objects. A C-API call that fails leaves its exception pending
// and throws PythonError, which `guarded` (python/errors.h) turns back into that exception.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>
#include <utility>

namespace quorlan::py {

// A Python exception is pending; `guarded` returns null for it.
struct PythonError {};

// Every failed C-API call ends here: its exception is pending, and the call unwinds.
[[noreturn]] inline void throw_pending() { throw PythonError{}; }

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

// A new str from UTF-8 text.
Ref new_str(std::string_view utf8);

}  // namespace quorlan::py
