#include "python/dynamic_input.h"

#include <capnp/any.h>
#include <capnp/message.h>
#include <capnp/orphan.h>
#include <kj/debug.h>
#include <kj/exception.h>
#include <pybind11/complex.h>

#include <complex>
#include <memory>
#include <cstdint>
#include <string>
#include <utility>

#include "errors/exception.h"
#include "errors/throw_error.h"
#include "logging/log.h"
#include "python/buffer_view_parsing.h"
#include "python/dynamic_value_wrapper.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

using Which = capnp::schema::Type::Which;

constexpr std::uint64_t kMaxListSize = std::uint64_t(1) << 32;

InterfaceInputConverter& interfaceInputConverter() {
  static InterfaceInputConverter converter;
  return converter;
}

// The binding layer's own refusal of a value, for the types that have no
// caster of their own here.
[[noreturn]] void throwCastError(py::handle value) {
  throw py::cast_error("Unable to cast Python instance of type " +
                       static_cast<std::string>(py::str(py::type::handle_of(value))) +
                       " to C++ type '?' (#define PYBIND11_DETAILED_ERROR_MESSAGES or compile in "
                       "debug mode for details)");
}

template <typename T>
T castValue(py::handle value) {
  return py::cast<T>(value);
}

// str, bytes and bytearray as bytes (str encoded UTF-8).
std::string castText(py::handle value) { return py::cast<std::string>(value); }

capnp::DynamicCapability::Client toCapability(py::handle value, capnp::InterfaceSchema schema) {
  auto& converter = interfaceInputConverter();
  if (!converter) {
    throwCastError(value);
  }
  return converter(value, schema);
}

capnp::DynamicValue::Reader scalarValue(Which which, py::handle value) {
  switch (which) {
    case Which::BOOL:
      return castValue<bool>(value);
    case Which::INT8:
      return castValue<std::int8_t>(value);
    case Which::INT16:
      return castValue<std::int16_t>(value);
    case Which::INT32:
      return castValue<std::int32_t>(value);
    case Which::INT64:
      return castValue<std::int64_t>(value);
    case Which::UINT8:
      return castValue<std::uint8_t>(value);
    case Which::UINT16:
      return castValue<std::uint16_t>(value);
    case Which::UINT32:
      return castValue<std::uint32_t>(value);
    case Which::UINT64:
      return castValue<std::uint64_t>(value);
    case Which::FLOAT32:
      return castValue<float>(value);
    case Which::FLOAT64:
      return castValue<double>(value);
    default:
      KJ_UNREACHABLE;
  }
}

bool isScalar(Which which) {
  switch (which) {
    case Which::BOOL:
    case Which::INT8:
    case Which::INT16:
    case Which::INT32:
    case Which::INT64:
    case Which::UINT8:
    case Which::UINT16:
    case Which::UINT32:
    case Which::UINT64:
    case Which::FLOAT32:
    case Which::FLOAT64:
      return true;
    default:
      return false;
  }
}

capnp::DynamicEnum enumFromPython(capnp::EnumSchema schema, py::handle value) {
  std::uint16_t ordinal = 0;
  if (PyLong_Check(value.ptr())) {
    ordinal = py::cast<std::uint16_t>(value);
  } else if (py::hasattr(value, "value")) {
    ordinal = py::cast<std::uint16_t>(value.attr("value"));
  } else {
    const std::string name = py::str(value);
    return capnp::DynamicEnum(schema.getEnumerantByName(name));
  }
  auto enumerants = schema.getEnumerants();
  if (ordinal >= enumerants.size()) {
    throwError(PythonCapnpErrc::valueError,
               "Unable to convert enum value {} to underlying structure. Enum value is out of "
               "range.",
               ordinal);
  }
  return capnp::DynamicEnum(enumerants[ordinal]);
}

// A private copy of a DynamicStruct's content, so that clearing the target
// cannot wipe the source when both are the same memory (a group assigned
// from itself). The copy goes below the dynamic layer because a group cannot
// be a message root. Falls back to the source itself when it cannot be
// copied (a struct holding capabilities).
py::object snapshotStruct(const DynamicStructWrapper& source) {
  try {
    auto schema = source.getBuilder().getSchema();
    auto scratch = std::make_unique<capnp::MallocMessageBuilder>(
        EasyMessage<capnp::DynamicStruct>::kFirstSegmentWords);
    scratch->setRoot(capnp::AnyStruct::Reader(source.getBuilder().asReader()));
    auto copy = scratch->getRoot<capnp::AnyStruct>().as<capnp::DynamicStruct>(schema);
    auto message = std::make_shared<EasyMessage<capnp::DynamicStruct>>(
        std::move(scratch), schema, source.getMessage()->keepAlive());
    return py::cast(DynamicStructWrapper(std::move(message), copy, source.getRegistry()));
  } catch (const kj::Exception&) {
    return py::cast(source);
  }
}

