// The module's functions: parse_context(bytes, filename="upload.cxt"), compute_concepts and
// compute_lattice(ctx, algorithm="next-closure"), supported_algorithms() and
// compute_implications(ctx); each computation with the interpreter lock released.
#include "python/functions.h"

#include "engine/algorithm.h"
#include "engine/canonical_base.h"
#include "formats/read.h"
#include "python/convert.h"
#include "python/types.h"

namespace quorlan::py {
namespace {

const ConceptAlgorithm& select_algorithm(PyObject* algorithm_arg) {
  const std::string name =
      algorithm_arg ? text_argument("algorithm", algorithm_arg) : "next-closure";
  const ConceptAlgorithm* algorithm = algorithm_by_name(name);
  if (algorithm == nullptr) raise_unknown_algorithm(name);
  return *algorithm;
}

}  // namespace

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
    return new_instance<ContextState>(class_object<ContextState>(),
                                      std::make_shared<const Context>(std::move(r).value()))
        .release();
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
      return algorithm.compute(*ctx.context);
    }();
    return finish(ctx, std::move(lattice)).release();
  });
}

}  // namespace

PyObject* compute_concepts(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_enumeration(
      "compute_concepts", args, kwargs, [](const ContextState& ctx, const Lattice& lattice) {
        return build_result([&] { return concept_dicts(*ctx.context, lattice); });
      });
}

PyObject* compute_lattice(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_enumeration("compute_lattice", args, kwargs,
                          [](const ContextState& ctx, Lattice lattice) {
                            return new_instance<LatticeState>(class_object<LatticeState>(),
                                                              std::move(lattice), ctx.context);
                          });
}

PyObject* compute_implications(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    const auto [ctx_arg] = bind_arguments("compute_implications", {"ctx"}, 1, args, kwargs);
    ContextState& ctx = context_argument(ctx_arg);
    const Access access(ctx.access, AccessMode::kShared);
    const CanonicalBase base = [&] {
      LockRelease unlocked;
      return canonical_base(*ctx.context);
    }();
    return build_result([&] { return implication_dicts(*ctx.context, base.implications); })
        .release();
  });
}

}  // namespace quorlan::py
