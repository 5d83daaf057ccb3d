// The Python faces of Cap'n Proto values inside a message the module owns:
// DynamicStruct, DynamicList, DynamicListBuffer and DynamicEnum, and the
// conversion of any Cap'n Proto value into a Python object.
//
// Every wrapper shares its message (EasyMessage) through a shared pointer, so
// a nested value stays valid after its parent is dropped. Reads return live
// views: a nested struct or list read from a struct writes into the same
// message. All operations run on the Python thread with the GIL held.
#pragma once

#include <capnp/dynamic.h>
#include <pybind11/buffer_info.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "protocol/easy_message.h"
#include "python/capability_client_registry.h"

namespace nuvrel::python {

using MessagePtr = std::shared_ptr<EasyMessage<capnp::DynamicStruct>>;
using RegistryRef = std::weak_ptr<CapabilityClientRegistry>;

// A Cap'n Proto value as a Python object (see the bindings for the mapping).
// The module's own exceptions pass unchanged; any other failure becomes
// PythonCapnpErrc::unimplemented "Error converting capnp object to Python. ...".
pybind11::object dynamicValueToPython(capnp::DynamicValue::Builder value, const MessagePtr& message,
                                      const RegistryRef& registry);

// The content of a `Result` struct: its `ok` value converted, or its `err`
// raised (rethrowError). The member is chosen by position in the union.
pybind11::object unwrapResult(capnp::DynamicStruct::Builder result, const MessagePtr& message,
                              const RegistryRef& registry);

class DynamicStructWrapper {
 public:
  // The root struct of `message`.
  DynamicStructWrapper(MessagePtr message, RegistryRef registry);
  // A nested struct or group inside `message`.
  DynamicStructWrapper(MessagePtr message, capnp::DynamicStruct::Builder builder,
                       RegistryRef registry);

  // The Python value of a message's root, for results, server parameters and
  // the serialize functions. The message's last reference is released
  // through `registry` (on the worker thread) while the registry lives. A
  // root made of a single `Result` field named "result" is unwrapped.
  static pybind11::object createRoot(MessagePtr message, RegistryRef registry);
  static pybind11::object createChild(MessagePtr message, capnp::DynamicStruct::Builder builder,
                                      RegistryRef registry);

  // Names of the present non-union fields, then the active union member.
  std::vector<std::string> availableFields() const;
  bool contains(const std::string& name) const;
  std::size_t length() const;

  // Field value; for a name that is not a present field, the `init_` helper
  // it names or AttributeError. `self` is the Python object of this wrapper,
  // kept alive by the helpers.
  pybind11::object get(const std::string& name, pybind11::handle self = {});
  void set(const std::string& name, pybind11::handle value);
  pybind11::object initStruct(const std::string& name, const pybind11::kwargs& kwargs);
  pybind11::object initList(const std::string& name, std::uint32_t size);

  std::string unionElementName() const;
  pybind11::object unwrap();

  std::string toJson() const;
  pybind11::bytes toPackedCapnp() const;

  std::uint64_t capnpId() const { return builder_.getSchema().getProto().getId(); }
  capnp::DynamicStruct::Builder getBuilder() const { return builder_; }
  const MessagePtr& getMessage() const { return message_; }
  const RegistryRef& getRegistry() const { return registry_; }
  bool isRoot() const { return isRoot_; }

 private:
  capnp::StructSchema::Field requireField(const std::string& name) const;
  pybind11::object dynamicMethod(const std::string& name, pybind11::handle self);
  void forgetChild(capnp::StructSchema::Field field);

  MessagePtr message_;
  // Builders have no const accessors; reading through one does not change it.
  mutable capnp::DynamicStruct::Builder builder_;
  std::map<std::string, pybind11::object> children_;
  RegistryRef registry_;
  bool isRoot_;
};

class DynamicListWrapper {
 public:
  DynamicListWrapper(MessagePtr message, capnp::DynamicList::Builder list, RegistryRef registry);

  pybind11::object getItem(std::uint32_t index);
  void setItem(std::uint32_t index, pybind11::handle value);
  std::size_t size() const { return list_.size(); }
  pybind11::iterator iter();
  std::string toString() const;

  const std::vector<pybind11::object>& getInitializedChildren();
  capnp::DynamicList::Builder getCapnpBuilder() const { return list_; }
  const MessagePtr& getMessage() const { return message_; }

 private:
  void requireIndex(std::uint32_t index) const;

  MessagePtr message_;
  mutable capnp::DynamicList::Builder list_;
  std::vector<pybind11::object> children_;
  RegistryRef registry_;
};

// A numeric or Complex list that also exports its memory as a read-only
// buffer (zero-copy). The view keeps the Python object, and so the message,
// alive.
class DynamicListBufferWrapper : public DynamicListWrapper {
 public:
  using DynamicListWrapper::DynamicListWrapper;
  pybind11::buffer_info getBufferInfo() const;
};

class DynamicEnumWrapper {
 public:
  DynamicEnumWrapper(MessagePtr message, capnp::DynamicEnum value)
      : message_(std::move(message)), value_(value) {}

  std::uint16_t raw() const { return value_.getRaw(); }
  // The enumerant's name, or None for a raw value the schema does not name.
  pybind11::object name() const;
  bool equalsName(const std::string& text) const;
  capnp::DynamicEnum getValue() const { return value_; }

 private:
  MessagePtr message_;
  capnp::DynamicEnum value_;
};

}  // namespace nuvrel::python
