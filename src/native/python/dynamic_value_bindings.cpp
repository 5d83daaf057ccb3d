// Python classes DynamicStruct, DynamicList, DynamicListBuffer, DynamicEnum
// and the function unwrap.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "protocol/easy_message.h"
#include "protocol/schema_loader.h"
#include "python/buffer_view_parsing.h"
#include "python/dynamic_value_wrapper.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

constexpr const char* kDynamicStructDoc =
    "Holds a capnp struct value.\n\n"
    "The fields of the struct can be accessed as attributes or as items\n"
    "(struct.field or struct[\"field\"]). Iterating the struct yields\n"
    "(name, value) pairs of its fields, like the items of a dictionary.\n\n"
    "Its main purpose is to hold the result of an RPC call, but it is mutable\n"
    "and can also be instantiated in Python.\n\n"
    "Args:\n"
    "    schema_loader: The schema loader that holds the schema of the struct.\n"
    "    struct_id: The id of the struct.\n"
    "    kwargs: Optional initial values of the fields.\n";

constexpr const char* kToJsonDoc =
    "Convert the struct to a json string.\n\n"
    "Note that the capnp JSON codec is used for the conversion. The result may\n"
    "therefore differ from Python's native JSON conversion.\n";

constexpr const char* kToPackedCapnpDoc = "Convert the struct to a packed capnp byte string.\n";

constexpr const char* kUnionElementNameDoc =
    "Get the name of the union element.\n\n"
    "Raises:\n"
    "    AttributeError: If the struct does not contain a union.\n";

constexpr const char* kUnionElementDoc =
    "Get the union element.\n\n"
    "Raises:\n"
    "    AttributeError: If the struct does not contain a union.\n";

constexpr const char* kInitStructDoc =
    "Initialize a struct field.\n\n"
    "Struct and list fields are not initialized by default and must be\n"
    "initialized before they can be used. Once initialized, the field can also\n"
    "be reached through the parent struct.\n\n"
    "Args:\n"
    "    name: The name of the field.\n"
    "    kwargs: Optional initial values of the fields of the new struct.\n";

constexpr const char* kInitListDoc =
    "Initialize a list field.\n\n"
    "Struct and list fields are not initialized by default and must be\n"
    "initialized before they can be used. Once initialized, the field can also\n"
    "be reached through the parent struct.\n\n"
    "Args:\n"
    "    name: The name of the field.\n"
    "    size: The number of elements of the list.\n";

constexpr const char* kDynamicListDoc =
    "Holds a capnp list value.\n\n"
    "This object can not be created within Python but is returned by the\n"
    "package. It can be used as any other list object\n";

constexpr const char* kDynamicListBufferDoc =
    "Holds a capnp list value.\n\n"
    "This object can not be created within Python but is returned by the\n"
    "package. It can be used as any other list object\n\n"
    "Unlike the plain list it supports the buffer protocol (PEP 3118), so that\n"
    "the data can be viewed as a buffer and converted to a numpy array without\n"
    "copying, e.g. np.array(dynamic_list, copy=False).\n";

constexpr const char* kDynamicEnumDoc =
    "Holds a capnp enum value.\n\n"
    "This object can not be created within Python but is returned by the\n"
    "package.\n\n"
    "It converts to a string (the name of the enumerant) or to its raw integer\n"
    "value, and compares equal to strings and integers.\n";

constexpr const char* kUnwrapDoc =
    "Unwrap a KS result struct.\n\n"
    "The Result struct is something specific to KS and not a capnp feature.\n"
    "The inner content of the result is returned; if the result contains an\n"
    "error, the error is raised.\n\n"
    "If the input is not a result struct, the input will be returned untouched.\n\n"
    "Args:\n"
    "    input_value: The value to unwrap.\n";

std::string apostrophes(std::string text) {
  std::replace(text.begin(), text.end(), '"', '\'');
  return text;
}

py::list structItems(py::object self) {
  auto& wrapper = self.cast<DynamicStructWrapper&>();
  py::list items;
  auto builder = wrapper.getBuilder();
  for (auto field : builder.getSchema().getNonUnionFields()) {
    std::string name = field.getProto().getName().cStr();
    items.append(py::make_tuple(name, wrapper.get(name, self)));
  }
  KJ_IF_MAYBE(member, builder.which()) {
    std::string name = member->getProto().getName().cStr();
    items.append(py::make_tuple(name, wrapper.get(name, self)));
  }
  return items;
}

template <typename Wrapper, typename Class>
void addListMembers(Class& cls) {
  cls.def("__getitem__", [](Wrapper& self, std::uint32_t index) { return self.getItem(index); },
          py::arg("index"))
      .def("__len__", &Wrapper::size)
      .def("__iter__", [](Wrapper& self) { return self.iter(); })
      .def("__str__", [](const Wrapper& self) { return self.toString(); });
}

}  // namespace

