// Arguments bound and converted as CPython's own functions do it, with its wording of errors.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <string>

namespace quorlan::py {

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

}  // namespace quorlan::py
