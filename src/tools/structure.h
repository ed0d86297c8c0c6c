// The companion module's functions over a quorlan.Lattice (tools/structure.cpp); each takes
// positional arguments only, checked here, and quorlan_tools wraps them with keywords.
#pragma once

#include "tools/objects.h"

namespace quorlan::tools {

PyObject* covers(PyObject*, PyObject* args);
PyObject* upper_covers(PyObject*, PyObject* args);
PyObject* lower_covers(PyObject*, PyObject* args);
PyObject* up_set(PyObject*, PyObject* args);
PyObject* down_set(PyObject*, PyObject* args);
PyObject* join(PyObject*, PyObject* args);
PyObject* meet(PyObject*, PyObject* args);
PyObject* top(PyObject*, PyObject* args);
PyObject* bottom(PyObject*, PyObject* args);
PyObject* generated_by(PyObject*, PyObject* args);
PyObject* extent_sizes(PyObject*, PyObject* args);
PyObject* concepts_at(PyObject*, PyObject* args);
PyObject* shown_covers(PyObject*, PyObject* args);
PyObject* reduced_labels(PyObject*, PyObject* args);
PyObject* layout(PyObject*, PyObject* args);
PyObject* names(PyObject*, PyObject* args);
// tools/bounded.cpp
PyObject* enumerate_bounded(PyObject*, PyObject* args);
// tools/data.cpp
PyObject* read_other(PyObject*, PyObject* args);
PyObject* context_from_rows(PyObject*, PyObject* args);
PyObject* incidence(PyObject*, PyObject* args);
PyObject* rows_over(PyObject*, PyObject* args);
// tools/measures.cpp
PyObject* stability(PyObject*, PyObject* args);
PyObject* delta_stability(PyObject*, PyObject* args);

}  // namespace quorlan::tools
