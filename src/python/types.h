// The module and its two classes: instances hold C++ state only, placement-constructed behind
// the object header and destroyed in tp_dealloc; every method runs under the access discipline.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "core/concept.h"
#include "core/context.h"
#include "layout/svg.h"
#include "python/arguments.h"
#include "python/errors.h"

namespace quorlan::py {

// 0 = free, n > 0 = n shared users, -1 = one exclusive user.
using AccessCounter = std::atomic<std::intptr_t>;

enum class AccessMode { kShared, kExclusive };

// Shared access fails with RuntimeError "Already mutably borrowed", exclusive access with
// "Already borrowed"; either is given back when the guard ends.
class Access {
 public:
  Access(AccessCounter& counter, AccessMode mode);
  ~Access();
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;

 private:
  AccessCounter& counter_;
  AccessMode mode_;
};

// Module attributes are added through one operation, which appends the name to `__all__`
// (created with the module) and then sets the attribute.
class ModuleBuilder {
 public:
  explicit ModuleBuilder(PyModuleDef* definition);
  void add(const char* name, Ref value);
  Ref finish() { return std::move(module_); }

 private:
  Ref module_;
  Ref all_;
};

// Instances hold C++ state only: the allocator zeroes the object, the caller placement-news
// the fields, and dealloc destroys them before freeing through the type's own slot.
PyObject* allocate_instance(PyObject* type);
void free_instance(PyObject* self);

// tp_new of both classes: they have no Python-callable constructor.
PyObject* no_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// What a class is made from: its qualified name, docstring, repr, getters and methods (may be
// null).
struct ClassDescription {
  const char* name;
  const char* doc;
  reprfunc repr;
  PyGetSetDef* getset;
  PyMethodDef* methods;
};

struct ContextState {
  static const ClassDescription kClass;
  explicit ContextState(std::shared_ptr<const Context> c) : context(std::move(c)) {}
  AccessCounter access{0};
  std::shared_ptr<const Context> context;  // never changed; shared with the lattices made from it
};

struct LatticeState {
  static const ClassDescription kClass;
  LatticeState(Lattice l, std::shared_ptr<const Context> c)
      : lattice(std::move(l)), context(std::move(c)) {}
  AccessCounter access{0};
  Lattice lattice;
  // The record it was computed from, immutable and shared with the Context object: it outlives
  // that object as long as the lattice needs its names.
  std::shared_ptr<const Context> context;
  // What its drawings and the companion's order questions keep (covers, layers, the order's
  // index), filled by the first call that needs each, under the exclusive access.
  LatticeCache cache;
};

template <class State>
struct Instance {
  PyObject_HEAD State state;
};

template <class State>
State& state_of(PyObject* self) {
  return reinterpret_cast<Instance<State>*>(self)->state;
}

// A new instance of `type` owning a State made from the arguments.
template <class State, class... Args>
Ref new_instance(PyObject* type, Args&&... args) {
  Ref self = Ref::steal(allocate_instance(type));
  new (&state_of<State>(self.get())) State(std::forward<Args>(args)...);
  return self;
}

template <class State>
void dealloc_instance(PyObject* self) {
  std::destroy_at(&state_of<State>(self));
  free_instance(self);
}

// The entry of every method, getter and repr: the receiver accessed as `mode` for the call,
// then body(state) gives the result.
template <class State, class Body>
PyObject* with_receiver(PyObject* self, AccessMode mode, Body&& body) {
  return guarded([&] {
    State& state = state_of<State>(self);
    const Access access(state.access, mode);
    return body(state).release();
  });
}

// Plain results built from a value the call owns.
inline Ref str_result(const std::string& text) {
  return build_result([&] { return new_str(text); });
}
inline Ref int_result(std::size_t value) {
  return build_result([&] { return Ref::check(PyLong_FromSize_t(value)); });
}

// The class object of a State, created once, on first use: no Python-callable constructor, no
// subclassing, no instance dict. Null if the host refused (an exception is then set).
template <class State>
PyObject* class_object() {
  static PyObject* type = [] {
    const ClassDescription& c = State::kClass;
    // An optional slot left out is written as slot id 0, which ends the list where it stands;
    // so it must come last.
    PyType_Slot slots[] = {
        {Py_tp_doc, const_cast<char*>(c.doc)},
        {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
        {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<State>)},
        {Py_tp_repr, reinterpret_cast<void*>(c.repr)},
        {Py_tp_getset, c.getset},
        {c.methods != nullptr ? Py_tp_methods : 0, c.methods},
        {0, nullptr},
    };
    PyType_Spec type_definition = {c.name, static_cast<int>(sizeof(Instance<State>)), 0,
                                   Py_TPFLAGS_DEFAULT, slots};
    return PyType_FromSpec(&type_definition);
  }();
  return type;
}

// The Context behind a `ctx` argument, or the conversion TypeError.
ContextState& context_argument(PyObject* object);

}  // namespace quorlan::py
