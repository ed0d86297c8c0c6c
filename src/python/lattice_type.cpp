// quorlan.Lattice: repr, n_concepts, concepts() as a list of dicts, and the drawing as svg(),
// _repr_svg_() and _repr_html_() for Jupyter.
#include "python/convert.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

PyObject* lattice_repr(PyObject* self) {
  return with_receiver<LatticeState>(self, AccessMode::kShared, [](const LatticeState& s) {
    return str_result("Lattice(concepts=" + std::to_string(s.lattice.size()) + ")");
  });
}

PyObject* get_n_concepts(PyObject* self, void*) {
  return with_receiver<LatticeState>(self, AccessMode::kShared, [](const LatticeState& s) {
    return int_result(s.lattice.size());
  });
}

PyObject* lattice_concepts(PyObject* self, PyObject*) {
  return with_receiver<LatticeState>(self, AccessMode::kShared, [](const LatticeState& s) {
    return build_result([&] { return concept_dicts(*s.context, s.lattice); });
  });
}

// Rendering takes exclusive access: the first one fills the lattice's cache (its covers and the
// drawing's layered order), which later renderings reuse.
template <std::string (*Render)(const Lattice&, LatticeCache&)>
PyObject* lattice_render(PyObject* self, PyObject*) {
  return with_receiver<LatticeState>(self, AccessMode::kExclusive, [](LatticeState& s) {
    return str_result(Render(s.lattice, s.cache));
  });
}

PyGetSetDef lattice_getset[] = {
    {"n_concepts", get_n_concepts, nullptr, "Number of concepts in the lattice.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef lattice_methods[] = {
    {"concepts", lattice_concepts, METH_NOARGS,
     "concepts($self)\n--\n\nReturns the lattice's concepts as a list of dicts."},
    {"_repr_svg_", lattice_render<lattice_svg>, METH_NOARGS,
     "_repr_svg_($self)\n--\n\nJupyter SVG renderer. Called automatically when this object is\n"
     "the last expression in a notebook cell."},
    {"_repr_html_", lattice_render<lattice_html>, METH_NOARGS,
     "_repr_html_($self)\n--\n\nJupyter HTML renderer. SVG inside a captioned div."},
    {"svg", lattice_render<lattice_svg>, METH_NOARGS,
     "svg($self)\n--\n\nRenders the lattice as SVG and returns the string.\n\n"
     "Equivalent to `_repr_svg_` but callable explicitly. Useful for\n"
     "scripts that want to save the SVG to disk."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kLatticeDoc =
    "Wraps a `Lattice` so Python can render it.\n\nCarries the originating context alongside "
    "the lattice so attribute\nand object names can be projected into the rendered output and "
    "dict\nviews.";

}  // namespace

const ClassDescription LatticeState::kClass = {"quorlan.Lattice", kLatticeDoc, lattice_repr,
                                               lattice_getset, lattice_methods};

}  // namespace quorlan::py
