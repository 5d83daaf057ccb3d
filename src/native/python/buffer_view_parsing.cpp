#include "python/buffer_view_parsing.h"

#include <capnp/any.h>
#include <kj/debug.h>
#include <kj/exception.h>

#include <array>
#include <complex>
#include <cstring>
#include <limits>
#include <vector>

#include "errors/throw_error.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

using Which = capnp::schema::Type::Which;

constexpr std::uint64_t kMaxListSize = std::uint64_t(1) << 32;

// Non-null address for the memory of an empty list: some consumers treat a
// null buffer pointer as an error.
alignas(16) const std::byte kEmptyListMemory[16] = {};

template <typename T>
T readItem(const std::byte* address) {
  T value;
  std::memcpy(&value, address, sizeof(T));
  return value;
}

template <typename T>
void fillNumeric(const BufferInfoWrapper& buffer, capnp::DynamicList::Builder list) {
  auto typed = list.as<capnp::List<T>>();
  const auto count = typed.size();
  for (unsigned i = 0; i < count; ++i) {
    typed.set(i, readItem<T>(buffer.item(i)));
  }
}

void fillBool(const BufferInfoWrapper& buffer, capnp::DynamicList::Builder list) {
  auto typed = list.as<capnp::List<bool>>();
  const auto count = typed.size();
  for (unsigned i = 0; i < count; ++i) {
    typed.set(i, (readItem<std::uint8_t>(buffer.item(i)) & 1) != 0);
  }
}

void fillComplex(const BufferInfoWrapper& buffer, capnp::DynamicList::Builder list) {
  if (buffer.format() == "Zf") {
    throwError(PythonCapnpErrc::valueError,
               "List input id of type Zf. But complex values must be of type Zd.");
  }
  auto elementType = list.getSchema().getElementType();
  if (!elementType.isStruct() || !isComplexStruct(elementType.asStruct())) {
    throwError(PythonCapnpErrc::valueError,
               "List input supports the buffer protocol for a complex list {}. But the expected "
               "format is not a complex struct.",
               buffer.format());
  }
  auto schema = elementType.asStruct();
  auto real = schema.getFieldByName("real");
  auto imag = schema.getFieldByName("imag");
  const auto count = list.size();
  for (unsigned i = 0; i < count; ++i) {
    const auto value = readItem<std::complex<double>>(buffer.item(i));
    auto element = list[i].as<capnp::DynamicStruct>();
    element.set(real, value.real());
    element.set(imag, value.imag());
  }
}

// The list's elements as raw memory with their real step. A list written by a
// peer may use a larger element than our schema (a struct list where we
// expect a primitive list, or a struct that gained fields); the step then
// exceeds the item and the view strides over the extra bytes.
struct RawElements {
  const std::byte* data;
  std::size_t count;
  std::size_t step;
};

RawElements rawElements(capnp::DynamicList::Reader list, std::size_t itemSize) {
  kj::ArrayPtr<const capnp::byte> raw;
  try {
    raw = capnp::AnyList::Reader(list).getRawBytes();
  } catch (const kj::Exception& e) {
    throwError(PythonCapnpErrc::internal, "The list cannot be viewed as a buffer. ({})",
               std::string(e.getDescription().cStr()));
  }
  const std::size_t count = list.size();
  if (count == 0) {
    return {kEmptyListMemory, 0, itemSize};
  }
  if (raw.size() % count != 0 || raw.size() / count < itemSize) {
    throwError(PythonCapnpErrc::internal,
               "The list cannot be viewed as a buffer: {} bytes do not hold {} elements of {} "
               "bytes.",
               raw.size(), count, itemSize);
  }
  return {reinterpret_cast<const std::byte*>(raw.begin()), count, raw.size() / count};
}

py::buffer_info describe(const RawElements& elements, std::size_t itemSize,
                         const std::string& format) {
  return py::buffer_info(const_cast<std::byte*>(elements.data), static_cast<py::ssize_t>(itemSize),
                         format, 1, {static_cast<py::ssize_t>(elements.count)},
                         {static_cast<py::ssize_t>(elements.step)}, /*readonly=*/true);
}

