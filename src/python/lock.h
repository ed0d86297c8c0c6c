// The interpreter lock and interrupts: long computations run with the lock released and stop
// on a pending signal (Ctrl-C, Jupyter's interrupt). PyErr_CheckSignals runs the handlers, and a
// handler's exception (KeyboardInterrupt) ends the call. Handlers run on the main thread only, so
// only there is anything polled.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/interrupt.h"

namespace quorlan::py {

void remember_main_thread();
bool on_main_thread();

// With the lock held, as every entry point runs: the handlers are run directly.
class HeldLockInterrupts final : public InterruptSource {
 public:
  HeldLockInterrupts() : scope_(this) {}
  bool requested() override { return PyErr_CheckSignals() != 0; }

 private:
  InterruptScope scope_;
};

// Releases the interpreter lock for the lifetime of the guard. On the main thread the
// computation meanwhile takes the lock back for a moment every few tens of milliseconds to run
// pending signal handlers; elsewhere it is not polled at all.
class LockRelease final : public InterruptSource {
 public:
  LockRelease() : state_(PyEval_SaveThread()), scope_(on_main_thread() ? this : nullptr) {}
  ~LockRelease() { PyEval_RestoreThread(state_); }
  LockRelease(const LockRelease&) = delete;
  LockRelease& operator=(const LockRelease&) = delete;

  bool requested() override {
    PyEval_RestoreThread(state_);
    const bool stop = PyErr_CheckSignals() != 0;  // the exception stays pending
    state_ = PyEval_SaveThread();
    return stop;
  }

 private:
  PyThreadState* state_;
  InterruptScope scope_;
};

}  // namespace quorlan::py
