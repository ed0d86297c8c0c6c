// The module functions.
#pragma once

#include "python/errors.h"

namespace quorlan::py {

PyObject* parse_context(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* supported_algorithms(PyObject* module, PyObject* unused);
PyObject* compute_concepts(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* compute_lattice(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* compute_implications(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace quorlan::py