template <typename T>
py::buffer_info createNumeric(capnp::DynamicList::Reader list) {
  const auto* entry = findBufferEntryByType(list.getSchema().whichElementType());
  return describe(rawElements(list, sizeof(T)), sizeof(T), entry->format);
}

py::buffer_info createBool(capnp::DynamicList::Reader) {
  throwError(PythonCapnpErrc::internal,
             "Bool lists are bit-packed and cannot be viewed as a buffer; read the elements "
             "instead.");
}

py::buffer_info createComplex(capnp::DynamicList::Reader list) {
  auto elementType = list.getSchema().getElementType();
  if (!elementType.isStruct() || !isComplexStruct(elementType.asStruct())) {
    throwError(PythonCapnpErrc::internal, "Only complex structs can be converted to a buffer view.");
  }
  // The view describes two doubles at the start of each element; a schema
  // with the Complex id but another layout cannot be viewed that way.
  auto schema = elementType.asStruct();
  auto isDoubleAt = [&](const char* name, unsigned offset) {
    KJ_IF_MAYBE(field, schema.findFieldByName(name)) {
      auto proto = field->getProto();
      return proto.isSlot() && proto.getSlot().getType().isFloat64() &&
             proto.getSlot().getOffset() == offset;
    }
    return false;
  };
  if (!isDoubleAt("real", 0) || !isDoubleAt("imag", 1)) {
    throwError(PythonCapnpErrc::internal,
               "Only complex structs can be converted to a buffer view.");
  }
  return describe(rawElements(list, 16), 16, "Zd");
}

py::buffer_info createRejected(capnp::DynamicList::Reader) {
  throwError(PythonCapnpErrc::internal, "The capnp type is not supported for buffer views.");
}

constexpr std::array<BufferEntry, 13> kBufferTable = {{
    {Which::BOOL, "?", 1, &fillBool, &createBool},
    {Which::INT8, "b", 1, &fillNumeric<std::int8_t>, &createNumeric<std::int8_t>},
    {Which::INT16, "h", 2, &fillNumeric<std::int16_t>, &createNumeric<std::int16_t>},
    {Which::INT32, "i", 4, &fillNumeric<std::int32_t>, &createNumeric<std::int32_t>},
    {Which::INT64, "q", 8, &fillNumeric<std::int64_t>, &createNumeric<std::int64_t>},
    {Which::UINT8, "B", 1, &fillNumeric<std::uint8_t>, &createNumeric<std::uint8_t>},
    {Which::UINT16, "H", 2, &fillNumeric<std::uint16_t>, &createNumeric<std::uint16_t>},
    {Which::UINT32, "I", 4, &fillNumeric<std::uint32_t>, &createNumeric<std::uint32_t>},
    {Which::UINT64, "Q", 8, &fillNumeric<std::uint64_t>, &createNumeric<std::uint64_t>},
    {Which::FLOAT32, "f", 4, &fillNumeric<float>, &createNumeric<float>},
    {Which::FLOAT64, "d", 8, &fillNumeric<double>, &createNumeric<double>},
    {Which::STRUCT, "Zd", 16, &fillComplex, &createComplex},
    // Recognised so that complex64 input gets its own message, never copied.
    {Which::STRUCT, "Zf", 8, &fillComplex, &createRejected},
}};

}  // namespace

bool isComplexStruct(capnp::StructSchema schema) {
  return schema.getProto().getId() == kComplexStructId;
}

const BufferEntry* findBufferEntryByFormat(std::string_view format) {
  for (const auto& entry : kBufferTable) {
    if (format == entry.format) {
      return &entry;
    }
  }
  return nullptr;
}

const BufferEntry* findBufferEntryByType(capnp::schema::Type::Which type) {
  for (const auto& entry : kBufferTable) {
    if (entry.type == type) {
      return &entry;
    }
  }
  return nullptr;
}

std::string pythonFormatFromCapnpType(capnp::Type type) {
  if (type.isList()) {
    return {};
  }
  const auto* entry = findBufferEntryByType(type.which());
  return entry != nullptr ? entry->format : std::string();
}

bool supportsBufferView(capnp::ListSchema listType) {
  auto element = listType.getElementType();
  if (element.isStruct()) {
    return isComplexStruct(element.asStruct());
  }
  if (element.isList() || element.isBool()) {
    return false;
  }
  return findBufferEntryByType(element.which()) != nullptr;
}

