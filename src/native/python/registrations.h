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

// Step 4: classes `SchemaLoader`, `InterfaceSchema`.
void addPythonBindingsForSchemaLoader(pybind11::module_& module);

// Step 5: classes `DynamicStruct`, `DynamicList`, `DynamicListBuffer`,
// `DynamicEnum`; function `unwrap`.
void addPythonBindingsForDynamicValue(pybind11::module_& module);

// Step 6: classes `Fulfiller` (with `RejectReason`) and `Callback`; installs
// the conversion of Callback objects placed in interface fields.
void addPythonBindingsForCallback(pybind11::module_& module);

// Step 7, first half: class `DestinationParams` with its static factories
// (the context class registered after it takes one in `connect_orvane`).
void addPythonBindingsForDestinationParams(pybind11::module_& module);

// Step 7, second half: class `_CapnpContext`.
void addPythonBindingsForContext(pybind11::module_& module);

// Step 8: class `DynamicClient`.
void addPythonBindingsForDynamicClient(pybind11::module_& module);

// Step 9: class `DynamicServer`.
void addPythonBindingsForDynamicServer(pybind11::module_& module);

// Step 10: submodule `serialize`.
void addPythonBindingsForSerialization(pybind11::module_& module);

// Step 11: submodule `compiler` with `compile` and `capnp_id`.
void addPythonBindingsForSchemaCompiler(pybind11::module_& module);

// Test-only bindings, registered into the hidden submodule `_testing` that the
// entry creates after all registrations.
void addTestingBindingsErrors(pybind11::module_& testing);
void addTestingBindingsBridge(pybind11::module_& testing);

void addTestingBindingsDestinations(pybind11::module_& testing);

void addTestingBindingsLogging(pybind11::module_& testing);

void addTestingBindingsRuntime(pybind11::module_& testing);
void addTestingBindingsValues(pybind11::module_& testing);

void addTestingBindingsRpc(pybind11::module_& testing);

}  // namespace nuvrel::python