void addPythonBindingsForDynamicValue(py::module_& module) {
  py::class_<DynamicStructWrapper>(module, "DynamicStruct", kDynamicStructDoc)
      .def(py::init([](const SchemaLoaderWrapper& loader, std::uint64_t structId,
                       const py::kwargs& kwargs) {
             auto schema = loader.getStructSchema(structId);
             auto message = std::make_shared<EasyMessage<capnp::DynamicStruct>>(schema, loader.getImpl());
             DynamicStructWrapper wrapper(std::move(message), RegistryRef());
             for (auto item : kwargs) {
               wrapper.set(py::cast<std::string>(item.first), item.second);
             }
             return wrapper;
           }),
           py::arg("schema_loader"), py::arg("struct_id"))
      .def("__getattr__",
           [](py::object self, const std::string& name) {
             return self.cast<DynamicStructWrapper&>().get(name, self);
           })
      .def("__getitem__",
           [](py::object self, const std::string& name) {
             return self.cast<DynamicStructWrapper&>().get(name, self);
           })
      .def("__setattr__", [](DynamicStructWrapper& self, const std::string& name,
                             py::object value) { self.set(name, value); })
      .def("__setitem__", [](DynamicStructWrapper& self, const std::string& name,
                             py::object value) { self.set(name, value); })
      .def("__contains__", &DynamicStructWrapper::contains)
      .def("__len__", &DynamicStructWrapper::length)
      .def("__iter__", [](py::object self) { return py::iter(structItems(self)); })
      .def("__dir__", &DynamicStructWrapper::availableFields)
      .def("keys", &DynamicStructWrapper::availableFields, "Return the available field names.")
      .def("__str__", [](const DynamicStructWrapper& self) { return apostrophes(self.toJson()); })
      .def("to_json", &DynamicStructWrapper::toJson, kToJsonDoc)
      .def("to_packed_capnp", &DynamicStructWrapper::toPackedCapnp, kToPackedCapnpDoc)
      .def("get_union_element_name", &DynamicStructWrapper::unionElementName, kUnionElementNameDoc)
      .def(
          "get_union_element",
          [](py::object self) {
            auto& wrapper = self.cast<DynamicStructWrapper&>();
            return wrapper.get(wrapper.unionElementName(), self);
          },
          kUnionElementDoc)
      .def(
          "init_struct",
          [](DynamicStructWrapper& self, const std::string& name, const py::kwargs& kwargs) {
            return self.initStruct(name, kwargs);
          },
          // The field name is left unnamed (positional): a field called "name"
          // must still be usable as a keyword of the new struct.
          kInitStructDoc)
      .def("init_list", &DynamicStructWrapper::initList, py::arg("name"), py::arg("size"),
           kInitListDoc)
      .def_property_readonly("capnp_id", &DynamicStructWrapper::capnpId,
                             "The capnp id of the struct.");

  py::class_<DynamicListWrapper> list(module, "DynamicList", kDynamicListDoc);
  addListMembers<DynamicListWrapper>(list);
  list.def(
      "__setitem__",
      [](DynamicListWrapper& self, std::uint32_t index, py::object value) {
        self.setItem(index, value);
      },
      py::arg("index"), py::arg("value"));

  py::class_<DynamicListBufferWrapper> buffer(module, "DynamicListBuffer", kDynamicListBufferDoc,
                                              py::buffer_protocol());
  addListMembers<DynamicListBufferWrapper>(buffer);
  buffer.def_buffer([](DynamicListBufferWrapper& self) { return self.getBufferInfo(); });

  py::class_<DynamicEnumWrapper>(module, "DynamicEnum", kDynamicEnumDoc)
      .def_property_readonly("raw", &DynamicEnumWrapper::raw, "Raw integer value of the enum.")
      .def("__str__", &DynamicEnumWrapper::name)
      .def(
          "__eq__",
          [](const DynamicEnumWrapper& self, const DynamicEnumWrapper& other) {
            return self.raw() == other.raw();
          },
          py::is_operator())
      .def(
          "__eq__",
          [](const DynamicEnumWrapper& self, const std::string& other) {
            return self.equalsName(other);
          },
          py::is_operator())
      .def(
          "__eq__",
          [](const DynamicEnumWrapper& self, std::uint16_t other) { return self.raw() == other; },
          py::is_operator())
      .def("__hash__", [](const DynamicEnumWrapper& self) { return self.raw(); });

  module.def(
      "unwrap",
      [](py::object input) -> py::object {
        if (py::isinstance<DynamicStructWrapper>(input)) {
          auto& wrapper = input.cast<DynamicStructWrapper&>();
          if (wrapper.capnpId() == kResultStructId) {
            return wrapper.unwrap();
          }
        }
        return input;
      },
      py::arg("input_value"), kUnwrapDoc);
}

}  // namespace nuvrel::python