py::buffer_info getBufferInfo(capnp::DynamicList::Reader list) {
  auto element = list.getSchema().getElementType();
  const BufferEntry* entry = element.isList() ? nullptr : findBufferEntryByType(element.which());
  if (entry == nullptr) {
    throwError(PythonCapnpErrc::internal, "The capnp type is not supported for buffer views.");
  }
  return entry->create(list);
}

BufferInfoWrapper::BufferInfoWrapper(py::handle object) {
  if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_FORMAT | PyBUF_ND | PyBUF_STRIDES) != 0) {
    throw py::error_already_set();
  }
  format_ = view_.format != nullptr ? view_.format : "B";
  tableFormat_ = format_;
  if (format_ == "l" || format_ == "L") {
    const bool isSigned = format_ == "l";
    if (view_.itemsize == 8) {
      tableFormat_ = isSigned ? "q" : "Q";
    } else if (view_.itemsize == 4) {
      tableFormat_ = isSigned ? "i" : "I";
    }
  }
}

BufferInfoWrapper::~BufferInfoWrapper() { PyBuffer_Release(&view_); }

bool BufferInfoWrapper::isSupportedBufferType() const {
  return findBufferEntryByFormat(tableFormat_) != nullptr;
}

std::size_t BufferInfoWrapper::size() const {
  std::size_t total = 1;
  for (int i = 0; i < view_.ndim; ++i) {
    total *= static_cast<std::size_t>(view_.shape != nullptr ? view_.shape[i] : 0);
  }
  if (view_.ndim == 1 && view_.shape == nullptr && view_.itemsize > 0) {
    total = static_cast<std::size_t>(view_.len / view_.itemsize);
  }
  return total;
}

const std::byte* BufferInfoWrapper::item(std::size_t i) const {
  // Without strides the exporter's memory is C-contiguous.
  const Py_ssize_t stride =
      view_.ndim == 1 && view_.strides != nullptr ? view_.strides[0] : view_.itemsize;
  return static_cast<const std::byte*>(view_.buf) + static_cast<Py_ssize_t>(i) * stride;
}

void BufferInfoWrapper::checkCompatible(capnp::ListSchema listType) const {
  if (size() >= kMaxListSize) {
    throwError(PythonCapnpErrc::valueError, "Buffer size exceeds the maximum allowed size of 2^32.");
  }
  if (view_.ndim > 1) {
    throwError(PythonCapnpErrc::valueError,
               "Multidimensional arrays cannot be directly serialized. If you are using numpy, use "
               "`flatten` to make the array unidimensional");
  }
  const auto* entry = findBufferEntryByFormat(tableFormat_);
  if (entry == nullptr) {
    throwError(PythonCapnpErrc::valueError,
               "Input list cannot be matched to the expected capnp type. The format {} is not "
               "compatible.",
               format_);
  }
  auto element = listType.getElementType();
  if (element.isList() || entry->type != element.which()) {
    throwError(PythonCapnpErrc::valueError,
               "List input supports the buffer protocol but the format {} is not compatible with "
               "the expected format {}.",
               format_, pythonFormatFromCapnpType(element));
  }
  if (entry->type == Which::STRUCT) {
    if (format_ == "Zf") {
      throwError(PythonCapnpErrc::valueError,
                 "List input id of type Zf. But complex values must be of type Zd.");
    }
    if (!isComplexStruct(element.asStruct())) {
      throwError(PythonCapnpErrc::valueError,
                 "List input supports the buffer protocol for a complex list {}. But the expected "
                 "format is not a complex struct.",
                 format_);
    }
  }
  if (static_cast<std::size_t>(view_.itemsize) != entry->itemSize) {
    throwError(PythonCapnpErrc::valueError,
               "The buffer's item size {} does not match its format {}.", view_.itemsize,
               format_);
  }
}

void BufferInfoWrapper::copyToBuffer(capnp::DynamicList::Builder list) const {
  checkCompatible(list.getSchema());
  KJ_REQUIRE(list.size() == size(), "list initialised with the wrong size", list.size(), size());
  findBufferEntryByFormat(tableFormat_)->fill(*this, list);
}

}  // namespace nuvrel::python
