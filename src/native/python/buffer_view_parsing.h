// Numeric and complex lists as raw memory, in both directions: Python
// buffers (numpy arrays, array.array, bytes) copied in bulk into Cap'n Proto
// lists, and Cap'n Proto lists exported as read-only buffers.
//
// Everything here runs with the GIL held.
#pragma once

#include <capnp/dynamic.h>
#include <pybind11/buffer_info.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nuvrel::python {

inline constexpr std::uint64_t kComplexStructId = 0xaaf1afaf97b4b157ULL;
inline constexpr std::uint64_t kResultStructId = 0xbab0f33e1934323dULL;

// True exactly when the struct's node id is the Complex id.
bool isComplexStruct(capnp::StructSchema schema);

// The buffer of one Python object, requested read-only with
// PyBUF_FORMAT | PyBUF_ND | PyBUF_STRIDES and released on destruction.
class BufferInfoWrapper {
 public:
  // Raises the exporter's Python error if the buffer cannot be had.
  explicit BufferInfoWrapper(pybind11::handle object);
  ~BufferInfoWrapper();
  BufferInfoWrapper(const BufferInfoWrapper&) = delete;
  BufferInfoWrapper& operator=(const BufferInfoWrapper&) = delete;

  bool isSupportedBufferType() const;
  const std::string& format() const { return format_; }
  // Total item count: the product of the shape.
  std::size_t size() const;
  std::size_t ndim() const { return static_cast<std::size_t>(view_.ndim); }

  // Checks the buffer against the list type (dimensions, format, item size)
  // without touching any list; throws valueError with the reason.
  void checkCompatible(capnp::ListSchema listType) const;

  // Copies every item into `list`, which must have been initialised with
  // size() elements. Items are read through the buffer's strides, so
  // reversed and sliced views give their items in order and nothing outside
  // the exporter's memory is read.
  void copyToBuffer(capnp::DynamicList::Builder list) const;

  // Address of item i (valid for i < size()).
  const std::byte* item(std::size_t i) const;

 private:
  Py_buffer view_{};
  // The exporter's format, "B" when it gives none (PEP 3118's default).
  std::string format_;
  // The table's name for the same items: C's long ("l", "L") is 8 bytes on
  // LP64 systems, where numpy's int64/uint64 arrays report it, and 4 bytes
  // elsewhere; it is matched by its item size so that those arrays take the
  // bulk path instead of one Python int per element.
  std::string tableFormat_;
};

using FillFunction = void (*)(const BufferInfoWrapper&, capnp::DynamicList::Builder);
using CreateFunction = pybind11::buffer_info (*)(capnp::DynamicList::Reader);

struct BufferEntry {
  capnp::schema::Type::Which type;
  const char* format;
  std::size_t itemSize;  // 0: recognised but never copied
  FillFunction fill;
  CreateFunction create;
};

// Exact match of the format text; null when absent.
const BufferEntry* findBufferEntryByFormat(std::string_view format);
// The first entry of the element type; null when absent.
const BufferEntry* findBufferEntryByType(capnp::schema::Type::Which type);

// The table's format for a list's element type, or "" ("Zd" for a struct
// element, whatever the struct).
std::string pythonFormatFromCapnpType(capnp::Type type);

// Whether a list of this type is exposed as a DynamicListBuffer: Complex
// struct lists and the numeric types of the table. Bool lists are not: they
// are bit-packed, so no byte-per-item view exists without a copy.
bool supportsBufferView(capnp::ListSchema listType);

// The read-only, zero-copy description of a list's memory. Throws
// PythonCapnpErrc::internal when the list cannot be viewed (unsupported
// element type, non-Complex structs, elements whose layout the view cannot
// describe).
pybind11::buffer_info getBufferInfo(capnp::DynamicList::Reader list);

}  // namespace nuvrel::python
