// Python classes SchemaLoader and InterfaceSchema.

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "protocol/schema_loader.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

constexpr const char* kReflectionParagraph =
    "Client and server must both know the interface schema. All Kestrane servers\n"
    "(including the one spawned with this package) support the reflection\n"
    "interface, through which a client can fetch the schema from the server.\n"
    "Hard-coding the schema in the client is nevertheless recommended for\n"
    "backwards compatibility.";

std::string schemaLoaderDoc() {
  return std::string("Load capnp schemas from a byte string.\n\n") + kReflectionParagraph +
         "\n\n"
         "Args:\n"
         "    schema: The schema as a byte string (precompiled capnp schema).\n"
         "    version: The version of the schema. (default = \"\")\n";
}

std::string interfaceSchemaDoc() {
  return std::string(
             "Python representation of a capnp interface schema.\n\n"
             "Note that this class can only be instantiated through the SchemaLoader.\n\n") +
         kReflectionParagraph + "\n";
}

constexpr const char* kGetInterfaceSchemaDoc =
    "Get the schema for a specific interface.\n\n"
    "Args:\n"
    "    schema_id: The id of the interface.\n\n"
    "Returns:\n"
    "    The schema of the interface.\n\n"
    "Raises:\n"
    "    KeyError: If the schema_id is not part of the provided schema.\n";

}  // namespace

void addPythonBindingsForSchemaLoader(py::module_& module) {
  py::class_<SchemaLoaderWrapper, std::shared_ptr<SchemaLoaderWrapper>>(
      module, "SchemaLoader", schemaLoaderDoc().c_str())
      .def(py::init([](const std::string& schema, const std::string& version) {
             return std::make_shared<SchemaLoaderWrapper>(schema, version);
           }),
           py::arg("schema"), py::arg("version") = "")
      .def(
          "get_interface_schema",
          [](const SchemaLoaderWrapper& self, std::uint64_t id) {
            return std::make_shared<InterfaceSchemaWrapper>(self.getInterfaceSchema(id));
          },
          py::arg("schema_id"), kGetInterfaceSchemaDoc);

  py::class_<InterfaceSchemaWrapper, std::shared_ptr<InterfaceSchemaWrapper>>(
      module, "InterfaceSchema", interfaceSchemaDoc().c_str());
}

}  // namespace nuvrel::python