// Recursive schemas let a Python value nest without end (a dict that holds
// itself). The interpreter's recursion limit turns that into RecursionError,
// but that limit can be raised far beyond what the native stack holds (each
// struct level costs several converter frames), so the converter has its own
// bound as well. 256 struct levels is far more than any reader accepts
// (Cap'n Proto's nesting limit, 64 here, counts every struct and list).
inline constexpr int kMaxStructNesting = 256;

class RecursionGuard {
 public:
  RecursionGuard() {
    if (depth_ >= kMaxStructNesting) {
      PyErr_Format(PyExc_RecursionError,
                   "maximum nesting depth (%d) exceeded while converting a Python value to a "
                   "Cap'n Proto struct",
                   kMaxStructNesting);
      throw py::error_already_set();
    }
    if (Py_EnterRecursiveCall(" while converting a Python value to a Cap'n Proto struct") != 0) {
      throw py::error_already_set();
    }
    ++depth_;
  }
  ~RecursionGuard() {
    --depth_;
    Py_LeaveRecursiveCall();
  }
  RecursionGuard(const RecursionGuard&) = delete;
  RecursionGuard& operator=(const RecursionGuard&) = delete;

 private:
  static thread_local int depth_;
};

thread_local int RecursionGuard::depth_ = 0;

void structValueToCapnp(py::handle value, capnp::DynamicStruct::Builder target) {
  RecursionGuard guard;
  if (isComplexStruct(target.getSchema())) {
    py::detail::make_caster<std::complex<double>> caster;
    if (caster.load(value, true)) {
      const auto number = py::detail::cast_op<std::complex<double>>(caster);
      target.set("real", number.real());
      target.set("imag", number.imag());
      return;
    }
  }
  if (py::isinstance<DynamicStructWrapper>(value)) {
    auto& source = value.cast<DynamicStructWrapper&>();
    for (const auto& name : source.availableFields()) {
      structElementToCapnp(name, source.get(name, value), target);
    }
    return;
  }
  py::dict items = py::isinstance<py::dict>(value)
                       ? py::reinterpret_borrow<py::dict>(value)
                       : py::dict(py::reinterpret_borrow<py::object>(value));
  for (auto item : items) {
    structElementToCapnp(py::cast<std::string>(item.first), item.second, target);
  }
}

// A new list of `listType` built from a Python value, not yet attached: the
// old value of the target stays intact (and readable, if the input is a view
// of it) until the new one is complete, and a failure leaves it untouched.
capnp::Orphan<capnp::DynamicList> listFromPython(py::handle value, capnp::ListSchema listType,
                                                 capnp::Orphanage orphanage) {
  if (PyObject_CheckBuffer(value.ptr())) {
    BufferInfoWrapper buffer(value);
    if (buffer.isSupportedBufferType()) {
      buffer.checkCompatible(listType);
      auto orphan = orphanage.newOrphan(listType, static_cast<unsigned>(buffer.size()));
      buffer.copyToBuffer(orphan.get());
      return orphan;
    }
  }
  py::list items = PyList_Check(value.ptr()) ? py::reinterpret_borrow<py::list>(value)
                                             : py::list(py::reinterpret_borrow<py::object>(value));
  const std::size_t count = items.size();
  if (count >= kMaxListSize) {
    throwError(PythonCapnpErrc::valueError, "list size exceeds the maximum allowed size of 2^32.");
  }
  auto orphan = orphanage.newOrphan(listType, static_cast<unsigned>(count));
  NUVREL_LOG(debug) << "Using plain list to convert list.";
  auto list = orphan.get();
  for (unsigned i = 0; i < count; ++i) {
    listElementToCapnp(i, items[i], list);
  }
  return orphan;
}

void fieldToCapnp(capnp::StructSchema::Field field, py::handle value,
                  capnp::DynamicStruct::Builder builder) {
  const auto type = field.getType();
  if (value.is_none() && !type.isVoid()) {
    return;
  }
  const std::string name = field.getProto().getName();
  if (type.isList()) {
    auto orphanage = capnp::Orphanage::getForMessageContaining(builder);
    builder.adopt(field, listFromPython(value, type.asList(), orphanage));
    return;
  }
  const auto which = type.which();
  if (isScalar(which)) {
    try {
      builder.set(field, scalarValue(which, value));
    } catch (const Exception&) {
      throw;
    } catch (const std::exception& e) {
      throwError(PythonCapnpErrc::runtimeError, "Unable to convert {} to underlying structure. ({}).",
                 name, std::string(e.what()));
    }
    return;
  }
  switch (which) {
    case Which::VOID:
      builder.set(field, capnp::VOID);
      return;
    case Which::TEXT: {
      const auto text = castText(value);
      builder.set(field, capnp::Text::Reader(text.data(), text.size()));
      return;
    }
    case Which::DATA: {
      const auto data = castText(value);
      builder.set(field, capnp::Data::Reader(reinterpret_cast<const capnp::byte*>(data.data()),
                                             data.size()));
      return;
    }
    case Which::ENUM:
      builder.set(field, enumFromPython(type.asEnum(), value));
      return;
    case Which::STRUCT:
      if (field.getProto().isGroup()) {
        // A group cannot be replaced, only cleared and refilled in place.
        py::object source = py::reinterpret_borrow<py::object>(value);
        if (py::isinstance<DynamicStructWrapper>(value)) {
          source = snapshotStruct(value.cast<DynamicStructWrapper&>());
        }
        structValueToCapnp(source, builder.init(field).as<capnp::DynamicStruct>());
      } else {
        auto orphanage = capnp::Orphanage::getForMessageContaining(builder);
        auto orphan = orphanage.newOrphan(type.asStruct());
        structValueToCapnp(value, orphan.get());
        builder.adopt(field, kj::mv(orphan));
      }
      return;
    case Which::INTERFACE:
      builder.set(field, toCapability(value, type.asInterface()));
      return;
    case Which::ANY_POINTER:
      builder.clear(field);
      return;
    default:
      throwError(PythonCapnpErrc::runtimeError,
                 "Unable to convert to unknown capnp type for {}. This indicates an outdated "
                 "client version. Please update the client to the latest version.",
                 name);
  }
}

}  // namespace

