#include "python/functions.h"

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

Ref name_list(const std::vector<std::string>& names, const auto& set_members) {
  Ref list = result_object(PyList_New(0));
  set_members([&](std::uint32_t i) {
    if (i >= names.size()) panic("set member " + std::to_string(i) + " has no name");
    Ref s = new_str(names[i]);
    if (PyList_Append(list.get(), s.get()) != 0) result_object(nullptr);
  });
  return list;
}

void set_item(PyObject* dict, const char* key, Ref value) {
  if (PyDict_SetItemString(dict, key, value.get()) != 0) result_object(nullptr);
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
  Ref list = result_object(PyList_New(0));
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    Ref dict = result_object(PyDict_New());
    set_item(dict.get(), "extent",
             name_list(context.objects(), [&](auto&& f) { lattice.extents().for_each(i, f); }));
    set_item(dict.get(), "intent",
             name_list(context.attributes(), [&](auto&& f) { lattice.intents().for_each(i, f); }));
    append(list.get(), std::move(dict));
  }
  return list;
}

Ref implication_dicts(const Context& context, const std::vector<Implication>& implications) {
  Ref list = result_object(PyList_New(0));
  for (const Implication& imp : implications) {
    Ref dict = result_object(PyDict_New());
    set_item(dict.get(), "premise",
             name_list(context.attributes(), [&](auto&& f) { imp.premise.for_each(f); }));
    set_item(dict.get(), "conclusion",
             name_list(context.attributes(), [&](auto&& f) { imp.conclusion.for_each(f); }));
    set_item(dict.get(), "support", result_object(PyLong_FromUnsignedLongLong(imp.support)));
    set_item(dict.get(), "confidence", result_object(PyFloat_FromDouble(imp.confidence)));
    append(list.get(), std::move(dict));
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
