// The lock release around computations and the interrupt polling on Python's main thread
// (threading.main_thread()).
#include "python/lock.h"

#include "python/ref.h"

namespace quorlan::py {

namespace {
// Known once the module is initialised; until then every thread counts as the main one.
bool g_main_known = false;
unsigned long g_main_thread = 0;
}  // namespace

void remember_main_thread() {
  Ref threading = Ref::check(PyImport_ImportModule("threading"));
  Ref main = Ref::check(PyObject_CallMethod(threading.get(), "main_thread", nullptr));
  Ref ident = Ref::check(PyObject_GetAttrString(main.get(), "ident"));
  g_main_thread = PyLong_AsUnsignedLong(ident.get());
  if (PyErr_Occurred() != nullptr) throw_pending();
  g_main_known = true;
}

bool on_main_thread() { return !g_main_known || PyThread_get_thread_ident() == g_main_thread; }

}  // namespace quorlan::py
