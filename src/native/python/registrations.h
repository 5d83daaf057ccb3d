// The registration functions called by the module entry, one per group of
// bindings, in the order in which the entry calls them. Each takes the
// extension module and adds its classes, functions or submodule to it; a
// later registration may use types registered by an earlier one.
#pragma once

#include <pybind11/pybind11.h>

namespace nuvrel::python {

// Step 1: enumeration `LogSeverity`, its members exported into the module.
void registerLogSeverity(pybind11::module_& module);

// Step 2: function `init_logs`.
void registerInitLogs(pybind11::module_& module);

// Step 3: submodule `errors` with the exception classes and the translator.
void makeErrorModule(pybind11::module_& module);

// Hidden submodule `_testing`, created last: drives native code from tests.
void addTestingBindingsLogging(pybind11::module_& testing);

}  // namespace nuvrel::python
