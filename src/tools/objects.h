// quorlan's own Context and Lattice objects as the companion module receives them: their classes
// taken from the imported module quorlan and checked against the instance layout both modules
// compile (python/types.h), the arguments checked for their exact class, and the helpers that
// make the companion's results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "order/lattice_order.h"
#include "python/types.h"

namespace quorlan::tools {

using py::Ref;

// Imports quorlan and keeps its two classes, or raises ImportError when their layout is not the
// one this module was built with (another build of quorlan).
void import_classes();
PyObject* lattice_class();
PyObject* context_class();

py::ContextState& context_argument(const char* parameter, PyObject* object);
py::LatticeState& lattice_argument(const char* parameter, PyObject* object);
// A Context or a Lattice: the context it holds.
const Context& context_of_either(const char* parameter, PyObject* object);

// An index below `count`: an int, not a bool; else TypeError or ValueError naming the argument.
std::uint32_t index_argument(const char* parameter, PyObject* object, std::size_t count);
// A list of such indices.
IndexList index_list_argument(const char* parameter, PyObject* object, std::size_t count);

// Results: a list of ints, an int or None, and arrays of plain numbers as a bytearray the
// Python side views as a numpy array without a copy.
Ref int_list(const IndexList& items);
Ref optional_int(const std::optional<std::uint32_t>& value);
template <class T>
Ref array_bytes(const std::vector<T>& items) {
  return Ref::check(
      PyByteArray_FromStringAndSize(reinterpret_cast<const char*>(items.data()),
                                    static_cast<Py_ssize_t>(items.size() * sizeof(T))));
}

// The order questions' cache of a lattice, made on first use (the caller has exclusive access).
const LatticeOrder& order_of(py::LatticeState& state);

}  // namespace quorlan::tools
