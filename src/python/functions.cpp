#include "python/functions.h"

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

// A new list of new str objects, one per member, sized up front.
template <class ForEachMember>
Ref name_list(const NameList& names, std::size_t count, ForEachMember&& members) {
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(count)));
  Py_ssize_t k = 0;
  NameBuffer buffer;
  members([&](std::uint32_t i) {
    if (i >= names.size()) panic("set member " + std::to_string(i) + " has no name");
    if (k >= static_cast<Py_ssize_t>(count)) panic("set has more members than it counts");
    PyList_SetItem(list.get(), k++, new_str(names.view(i, buffer)).release());  // steals the str
  });
  if (k != static_cast<Py_ssize_t>(count)) panic("set has fewer members than it counts");
  return list;
}

void set_item(PyObject* dict, PyObject* key, Ref value) {
  check_status(PyDict_SetItem(dict, key, value.get()));
}

const ConceptAlgorithm& select_algorithm(PyObject* algorithm_arg) {
  const std::string name =
      algorithm_arg ? text_argument("algorithm", algorithm_arg) : "next-closure";
  const ConceptAlgorithm* algorithm = algorithm_by_name(name);
  if (algorithm == nullptr) raise_unknown_algorithm(name);
  return *algorithm;
}

}  // namespace

Ref concept_dicts(const Context& context, const Lattice& lattice) {
  // The result holds only new containers of new strings: nothing for the cycle collector to
  // find, and on large lattices its passes would dominate the conversion.
  const CollectorPause pause;
  const Ref extent_key = new_str("extent"), intent_key = new_str("intent");
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(lattice.size())));
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    Ref dict = Ref::check(PyDict_New());
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
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(implications.size())));
  Py_ssize_t k = 0;
  for (const Implication& imp : implications) {
    Ref dict = Ref::check(PyDict_New());
    set_item(dict.get(), premise_key.get(),
             name_list(context.attributes(), imp.premise.count(),
                       [&](auto&& f) { imp.premise.for_each(f); }));
    set_item(dict.get(), conclusion_key.get(),
             name_list(context.attributes(), imp.conclusion.count(),
                       [&](auto&& f) { imp.conclusion.for_each(f); }));
    set_item(dict.get(), support_key.get(), Ref::check(PyLong_FromUnsignedLongLong(imp.support)));
    set_item(dict.get(), confidence_key.get(), Ref::check(PyFloat_FromDouble(imp.confidence)));
    PyList_SetItem(list.get(), k++, dict.release());
  }
  return list;
}

PyObject* parse_context(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    const auto [content, filename_arg] =
        bind_arguments("parse_context", {"bytes", "filename"}, 1, args, kwargs);
    if (!PyBytes_Check(content)) conversion_error("bytes", content, "PyBytes");
    const std::string filename =
        filename_arg ? text_argument("filename", filename_arg) : "upload.cxt";
    char* data = nullptr;
    Py_ssize_t size = 0;
    check_status(PyBytes_AsStringAndSize(content, &data, &size));
    // Read in place: bytes are immutable, the argument lives for the call, and the lock is
    // held throughout, so no other code can see or change the buffer meanwhile.
    ContextResult r =
        read_context(std::string_view(data, static_cast<std::size_t>(size)), filename);
    if (!r.has_value()) raise_format_error(r.error());
    return new_instance<ContextState>(class_object<ContextState>(), std::move(r).value()).release();
  });
}

PyObject* supported_algorithms(PyObject*, PyObject*) {
  return guarded([&] {
    return build_result([&] {
             Ref list = Ref::check(PyList_New(0));
             for (const char* n : ALGORITHM_NAMES) {
               check_status(PyList_Append(list.get(), new_str(n).get()));
             }
             return list;
           })
        .release();
  });
}

namespace {

// compute_concepts and compute_lattice: bind, select, enumerate without the lock, then
// finish(context state, lattice) makes the result.
template <class Finish>
PyObject* with_enumeration(const char* function, PyObject* args, PyObject* kwargs,
                           Finish&& finish) {
  return guarded([&] {
    const auto [ctx_arg, algorithm_arg] =
        bind_arguments(function, {"ctx", "algorithm"}, 1, args, kwargs);
    ContextState& ctx = context_argument(ctx_arg);
    const Access access(ctx.access, AccessMode::kShared);
    const ConceptAlgorithm& algorithm = select_algorithm(algorithm_arg);
    Lattice lattice = [&] {
      LockRelease unlocked;
      return algorithm.compute(ctx.context);
    }();
    return finish(ctx, std::move(lattice)).release();
  });
}

}  // namespace

PyObject* compute_concepts(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_enumeration(
      "compute_concepts", args, kwargs, [](const ContextState& ctx, const Lattice& lattice) {
        return build_result([&] { return concept_dicts(ctx.context, lattice); });
      });
}

PyObject* compute_lattice(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_enumeration(
      "compute_lattice", args, kwargs, [](const ContextState& ctx, Lattice lattice) {
        return new_instance<LatticeState>(class_object<LatticeState>(), std::move(lattice),
                                          Context(ctx.context));
      });
}

PyObject* compute_implications(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    const auto [ctx_arg] = bind_arguments("compute_implications", {"ctx"}, 1, args, kwargs);
    ContextState& ctx = context_argument(ctx_arg);
    const Access access(ctx.access, AccessMode::kShared);
    const CanonicalBase base = [&] {
      LockRelease unlocked;
      return canonical_base(ctx.context);
    }();
    return build_result([&] { return implication_dicts(ctx.context, base.implications); })
        .release();
  });
}

}  // namespace quorlan::py
