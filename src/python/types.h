// The module's two classes and their instance layouts.
#pragma once

#include "core/concept.h"
#include "core/context.h"
#include "python/bridge.h"

namespace quorlan::py {

struct ContextObject {
  PyObject_HEAD AccessCounter access;
  Context context;
};

struct LatticeObject {
  PyObject_HEAD AccessCounter access;
  Lattice lattice;
  Context context;
};

// Created once, on first use; null only if creation failed (an exception is then set).
PyObject* context_type();
PyObject* lattice_type();

// New instances taking ownership of the records.
Ref new_context_object(Context context);
Ref new_lattice_object(Lattice lattice, Context context);

// The Context behind a `ctx` argument, or the conversion TypeError.
ContextObject* context_argument(PyObject* object);

// Lists of concept and implication dicts.
Ref concept_dicts(const Context& context, const Lattice& lattice);

}  // namespace quorlan::py
