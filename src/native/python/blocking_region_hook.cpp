// Makes every wait of the core library for a worker release the interpreter
// lock: the worker may need the lock to deliver its last results, and a
// Python thread waiting for it with the lock held would deadlock.
//
// Installed by static initialisation of the module, before the entry runs;
// it only acts later, when a wait happens.
#include <pybind11/pybind11.h>

#include <optional>

#include "runtime/blocking_region.h"

namespace nuvrel::python {
namespace {

void releaseInterpreterLockIfHeld(utils::ts::MoveOnlyFunction<void()>& region) {
  std::optional<pybind11::gil_scoped_release> release;
  if (Py_IsInitialized() != 0 && PyGILState_Check() != 0) {
    release.emplace();
  }
  region();
}

const bool installed = [] {
  setBlockingRegionHook(&releaseInterpreterLockIfHeld);
  return true;
}();

}  // namespace
}  // namespace nuvrel::python
