#include <new>

#include "layout/svg.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

LatticeObject* as_lattice(PyObject* self) { return reinterpret_cast<LatticeObject*>(self); }

void lattice_dealloc(PyObject* self) {
  LatticeObject* o = as_lattice(self);
  o->context.~Context();
  o->lattice.~Lattice();
  o->access.~AccessCounter();
  free_instance(self);
}

PyObject* lattice_repr(PyObject* self) {
  return guarded([&] {
    SharedAccess access(as_lattice(self)->access);
    return new_str("Lattice(concepts=" + std::to_string(as_lattice(self)->lattice.size()) + ")")
        .release();
  });
}

PyObject* get_n_concepts(PyObject* self, void*) {
  return guarded([&] {
    SharedAccess access(as_lattice(self)->access);
    return result_object(PyLong_FromSize_t(as_lattice(self)->lattice.size())).release();
  });
}

PyObject* lattice_concepts(PyObject* self, PyObject*) {
  return guarded([&] {
    SharedAccess access(as_lattice(self)->access);
    return concept_dicts(as_lattice(self)->context, as_lattice(self)->lattice).release();
  });
}

PyObject* lattice_render_svg(PyObject* self, PyObject*) {
  return guarded([&] {
    ExclusiveAccess access(as_lattice(self)->access);
    return new_str(lattice_svg(as_lattice(self)->lattice)).release();
  });
}

PyObject* lattice_repr_html(PyObject* self, PyObject*) {
  return guarded([&] {
    ExclusiveAccess access(as_lattice(self)->access);
    const Lattice& lattice = as_lattice(self)->lattice;
    std::string html =
        "<div class=\"quorlan-lattice\"><div style=\"color:#666;font-size:0.85em;"
        "margin-bottom:0.25em;\">Lattice \xE2\x80\x94 ";
    html += std::to_string(lattice.size());
    html += " concepts</div>";
    html += lattice_svg(lattice);
    html += "</div>";
    return new_str(html).release();
  });
}

PyGetSetDef lattice_getset[] = {
    {"n_concepts", get_n_concepts, nullptr, "Number of concepts in the lattice.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef lattice_methods[] = {
    {"concepts", lattice_concepts, METH_NOARGS,
     "concepts($self)\n--\n\nReturns the lattice's concepts as a list of dicts."},
    {"_repr_svg_", lattice_render_svg, METH_NOARGS,
     "_repr_svg_($self)\n--\n\nJupyter SVG renderer. Called automatically when this object is\n"
     "the last expression in a notebook cell."},
    {"_repr_html_", lattice_repr_html, METH_NOARGS,
     "_repr_html_($self)\n--\n\nJupyter HTML renderer. SVG inside a captioned div."},
    {"svg", lattice_render_svg, METH_NOARGS,
     "svg($self)\n--\n\nRenders the lattice as SVG and returns the string.\n\n"
     "Equivalent to `_repr_svg_` but callable explicitly. Useful for\n"
     "scripts that want to save the SVG to disk."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot lattice_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("Wraps a `Lattice` so Python can render it.\n\nCarries the originating "
                       "context alongside the lattice so attribute\nand object names can be "
                       "projected into the rendered output and dict\nviews.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(lattice_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(lattice_repr)},
    {Py_tp_getset, lattice_getset},
    {Py_tp_methods, lattice_methods},
    {0, nullptr},
};

PyType_Spec lattice_spec = {
    "quorlan.Lattice", static_cast<int>(sizeof(LatticeObject)), 0, Py_TPFLAGS_DEFAULT,
    lattice_slots,
};

}  // namespace

PyObject* lattice_type() {
  static PyObject* type = PyType_FromSpec(&lattice_spec);
  return type;
}

Ref new_lattice_object(Lattice lattice, Context context) {
  Ref self = Ref::steal(allocate_instance(lattice_type()));
  LatticeObject* o = as_lattice(self.get());
  new (&o->access) AccessCounter(0);
  new (&o->lattice) Lattice(std::move(lattice));
  new (&o->context) Context(std::move(context));
  return self;
}

}  // namespace quorlan::py
