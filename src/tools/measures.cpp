// Concept measures for quorlan_tools: stability and the Δ-measure of every concept of a
// quorlan.Lattice, computed with the interpreter lock released (they can take seconds).
#include "order/measures.h"

#include "python/lock.h"
#include "tools/structure.h"

namespace quorlan::tools {
namespace {

template <class Compute>
PyObject* measure(const char* function, PyObject* args, Compute&& compute) {
  return py::guarded([&] {
    const auto [lat_arg] = py::bind_arguments(function, {"lat"}, 1, args, nullptr);
    py::LatticeState& s = lattice_argument("lat", lat_arg);
    const py::Access access(s.access, py::AccessMode::kShared);
    const auto values = [&] {
      py::LockRelease unlocked;
      return compute(s);
    }();
    return array_bytes(values).release();
  });
}

}  // namespace

PyObject* stability(PyObject*, PyObject* args) {
  return measure("stability", args,
                 [](const py::LatticeState& s) { return quorlan::stability(s.lattice); });
}

PyObject* delta_stability(PyObject*, PyObject* args) {
  return measure("delta_stability", args, [](const py::LatticeState& s) {
    return quorlan::delta_stability(s.lattice, *s.context);
  });
}

}  // namespace quorlan::tools
