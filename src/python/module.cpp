// Module initialisation: the two classes, the five functions and __version__, each added
// through one operation that also records the name in __all__.
#include "python/functions.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

PyMethodDef function_defs[] = {
    {"parse_context", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(parse_context)),
     METH_VARARGS | METH_KEYWORDS,
     "parse_context(bytes, filename=...)\n--\n\nParses raw bytes into a `Context`."},
    {"supported_algorithms", supported_algorithms, METH_NOARGS,
     "supported_algorithms()\n--\n\nReturns the list of algorithm names accepted by "
     "`compute_concepts`."},
    {"compute_concepts",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(compute_concepts)),
     METH_VARARGS | METH_KEYWORDS,
     "compute_concepts(ctx, algorithm=\"next-closure\")\n--\n\nComputes the concept lattice and "
     "returns concepts as a list of dicts.\n\nEach dict has keys `extent` (list of object names) "
     "and `intent`\n(list of attribute names). For notebook-friendly rendering, see\n"
     "`compute_lattice`."},
    {"compute_lattice",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(compute_lattice)),
     METH_VARARGS | METH_KEYWORDS,
     "compute_lattice(ctx, algorithm=\"next-closure\")\n--\n\nComputes the concept lattice and "
     "returns a `Lattice` object.\n\nThe returned object renders as SVG in Jupyter (via "
     "`_repr_svg_`).\nUse `.concepts()` to get the same dict-list as `compute_concepts`."},
    {"compute_implications",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(compute_implications)),
     METH_VARARGS | METH_KEYWORDS,
     "compute_implications(ctx)\n--\n\nComputes the Duquenne-Guigues canonical implication "
     "base."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "quorlan", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

bool g_initialised = false;

Ref class_object(PyObject* type, const char* name) {
  if (type == nullptr) {
    PyErr_Clear();
    panic(std::string("failed to create type object for ") + name);
  }
  return Ref::borrow(type);
}

}  // namespace
}  // namespace quorlan::py

PyMODINIT_FUNC PyInit_quorlan() {
  using namespace quorlan::py;
  return guarded([]() -> PyObject* {
    if (g_initialised) {
      raise(PyExc_ImportError,
            "quorlan can be initialised only once per process; restart the interpreter to "
            "load it again");
    }
    create_panic_exception();
    remember_main_thread();
    ModuleBuilder module(&module_def);
    module.add("Context", class_object(class_object<ContextState>(), "Context"));
    module.add("Lattice", class_object(class_object<LatticeState>(), "Lattice"));
    Ref module_name = Ref::check(PyUnicode_FromString("quorlan"));
    for (PyMethodDef* def = function_defs; def->ml_name != nullptr; ++def) {
      module.add(def->ml_name, Ref::check(PyCFunction_NewEx(def, nullptr, module_name.get())));
    }
    module.add("__version__", Ref::check(PyUnicode_FromString(QUORLAN_VERSION)));
    g_initialised = true;
    return module.finish().release();
  });
}
