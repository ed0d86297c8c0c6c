// Bounded enumerations for quorlan_tools: iceberg lattices (only the concepts of enough objects,
// in the algorithm's order, as a quorlan.Lattice) and counts, with the interpreter lock released
// while the engine runs, as quorlan's own computations do.
#include "engine/algorithm.h"
#include "python/convert.h"
#include "python/lock.h"
#include "tools/structure.h"

namespace quorlan::tools {
namespace {

std::uint64_t count_argument(const char* parameter, PyObject* object) {
  if (!PyLong_Check(object) || PyBool_Check(object)) {
    py::raise(PyExc_TypeError,
              std::string(parameter) + " must be an int, not " + py::type_name(object));
  }
  const unsigned long long v = PyLong_AsUnsignedLongLong(object);
  if (PyErr_Occurred() != nullptr) {
    PyErr_Clear();
    py::raise(PyExc_ValueError, std::string(parameter) + " must be a count from 0 to 2**64-1");
  }
  return v;
}

}  // namespace

// enumerate_bounded(ctx, algorithm, min_support, max_concepts or None, count_only): a new
// quorlan.Lattice, or the count; None when max_concepts stopped it (the caller says so).
PyObject* enumerate_bounded(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [ctx_arg, algorithm_arg, support_arg, max_arg, count_arg] = py::bind_arguments(
        "enumerate_bounded", {"ctx", "algorithm", "min_support", "max_concepts", "count_only"}, 5,
        args, nullptr);
    py::ContextState& ctx = context_argument("ctx", ctx_arg);
    const py::Access access(ctx.access, py::AccessMode::kShared);
    const std::string name = py::text_argument("algorithm", algorithm_arg);
    const ConceptAlgorithm* algorithm = algorithm_by_name(name);
    if (algorithm == nullptr) py::raise_unknown_algorithm(name);
    EnumerationLimits limits;
    limits.min_support = count_argument("min_support", support_arg);
    if (max_arg != Py_None) limits.max_concepts = count_argument("max_concepts", max_arg);
    limits.count_only = PyObject_IsTrue(count_arg) == 1;
    EnumerationResult found = [&] {
      py::LockRelease unlocked;
      return algorithm->compute(*ctx.context, limits);
    }();
    if (!found.complete) return Ref::borrow(Py_None).release();
    if (limits.count_only) return Ref::check(PyLong_FromUnsignedLongLong(found.count)).release();
    return py::new_instance<py::LatticeState>(lattice_class(), std::move(found.lattice),
                                              ctx.context)
        .release();
  });
}

}  // namespace quorlan::tools
