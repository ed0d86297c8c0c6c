// The lattice's structure for quorlan_tools: the cover relation and each concept's covers,
// filters and ideals, joins and meets, look-ups by generating sets, the drawing's positions and
// the Hasse diagram of a part, each over a quorlan.Lattice. A call that fills one of the
// lattice's caches (the covers, the layered order, the order's look-up) has exclusive access to
// it, as quorlan's renderings do; the others share it.
#include "tools/structure.h"

#include "layout/svg.h"
#include "python/convert.h"

namespace quorlan::tools {
namespace {

template <class Body>
PyObject* with_lattice(const char* function, PyObject* args, py::AccessMode mode, Body&& body) {
  return py::guarded([&] {
    const auto [lat_arg, a, b] = py::bind_arguments(function, {"lat", "a", "b"}, 1, args, nullptr);
    py::LatticeState& s = lattice_argument("lat", lat_arg);
    const py::Access access(s.access, mode);
    return body(s, a, b).release();
  });
}

std::uint32_t concept_index(const char* name, PyObject* o, const py::LatticeState& s) {
  if (o == nullptr) py::raise(PyExc_TypeError, std::string(name) + " is required");
  return index_argument(name, o, s.lattice.size());
}

}  // namespace

PyObject* covers(PyObject*, PyObject* args) {
  return with_lattice("covers", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject*, PyObject*) {
                        return array_bytes(s.cache.order.covers(s.lattice));
                      });
}

PyObject* upper_covers(PyObject*, PyObject* args) {
  return with_lattice("upper_covers", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject* i, PyObject*) {
                        const std::uint32_t c = concept_index("i", i, s);
                        if (s.cache.order.has_covers()) {
                          return int_list(upper_covers_in(s.cache.order.covers(s.lattice), c));
                        }
                        return int_list(order_of(s).upper_neighbours(c));
                      });
}

PyObject* lower_covers(PyObject*, PyObject* args) {
  return with_lattice("lower_covers", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject* i, PyObject*) {
                        const std::uint32_t c = concept_index("i", i, s);
                        if (!s.cache.order.has_covers()) {
                          return int_list(order_of(s).lower_neighbours(c));
                        }
                        return int_list(s.cache.order.by_upper(s.lattice).lower_covers(c));
                      });
}

PyObject* up_set(PyObject*, PyObject* args) {
  return with_lattice("up_set", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject* i, PyObject*) {
                        return array_bytes(order_of(s).up_set(concept_index("i", i, s)));
                      });
}

PyObject* down_set(PyObject*, PyObject* args) {
  return with_lattice("down_set", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject* i, PyObject*) {
                        return array_bytes(order_of(s).down_set(concept_index("i", i, s)));
                      });
}

PyObject* join(PyObject*, PyObject* args) {
  return with_lattice(
      "join", args, py::AccessMode::kExclusive, [](py::LatticeState& s, PyObject* i, PyObject* j) {
        return optional_int(order_of(s).join(concept_index("i", i, s), concept_index("j", j, s)));
      });
}

PyObject* meet(PyObject*, PyObject* args) {
  return with_lattice(
      "meet", args, py::AccessMode::kExclusive, [](py::LatticeState& s, PyObject* i, PyObject* j) {
        return optional_int(order_of(s).meet(concept_index("i", i, s), concept_index("j", j, s)));
      });
}

PyObject* top(PyObject*, PyObject* args) {
  return with_lattice(
      "top", args, py::AccessMode::kExclusive,
      [](py::LatticeState& s, PyObject*, PyObject*) { return optional_int(order_of(s).top()); });
}

PyObject* bottom(PyObject*, PyObject* args) {
  return with_lattice(
      "bottom", args, py::AccessMode::kExclusive,
      [](py::LatticeState& s, PyObject*, PyObject*) { return optional_int(order_of(s).bottom()); });
}

// generated_by(lat, attributes, objects): one of the two lists of indices, the other None.
PyObject* generated_by(PyObject*, PyObject* args) {
  return with_lattice("generated_by", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject* attributes, PyObject* objects) {
                        const LatticeOrder& order = order_of(s);
                        if (attributes != nullptr && attributes != Py_None) {
                          return optional_int(order.generated_by_attributes(index_list_argument(
                              "intent", attributes, s.context->n_attributes())));
                        }
                        if (objects == nullptr)
                          py::raise(PyExc_TypeError, "intent or extent is required");
                        return optional_int(order.generated_by_objects(
                            index_list_argument("extent", objects, s.context->n_objects())));
                      });
}

PyObject* extent_sizes(PyObject*, PyObject* args) {
  return with_lattice("extent_sizes", args, py::AccessMode::kShared,
                      [](py::LatticeState& s, PyObject*, PyObject*) {
                        IndexList sizes(s.lattice.size());
                        for (std::size_t i = 0; i < sizes.size(); ++i) {
                          sizes[i] = static_cast<std::uint32_t>(s.lattice.extents().count(i));
                        }
                        return array_bytes(sizes);
                      });
}

