// The binding of positional and keyword arguments of every module function and method, and the
// TypeErrors CPython words for them ("f() missing 1 required positional argument: 'ctx'", ...).
#include "python/arguments.h"

#include <vector>

#include "python/errors.h"

namespace quorlan::py {

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

}  // namespace quorlan::py
