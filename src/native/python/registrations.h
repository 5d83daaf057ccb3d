// The registration functions called by the module entry, one per group of
// bindings, in the order in which the entry calls them. Each takes the
// extension module and adds its classes, functions or submodule to it; a
// later registration may use types registered by an earlier one.
#pragma once

#include <pybind11/pybind11.h>

namespace nuvrel::python {

// Step 3: submodule `errors` with the exception classes and the translator.
void makeErrorModule(pybind11::module_& module);

// Step 4: classes SchemaLoader and InterfaceSchema.
void addPythonBindingsForSchemaLoader(pybind11::module_& module);

// Step 5: classes DynamicStruct, DynamicList, DynamicListBuffer, DynamicEnum
// and the function unwrap.
void addPythonBindingsForDynamicValue(pybind11::module_& module);

// Step 10: submodule `serialize`.
void addPythonBindingsForSerialization(pybind11::module_& module);

// Test-only bindings, added to the hidden submodule `_testing`.
void addTestingBindingsValues(pybind11::module_& testing);

}  // namespace nuvrel::python
