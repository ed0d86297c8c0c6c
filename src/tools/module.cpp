// _quorlan_tools, the native part of quorlan_tools: initialisation imports quorlan and checks the
// layout of its classes; the functions live by concern in the other files of this folder.
#include "python/errors.h"
#include "python/lock.h"
#include "tools/structure.h"

namespace quorlan::tools {
namespace {

PyMethodDef function_defs[] = {
    {"covers", covers, METH_VARARGS, nullptr},
    {"upper_covers", upper_covers, METH_VARARGS, nullptr},
    {"lower_covers", lower_covers, METH_VARARGS, nullptr},
    {"up_set", up_set, METH_VARARGS, nullptr},
    {"down_set", down_set, METH_VARARGS, nullptr},
    {"join", join, METH_VARARGS, nullptr},
    {"meet", meet, METH_VARARGS, nullptr},
    {"top", top, METH_VARARGS, nullptr},
    {"bottom", bottom, METH_VARARGS, nullptr},
    {"generated_by", generated_by, METH_VARARGS, nullptr},
    {"extent_sizes", extent_sizes, METH_VARARGS, nullptr},
    {"concepts_at", concepts_at, METH_VARARGS, nullptr},
    {"shown_covers", shown_covers, METH_VARARGS, nullptr},
    {"reduced_labels", reduced_labels, METH_VARARGS, nullptr},
    {"layout", layout, METH_VARARGS, nullptr},
    {"names", names, METH_VARARGS, nullptr},
    {"enumerate_bounded", enumerate_bounded, METH_VARARGS, nullptr},
    {"stability", stability, METH_VARARGS, nullptr},
    {"read_other", read_other, METH_VARARGS, nullptr},
    {"context_from_rows", context_from_rows, METH_VARARGS, nullptr},
    {"incidence", incidence, METH_VARARGS, nullptr},
    {"rows_over", rows_over, METH_VARARGS, nullptr},
    {"delta_stability", delta_stability, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_quorlan_tools",
    "The native part of quorlan_tools; use quorlan_tools instead.",
    0,
    function_defs,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace quorlan::tools

PyMODINIT_FUNC PyInit__quorlan_tools() {
  using namespace quorlan;
  return py::guarded([]() -> PyObject* {
    py::create_panic_exception("quorlan_tools.PanicException");
    py::remember_main_thread();
    tools::import_classes();
    py::Ref module = py::Ref::check(PyModule_Create(&tools::module_def));
    Py_INCREF(py::panic_exception_type());
    py::check_status(
        PyModule_AddObject(module.get(), "PanicException", py::panic_exception_type()));
    return module.release();
  });
}
