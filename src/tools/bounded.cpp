// Bounded enumerations for quorlan_tools: iceberg lattices (only the concepts of enough objects,
// in the algorithm's order, as a quorlan.Lattice) and counts, with the interpreter lock released
// while the engine runs, as quorlan's own computations do.
#include <chrono>

#include "core/progress.h"
#include "engine/algorithm.h"
#include "python/convert.h"
#include "python/lock.h"
#include "tools/structure.h"

namespace quorlan::tools {
namespace {

// The lock released as quorlan's LockRelease does, and on the main thread, when asked about a
// stop, a call of `report(found, first_done, first_total)` at most ten times a second; an
// exception it raises stops the search and reaches the caller.
class ReportingRelease final : public InterruptSource {
 public:
  ReportingRelease(PyObject* report, SearchProgress& progress)
      : report_(report),
        progress_(progress),
        state_(PyEval_SaveThread()),
        scope_(py::on_main_thread() ? this : nullptr),
        recorded_(&progress) {}
  ~ReportingRelease() { PyEval_RestoreThread(state_); }
  ReportingRelease(const ReportingRelease&) = delete;
  ReportingRelease& operator=(const ReportingRelease&) = delete;

  bool requested() override {
    PyEval_RestoreThread(state_);
    bool stop = PyErr_CheckSignals() != 0;  // the exception stays pending
    const auto now = std::chrono::steady_clock::now();
    if (!stop && now - last_ >= std::chrono::milliseconds(100)) {
      last_ = now;
      PyObject* done =
          PyObject_CallFunction(report_, "KKK", static_cast<unsigned long long>(progress_.found),
                                static_cast<unsigned long long>(progress_.first_done),
                                static_cast<unsigned long long>(progress_.first_total));
      stop = done == nullptr;
      Py_XDECREF(done);
    }
    state_ = PyEval_SaveThread();
    return stop;
  }

 private:
  PyObject* report_;
  SearchProgress& progress_;
  PyThreadState* state_;
  InterruptScope scope_;
  ProgressScope recorded_;
  std::chrono::steady_clock::time_point last_{};
};

// The search with the lock released, reporting its progress when asked to.
EnumerationResult search(const ConceptAlgorithm& algorithm, const Context& context,
                         const EnumerationLimits& limits, PyObject* report) {
  if (report == nullptr || report == Py_None) {
    py::LockRelease unlocked;
    return algorithm.compute(context, limits);
  }
  SearchProgress progress;
  ReportingRelease unlocked(report, progress);
  return algorithm.compute(context, limits);
}

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

// enumerate_bounded(ctx, algorithm, min_support, max_concepts or None, count_only[, report]):
// a new quorlan.Lattice, or the count; None when max_concepts stopped it (the caller says so).
PyObject* enumerate_bounded(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [ctx_arg, algorithm_arg, support_arg, max_arg, count_arg, report] =
        py::bind_arguments(
            "enumerate_bounded",
            {"ctx", "algorithm", "min_support", "max_concepts", "count_only", "report"}, 5, args,
            nullptr);
    py::ContextState& ctx = context_argument("ctx", ctx_arg);
    const py::Access access(ctx.access, py::AccessMode::kShared);
    const std::string name = py::text_argument("algorithm", algorithm_arg);
    const ConceptAlgorithm* algorithm = algorithm_by_name(name);
    if (algorithm == nullptr) py::raise_unknown_algorithm(name);
    EnumerationLimits limits;
    limits.min_support = count_argument("min_support", support_arg);
    if (max_arg != Py_None) limits.max_concepts = count_argument("max_concepts", max_arg);
    limits.count_only = PyObject_IsTrue(count_arg) == 1;
    if (report != nullptr && report != Py_None && PyCallable_Check(report) == 0) {
      py::conversion_error("report", report, "callable");
    }
    EnumerationResult found = search(*algorithm, *ctx.context, limits, report);
    if (!found.complete) return Ref::borrow(Py_None).release();
    if (limits.count_only) return Ref::check(PyLong_FromUnsignedLongLong(found.count)).release();
    return py::new_instance<py::LatticeState>(lattice_class(), std::move(found.lattice),
                                              ctx.context)
        .release();
  });
}

}  // namespace quorlan::tools
