// Queries about the Python runtime that are safe on any thread, with or
// without the interpreter lock.
#pragma once

#include <Python.h>

namespace nuvrel::python {

// True while the interpreter shuts down (or after it has): nothing may then
// wait for the interpreter lock or touch Python objects.
inline bool isInterpreterFinalizing() noexcept {
#if PY_VERSION_HEX >= 0x030D0000
  return !Py_IsInitialized() || Py_IsFinalizing();
#else
  return !Py_IsInitialized() || _Py_IsFinalizing();
#endif
}

}  // namespace nuvrel::python