// concepts_at(lat, indices): the dicts of those concepts, as Lattice.concepts() gives them.
PyObject* concepts_at(PyObject*, PyObject* args) {
  return with_lattice(
      "concepts_at", args, py::AccessMode::kShared,
      [](py::LatticeState& s, PyObject* indices, PyObject*) {
        if (indices == nullptr) py::raise(PyExc_TypeError, "indices are required");
        Lattice part(s.lattice.n_objects(), s.lattice.n_attributes());
        IndexList extent, intent;
        for (std::uint32_t i : index_list_argument("indices", indices, s.lattice.size())) {
          extent.clear();
          intent.clear();
          s.lattice.extents().to_list(i, extent);
          s.lattice.intents().to_list(i, intent);
          part.push_lists(extent.data(), extent.size(), intent.data(), intent.size());
        }
        return py::build_result([&] { return py::concept_dicts(*s.context, part); });
      });
}

// shown_covers(lat, indices): the Hasse diagram of those concepts, (lower, upper) pairs.
PyObject* shown_covers(PyObject*, PyObject* args) {
  return with_lattice("shown_covers", args, py::AccessMode::kShared,
                      [](py::LatticeState& s, PyObject* indices, PyObject*) {
                        if (indices == nullptr) py::raise(PyExc_TypeError, "indices are required");
                        IndexList shown = index_list_argument("indices", indices, s.lattice.size());
                        std::sort(shown.begin(), shown.end());
                        shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
                        return array_bytes(quorlan::shown_covers(s.lattice, shown));
                      });
}

namespace {

// The (lower, upper) pairs of a flat list of indices, each a shown concept.
std::vector<CoverPair> pairs_among(PyObject* flat, const IndexList& shown, std::size_t count) {
  const IndexList items = index_list_argument("pairs", flat, count);
  if (items.size() % 2 != 0) py::raise(PyExc_ValueError, "pairs must have an even length");
  std::vector<bool> is_shown(count, false);
  for (std::uint32_t c : shown) is_shown[c] = true;
  std::vector<CoverPair> out;
  for (std::size_t k = 0; k < items.size(); k += 2) {
    if (!is_shown[items[k]] || !is_shown[items[k + 1]]) {
      py::raise(PyExc_ValueError, "pairs must join concepts among the indices");
    }
    out.emplace_back(items[k], items[k + 1]);
  }
  return out;
}

Ref lists_of(const std::vector<IndexList>& lists) {
  Ref out = Ref::check(PyList_New(static_cast<Py_ssize_t>(lists.size())));
  for (std::size_t k = 0; k < lists.size(); ++k) {
    PyList_SetItem(out.get(), static_cast<Py_ssize_t>(k), int_list(lists[k]).release());
  }
  return out;
}

}  // namespace

// reduced_labels(lat, indices, pairs): for each concept of indices, ordered by the flat
// (lower, upper) pairs, the objects and the attributes it introduces, as two lists of lists.
PyObject* reduced_labels(PyObject*, PyObject* args) {
  return with_lattice("reduced_labels", args, py::AccessMode::kShared,
                      [](py::LatticeState& s, PyObject* indices, PyObject* flat) {
                        if (indices == nullptr || flat == nullptr) {
                          py::raise(PyExc_TypeError, "indices and pairs are required");
                        }
                        const std::size_t n = s.lattice.size();
                        const IndexList shown = index_list_argument("indices", indices, n);
                        const ReducedLabels labels =
                            quorlan::reduced_labels(s.lattice, shown, pairs_among(flat, shown, n));
                        Ref out = Ref::check(PyTuple_New(2));
                        PyTuple_SetItem(out.get(), 0, lists_of(labels.objects).release());
                        PyTuple_SetItem(out.get(), 1, lists_of(labels.attributes).release());
                        return out;
                      });
}

// layout(lat): (layer of each concept, place in its layer, x, y), as quorlan's drawing has them.
PyObject* layout(PyObject*, PyObject* args) {
  return with_lattice("layout", args, py::AccessMode::kExclusive,
                      [](py::LatticeState& s, PyObject*, PyObject*) {
                        const DrawnPositions at = standard_positions(s.lattice, s.cache);
                        const Layering& layers = s.cache.layering(s.lattice);
                        Ref out = Ref::check(PyTuple_New(4));
                        PyTuple_SetItem(out.get(), 0, array_bytes(layers.layer_of).release());
                        PyTuple_SetItem(out.get(), 1, array_bytes(layers.position).release());
                        PyTuple_SetItem(out.get(), 2, array_bytes(at.x).release());
                        PyTuple_SetItem(out.get(), 3, array_bytes(at.y).release());
                        return out;
                      });
}

// names(ctx_or_lat): (object names, attribute names).
PyObject* names(PyObject*, PyObject* args) {
  return py::guarded([&] {
    const auto [arg] = py::bind_arguments("names", {"ctx"}, 1, args, nullptr);
    const Context& c = context_of_either("ctx", arg);
    Ref out = Ref::check(PyTuple_New(2));
    Py_ssize_t slot = 0;
    for (const NameList* list : {&c.objects(), &c.attributes()}) {
      Ref items = Ref::check(PyList_New(static_cast<Py_ssize_t>(list->size())));
      NameBuffer buffer;
      for (std::size_t k = 0; k < list->size(); ++k) {
        PyList_SetItem(items.get(), static_cast<Py_ssize_t>(k),
                       py::new_str(list->view(k, buffer)).release());
      }
      PyTuple_SetItem(out.get(), slot++, items.release());
    }
    return out.release();
  });
}

}  // namespace quorlan::tools
