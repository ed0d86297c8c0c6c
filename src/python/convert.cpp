// The lists of dicts that compute_concepts, Lattice.concepts() and compute_implications return.
#include "python/convert.h"

#include "core/interrupt.h"

namespace quorlan::py {
namespace {

// The str objects of one name list for one result: each made the first time its name occurs,
// then one more reference per occurrence. The table's own references go when it does.
class NameStrings {
 public:
  explicit NameStrings(const NameList& names) : names_(names), strs_(names.size(), nullptr) {}
  ~NameStrings() {
    for (PyObject* s : strs_) Py_XDECREF(s);
  }
  NameStrings(const NameStrings&) = delete;
  NameStrings& operator=(const NameStrings&) = delete;

  std::size_t size() const { return strs_.size(); }
  // A new reference to the str of name i (i below size()).
  PyObject* get(std::uint32_t i) {
    PyObject*& s = strs_[i];
    if (s == nullptr) s = new_str(names_.view(i, buffer_)).release();
    Py_INCREF(s);
    return s;
  }

 private:
  const NameList& names_;
  std::vector<PyObject*> strs_;
  NameBuffer buffer_;
};

// A list of `count` names, one per member that for_each_member hands over; members lie below
// the table's size, which the callers check once per result.
template <class ForEachMember>
Ref name_list(std::size_t count, NameStrings& names, ForEachMember&& for_each_member) {
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(count)));
  Py_ssize_t k = 0;
  for_each_member([&](std::uint32_t i) {
    // The list checks the position itself; a set with more members than its count fails here.
    check_status(PyList_SetItem(list.get(), k++, names.get(i)));
  });
  if (k != static_cast<Py_ssize_t>(count)) panic("set has fewer members than it counts");
  return list;
}

void set_item(PyObject* dict, PyObject* key, Ref value) {
  check_status(PyDict_SetItem(dict, key, value.get()));
}

void require_names(std::size_t capacity, const NameStrings& names) {
  if (capacity != names.size()) panic("sets and names of different contexts");
}

}  // namespace

Ref concept_dicts(const Context& context, const Lattice& lattice) {
  // The result holds only new containers: nothing for the cycle collector to find, and on large
  // lattices its passes would dominate the conversion.
  const CollectorPause pause;
  NameStrings objects(context.objects()), attributes(context.attributes());
  const PackedSets& extents = lattice.extents();
  const PackedSets& intents = lattice.intents();
  require_names(extents.capacity(), objects);
  require_names(intents.capacity(), attributes);
  const Ref extent_key = new_str("extent"), intent_key = new_str("intent");
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(lattice.size())));
  InterruptTicker tick;
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    tick();
    Ref dict = Ref::check(PyDict_New());
    set_item(dict.get(), extent_key.get(),
             name_list(extents.count(i), objects, [&](auto&& f) { extents.for_each(i, f); }));
    set_item(dict.get(), intent_key.get(),
             name_list(intents.count(i), attributes, [&](auto&& f) { intents.for_each(i, f); }));
    check_status(PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), dict.release()));
  }
  return list;
}

Ref implication_dicts(const Context& context, const std::vector<Implication>& implications) {
  const CollectorPause pause;
  NameStrings attributes(context.attributes());
  const Ref premise_key = new_str("premise"), conclusion_key = new_str("conclusion"),
            support_key = new_str("support"), confidence_key = new_str("confidence");
  Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(implications.size())));
  Py_ssize_t k = 0;
  InterruptTicker tick;
  for (const Implication& imp : implications) {
    tick();
    require_names(imp.premise.capacity(), attributes);
    require_names(imp.conclusion.capacity(), attributes);
    Ref dict = Ref::check(PyDict_New());
    set_item(
        dict.get(), premise_key.get(),
        name_list(imp.premise.count(), attributes, [&](auto&& f) { imp.premise.for_each(f); }));
    set_item(dict.get(), conclusion_key.get(),
             name_list(imp.conclusion.count(), attributes,
                       [&](auto&& f) { imp.conclusion.for_each(f); }));
    set_item(dict.get(), support_key.get(), Ref::check(PyLong_FromUnsignedLongLong(imp.support)));
    set_item(dict.get(), confidence_key.get(), Ref::check(PyFloat_FromDouble(imp.confidence)));
    check_status(PyList_SetItem(list.get(), k++, dict.release()));
  }
  return list;
}

}  // namespace quorlan::py
