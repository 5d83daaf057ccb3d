// Submodule `serialize`: a struct as a dictionary, JSON text or packed
// message, without any connection. Every function looks the struct up first
// and builds its own message, so a failure leaves nothing behind.

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "protocol/easy_message.h"
#include "protocol/schema_loader.h"
#include "python/dynamic_input.h"
#include "python/dynamic_value_wrapper.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

using Message = EasyMessage<capnp::DynamicStruct>;

#define NUVREL_SERIALIZE_ARGS(input)                            \
  "Args:\n"                                                     \
  "    input: " input "\n"                                      \
  "    schema: The schema loader.\n"                            \
  "    struct_id: The id of the struct to convert.\n"

constexpr const char* kDictToJsonDoc =
    "Convert a python dictionary to a JSON string.\n\n"
    "Since the capnp JSON codec is used, the result may differ from Python's\n"
    "native JSON conversion, but it can be used directly by other Cap'n Proto\n"
    "logic. The dictionary must match the schema defined in the SchemaLoader.\n\n" NUVREL_SERIALIZE_ARGS(
        "The python dictionary.");
constexpr const char* kPackedToJsonDoc =
    "Convert a packed Cap'n Proto message to a JSON string.\n\n" NUVREL_SERIALIZE_ARGS(
        "The packed Cap'n Proto message.");
constexpr const char* kFromJsonDoc =
    "Convert a json string to a dynamic struct\n\n" NUVREL_SERIALIZE_ARGS("The json string.");
constexpr const char* kDictToPackedDoc =
    "Convert a python dictionary to a packed Cap'n Proto message.\n\n" NUVREL_SERIALIZE_ARGS(
        "The python dictionary.");
constexpr const char* kJsonToPackedDoc =
    "Convert a json string to a packed Cap'n Proto message.\n\n" NUVREL_SERIALIZE_ARGS(
        "The json string.");
constexpr const char* kFromPackedDoc =
    "Convert a packed Cap'n Proto message to a dynamic struct.\n\n" NUVREL_SERIALIZE_ARGS(
        "The packed Cap'n Proto message.");
constexpr const char* kFromDictDoc =
    "Convert a python dictionary to a dynamic struct.\n\n" NUVREL_SERIALIZE_ARGS(
        "The python dictionary.");

#undef NUVREL_SERIALIZE_ARGS

std::shared_ptr<Message> fromDict(const py::dict& input, capnp::StructSchema schema,
                                  const SchemaLoaderWrapper& loader) {
  capnp::MallocMessageBuilder scratch(Message::kFirstSegmentWords);
  auto root = scratch.initRoot<capnp::DynamicStruct>(schema);
  CapnpTrait<py::dict, capnp::DynamicStruct>::toCapnp(input, root);
  return Message::fromReader(root.asReader(), loader.getImpl());
}

py::bytes packed(const std::shared_ptr<Message>& message) {
  return py::bytes(message->toPackedCapnp());
}

std::string bytesContent(const py::bytes& input) {
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(input.ptr(), &data, &size) != 0) {
    throw py::error_already_set();
  }
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

void addPythonBindingsForSerialization(py::module_& module) {
  auto serialize = module.def_submodule(
      "serialize",
      "Serialization module.\n\n"
      "This module provides functions to serialize and deserialize data structures to\n"
      "and from JSON and Cap'n Proto.");

  serialize.def(
      "to_json",
      [](const py::dict& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return fromDict(input, schema, loader)->toJson(false);
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kDictToJsonDoc);
  serialize.def(
      "to_json",
      [](const py::bytes& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return Message::fromPackedCapnp(bytesContent(input), schema, loader.getImpl())
            ->toJson(false);
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kPackedToJsonDoc);
  serialize.def(
      "from_json",
      [](const std::string& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return DynamicStructWrapper::createRoot(Message::fromJson(input, schema, loader.getImpl()),
                                                RegistryRef());
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kFromJsonDoc);
  serialize.def(
      "to_packed_capnp",
      [](const py::dict& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return packed(fromDict(input, schema, loader));
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kDictToPackedDoc);
  serialize.def(
      "to_packed_capnp",
      [](const std::string& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return packed(Message::fromJson(input, schema, loader.getImpl()));
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kJsonToPackedDoc);
  serialize.def(
      "from_packed_capnp",
      [](const std::string& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return DynamicStructWrapper::createRoot(
            Message::fromPackedCapnp(input, schema, loader.getImpl()), RegistryRef());
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kFromPackedDoc);
  serialize.def(
      "from_dict",
      [](const py::dict& input, const SchemaLoaderWrapper& loader, std::uint64_t structId) {
        auto schema = loader.getStructSchema(structId);
        return DynamicStructWrapper::createRoot(fromDict(input, schema, loader), RegistryRef());
      },
      py::arg("input_value"), py::arg("schema"), py::arg("struct_id"), kFromDictDoc);
}

}  // namespace nuvrel::python
