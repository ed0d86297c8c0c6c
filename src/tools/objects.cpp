#include "tools/objects.h"

namespace quorlan::tools {
namespace {

PyObject* g_context_class = nullptr;
PyObject* g_lattice_class = nullptr;

PyObject* checked_class(PyObject* module, const char* name, std::size_t size) {
  Ref type = Ref::check(PyObject_GetAttrString(module, name));
  Ref basic = Ref::check(PyObject_GetAttrString(type.get(), "__basicsize__"));
  const std::size_t found = PyLong_AsSize_t(basic.get());
  if (PyErr_Occurred() != nullptr) py::throw_pending();
  if (found != size) {
    py::raise(PyExc_ImportError,
              std::string("quorlan_tools was built for another build of quorlan: quorlan.") + name +
                  " instances take " + std::to_string(found) + " bytes, this module's " +
                  std::to_string(size) + "; install both from one wheel");
  }
  return type.release();
}

template <class State>
State& state_argument(const char* parameter, PyObject* object, PyObject* type, const char* name) {
  if (reinterpret_cast<PyObject*>(Py_TYPE(object)) != type) {
    py::conversion_error(parameter, object, name);
  }
  return py::state_of<State>(object);
}

}  // namespace

void import_classes() {
  Ref quorlan = Ref::check(PyImport_ImportModule("quorlan"));
  g_context_class = checked_class(quorlan.get(), "Context", sizeof(py::Instance<py::ContextState>));
  g_lattice_class = checked_class(quorlan.get(), "Lattice", sizeof(py::Instance<py::LatticeState>));
}

PyObject* lattice_class() { return g_lattice_class; }
PyObject* context_class() { return g_context_class; }

py::ContextState& context_argument(const char* parameter, PyObject* object) {
  return state_argument<py::ContextState>(parameter, object, g_context_class, "Context");
}

py::LatticeState& lattice_argument(const char* parameter, PyObject* object) {
  return state_argument<py::LatticeState>(parameter, object, g_lattice_class, "Lattice");
}

const Context& context_of_either(const char* parameter, PyObject* object) {
  if (reinterpret_cast<PyObject*>(Py_TYPE(object)) == g_lattice_class) {
    return *py::state_of<py::LatticeState>(object).context;
  }
  return *context_argument(parameter, object).context;
}

std::uint32_t index_argument(const char* parameter, PyObject* object, std::size_t count) {
  if (!PyLong_Check(object) || PyBool_Check(object)) {
    py::raise(PyExc_TypeError,
              std::string(parameter) + " must be an int, not " + py::type_name(object));
  }
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(object, &overflow);
  if (v == -1 && PyErr_Occurred() != nullptr) py::throw_pending();
  if (overflow != 0 || v < 0 || static_cast<unsigned long long>(v) >= count) {
    py::raise(PyExc_ValueError,
              std::string(parameter) + " must be the index of a concept, from 0 to " +
                  std::to_string(count == 0 ? 0 : count - 1) + "; got " +
                  (overflow != 0 ? std::string("a number out of range") : std::to_string(v)));
  }
  return static_cast<std::uint32_t>(v);
}

IndexList index_list_argument(const char* parameter, PyObject* object, std::size_t count) {
  if (!PyList_Check(object)) py::conversion_error(parameter, object, "list");
  IndexList out;
  for (Py_ssize_t k = 0; k < PyList_Size(object); ++k) {
    out.push_back(index_argument(parameter, PyList_GetItem(object, k), count));
  }
  return out;
}

Ref int_list(const IndexList& items) {
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(items.size())));
  for (std::size_t k = 0; k < items.size(); ++k) {
    py::check_status(PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k),
                                    Ref::check(PyLong_FromUnsignedLong(items[k])).release()));
  }
  return list;
}

Ref optional_int(const std::optional<std::uint32_t>& value) {
  if (!value) return Ref::borrow(Py_None);
  return Ref::check(PyLong_FromUnsignedLong(*value));
}

const LatticeOrder& order_of(py::LatticeState& state) {
  return state.cache.order.order(state.lattice, *state.context);
}

}  // namespace quorlan::tools