void setInterfaceInputConverter(InterfaceInputConverter converter) {
  interfaceInputConverter() = std::move(converter);
}

void structElementToCapnp(const std::string& name, py::handle value,
                          capnp::DynamicStruct::Builder builder) {
  fieldToCapnp(builder.getSchema().getFieldByName(name), value, builder);
}

void listElementToCapnp(unsigned index, py::handle value, capnp::DynamicList::Builder list) {
  KJ_REQUIRE(index < list.size(), "list index out of bounds", index, list.size());
  const auto elementType = list.getSchema().getElementType();
  if (elementType.isList()) {
    auto orphanage = capnp::Orphanage::getForMessageContaining(list);
    list.adopt(index, listFromPython(value, elementType.asList(), orphanage));
    return;
  }
  const auto which = elementType.which();
  auto elementError = [index]() {
    throwError(PythonCapnpErrc::runtimeError,
               "Unable to convert list element {} to underlying structure.", index);
  };
  if (isScalar(which)) {
    try {
      list.set(index, scalarValue(which, value));
    } catch (const Exception&) {
      throw;
    } catch (const std::exception&) {
      elementError();
    }
    return;
  }
  switch (which) {
    case Which::VOID:
      list.set(index, capnp::VOID);
      return;
    case Which::TEXT: {
      std::string text;
      try {
        text = castText(value);
      } catch (const std::exception&) {
        elementError();
      }
      list.set(index, capnp::Text::Reader(text.data(), text.size()));
      return;
    }
    case Which::DATA: {
      const auto data = castText(value);
      list.set(index, capnp::Data::Reader(reinterpret_cast<const capnp::byte*>(data.data()),
                                          data.size()));
      return;
    }
    case Which::ENUM: {
      const auto name = castText(value);
      list.set(index, capnp::DynamicEnum(elementType.asEnum().getEnumerantByName(name)));
      return;
    }
    case Which::STRUCT:
      structValueToCapnp(value, list[index].as<capnp::DynamicStruct>());
      return;
    case Which::INTERFACE:
      list.set(index, toCapability(value, elementType.asInterface()));
      return;
    case Which::ANY_POINTER:
      KJ_FAIL_REQUIRE("Lists of AnyPointer cannot be written.");
    default:
      throwError(PythonCapnpErrc::runtimeError,
                 "Unable to convert to unknown capnp type for list. This indicates an outdated "
                 "client version. Please update the client to the latest version.");
  }
}

}  // namespace nuvrel::python

namespace nuvrel {

void CapnpTrait<py::dict, capnp::DynamicStruct>::toCapnp(const py::dict& input,
                                                         capnp::DynamicStruct::Builder builder) {
  py::gil_scoped_acquire gil;
  try {
    for (auto item : input) {
      python::structElementToCapnp(py::cast<std::string>(item.first), item.second, builder);
    }
  } catch (const kj::Exception& e) {
    const std::string description = e.getDescription().cStr();
    NUVREL_LOG(error) << "Error converting python object: " << description;
    throwError(PythonCapnpErrc::runtimeError, "Unable to convert python input. ({}).", description);
  }
}

}  // namespace nuvrel

namespace nuvrel {

void CapnpTrait<python::PyHandle, capnp::DynamicStruct>::toCapnp(
    const python::PyHandle& input, capnp::DynamicStruct::Builder builder) {
  input.visit([&](py::handle object) {
    auto arguments = py::isinstance<py::dict>(object)
                         ? py::reinterpret_borrow<py::dict>(object)
                         : py::dict(py::reinterpret_borrow<py::object>(object));
    CapnpTrait<py::dict, capnp::DynamicStruct>::toCapnp(arguments, builder);
  });
}

}  // namespace nuvrel
