// Entry point of the extension module `_comms`.
//
// The entry refuses to load into an interpreter other than the one the module
// was compiled for, sets the metadata attributes and then calls the
// registrations in a fixed order. A registration that fails turns the import
// into an ImportError and the half-built module is released.

#include <pybind11/pybind11.h>

#include <exception>

#include "python/registrations.h"
#include "version/build_info.h"

#ifndef NUVREL_BUILT_PYTHON_VERSION
#error "NUVREL_BUILT_PYTHON_VERSION must name the Python version the module is built for"
#endif

namespace py = pybind11;

namespace {

void registerAll(py::module_& m) {
  m.attr("__doc__") = "Kestrane communication protocol bindings";
  m.attr("__version__") = std::string(nuvrel::version::kModuleVersion);
  m.attr("__commit_hash__") = nuvrel::version::commitHash();

  // Steps 1-2: LogSeverity (members exported into the module), init_logs.
  nuvrel::python::registerLogSeverity(m);
  nuvrel::python::registerInitLogs(m);

  // Step 3: submodule errors.
  nuvrel::python::makeErrorModule(m);

  // Step 4: SchemaLoader, InterfaceSchema.
  nuvrel::python::addPythonBindingsForSchemaLoader(m);

  // Step 5: DynamicStruct, DynamicList, DynamicListBuffer, DynamicEnum, unwrap.
  nuvrel::python::addPythonBindingsForDynamicValue(m);

  // Step 6: Fulfiller, Callback.
  nuvrel::python::addPythonBindingsForCallback(m);

  // Step 7: DestinationParams, then _CapnpContext.
  nuvrel::python::addPythonBindingsForDestinationParams(m);
  nuvrel::python::addPythonBindingsForContext(m);

  // Step 8: DynamicClient.
  nuvrel::python::addPythonBindingsForDynamicClient(m);

  // Step 9: DynamicServer.
  nuvrel::python::addPythonBindingsForDynamicServer(m);

  // Step 10: submodule serialize.
  nuvrel::python::addPythonBindingsForSerialization(m);

  // Step 11: submodule compiler.
  nuvrel::python::addPythonBindingsForSchemaCompiler(m);

  // Hooks for the test suite only; not part of the public API.
  auto testing = m.def_submodule("_testing", "Test-only helpers.");
  nuvrel::python::addTestingBindingsErrors(testing);

  nuvrel::python::addTestingBindingsDestinations(testing);

  nuvrel::python::addTestingBindingsLogging(testing);

  nuvrel::python::addTestingBindingsBridge(testing);

  nuvrel::python::addTestingBindingsRuntime(testing);

  nuvrel::python::addTestingBindingsValues(testing);

  nuvrel::python::addTestingBindingsRpc(testing);
}

}  // namespace

extern "C" PYBIND11_EXPORT PyObject* PyInit__comms() {
  const char* interpreter = Py_GetVersion();
  if (!nuvrel::version::interpreterMatches(NUVREL_BUILT_PYTHON_VERSION, interpreter)) {
    PyErr_Format(PyExc_ImportError,
                 "Python version mismatch: module was compiled for Python %s, but the "
                 "interpreter version is incompatible: %s.",
                 NUVREL_BUILT_PYTHON_VERSION, interpreter);
    return nullptr;
  }

  py::detail::get_internals();
  static PyModuleDef definition{};
  try {
    auto m = py::module_::create_extension_module("_comms", nullptr, &definition);
    registerAll(m);
    return m.release().ptr();
  } catch (py::error_already_set& error) {
    // The cause must be current before the ImportError chained to it is
    // raised; the half-built module was already released by `m`.
    error.restore();
    py::raise_from(PyExc_ImportError, "initialization failed");
    return nullptr;
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_ImportError, error.what());
    return nullptr;
  }
}
