#include "python/functions.h"

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

// A new list of new str objects, one per member, sized up front.
template <class ForEachMember>
Ref name_list(const std::vector<std::string>& names, std::size_t count, ForEachMember&& members) {
  Ref list = result_object(PyList_New(static_cast<Py_ssize_t>(count)));
  Py_ssize_t k = 0;
  members([&](std::uint32_t i) {
    if (i >= names.size()) panic("set member " + std::to_string(i) + " has no name");
    if (k >= static_cast<Py_ssize_t>(count)) panic("set has more members than it counts");
    PyList_SetItem(list.get(), k++, new_str(names[i]).release());  // steals the str
  });
  if (k != static_cast<Py_ssize_t>(count)) panic("set has fewer members than it counts");
  return list;
}

void set_item(PyObject* dict, PyObject* key, Ref value) {
  if (PyDict_SetItem(dict, key, value.get()) != 0) result_object(nullptr);
}

void append(PyObject* list, Ref item) {
  if (PyList_Append(list, item.get()) != 0) result_object(nullptr);
}

const ConceptAlgorithm& select_algorithm(PyObject* algorithm_arg) {
  const std::string name =
      algorithm_arg ? text_argument("algorithm", algorithm_arg) : "next-closure";
  const ConceptAlgorithm* algorithm = algorithm_by_name(name);
  if (algorithm == nullptr) {
    std::string names;
    for (const char* n : ALGORITHM_NAMES) {
      names += names.empty() ? "[" : ", ";
      names += std::string("\"") + n + "\"";
    }
    names += "]";
    raise(PyExc_ValueError, "unknown algorithm `" + name + "`; try one of: " + names);
  }
  return *algorithm;
}

}  // namespace

Ref concept_dicts(const Context& context, const Lattice& lattice) {
  // The result holds only new containers of new strings: nothing for the cycle collector to
  // find, and on large lattices its passes would dominate the conversion.
  const CollectorPause pause;
  const Ref extent_key = new_str("extent"), intent_key = new_str("intent");
  Ref list = result_object(PyList_New(static_cast<Py_ssize_t>(lattice.size())));
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    Ref dict = result_object(PyDict_New());
    set_item(dict.get(), extent_key.get(),
             name_list(context.objects(), lattice.extents().count(i),
                       [&](auto&& f) { lattice.extents().for_each(i, f); }));
    set_item(dict.get(), intent_key.get(),
             name_list(context.attributes(), lattice.intents().count(i),
                       [&](auto&& f) { lattice.intents().for_each(i, f); }));
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), dict.release());
  }
  return list;
}

Ref implication_dicts(const Context& context, const std::vector<Implication>& implications) {
  const CollectorPause pause;
  const Ref premise_key = new_str("premise"), conclusion_key = new_str("conclusion"),
            support_key = new_str("support"), confidence_key = new_str("confidence");
  Ref list = result_object(PyList_New(static_cast<Py_ssize_t>(implications.size())));
  Py_ssize_t k = 0;
  for (const Implication& imp : implications) {
    Ref dict = result_object(PyDict_New());
    set_item(dict.get(), premise_key.get(),
             name_list(context.attributes(), imp.premise.count(),
                       [&](auto&& f) { imp.premise.for_each(f); }));
    set_item(dict.get(), conclusion_key.get(),
             name_list(context.attributes(), imp.conclusion.count(),
                       [&](auto&& f) { imp.conclusion.for_each(f); }));
    set_item(dict.get(), support_key.get(),
             result_object(PyLong_FromUnsignedLongLong(imp.support)));
    set_item(dict.get(), confidence_key.get(), result_object(PyFloat_FromDouble(imp.confidence)));
    PyList_SetItem(list.get(), k++, dict.release());
  }
  return list;
}

PyObject* parse_context(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    PyObject* a[2];
    bind_arguments("parse_context", {"bytes", "filename"}, 1, args, kwargs, a);
    if (!PyBytes_Check(a[0])) conversion_error("bytes", a[0], "PyBytes");
    const std::string filename = a[1] ? text_argument("filename", a[1]) : "upload.cxt";
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(a[0], &data, &size) != 0) throw_pending();
    const std::string content(data, static_cast<std::size_t>(size));
    ContextResult r = read_context(content, filename);
    if (!r.has_value()) raise(PyExc_ValueError, "parse error: " + r.error().display());
    return new_context_object(std::move(r).value()).release();
  });
}

PyObject* supported_algorithms(PyObject*, PyObject*) {
  return guarded([&] {
    Ref list = result_object(PyList_New(0));
    for (const char* n : ALGORITHM_NAMES) append(list.get(), new_str(n));
    return list.release();
  });
}

PyObject* compute_concepts(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    PyObject* a[2];
    bind_arguments("compute_concepts", {"ctx", "algorithm"}, 1, args, kwargs, a);
    ContextObject* ctx = context_argument(a[0]);
    SharedAccess access(ctx->access);
    const ConceptAlgorithm& algorithm = select_algorithm(a[1]);
    Lattice lattice = [&] {
      LockRelease unlocked;
      return algorithm.compute(ctx->context);
    }();
    return concept_dicts(ctx->context, lattice).release();
  });
}

PyObject* compute_lattice(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    PyObject* a[2];
    bind_arguments("compute_lattice", {"ctx", "algorithm"}, 1, args, kwargs, a);
    ContextObject* ctx = context_argument(a[0]);
    SharedAccess access(ctx->access);
    const ConceptAlgorithm& algorithm = select_algorithm(a[1]);
    Lattice lattice = [&] {
      LockRelease unlocked;
      return algorithm.compute(ctx->context);
    }();
    Context copy = ctx->context;
    return new_lattice_object(std::move(lattice), std::move(copy)).release();
  });
}

PyObject* compute_implications(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    PyObject* a[1];
    bind_arguments("compute_implications", {"ctx"}, 1, args, kwargs, a);
    ContextObject* ctx = context_argument(a[0]);
    SharedAccess access(ctx->access);
    CanonicalBase base = [&] {
      LockRelease unlocked;
      return canonical_base(ctx->context);
    }();
    return implication_dicts(ctx->context, base.implications).release();
  });
}

}  // namespace quorlan::py
