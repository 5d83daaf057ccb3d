#include "python/dynamic_value_wrapper.h"

#include <kj/debug.h>
#include <kj/exception.h>

#include <algorithm>
#include <utility>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "errors/rethrow_error.h"
#include "errors/throw_error.h"
#include "logging/log.h"
#include "protocol/easy_message_json.h"
#include "python/buffer_view_parsing.h"
#include "python/dynamic_input.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

std::string quotesToApostrophes(std::string text) {
  std::replace(text.begin(), text.end(), '"', '\'');
  return text;
}

std::string fieldName(capnp::StructSchema::Field field) {
  return field.getProto().getName().cStr();
}

[[noreturn]] void throwNoSuchField(capnp::StructSchema schema, const std::string& name) {
  throw py::attribute_error(fmt::format("{} has no field named \"{}\".",
                                        schema.getShortDisplayName().cStr(), name));
}

py::object convertValue(capnp::DynamicValue::Builder value, const MessagePtr& message,
                        const RegistryRef& registry) {
  switch (value.getType()) {
    case capnp::DynamicValue::VOID:
      return py::none();
    case capnp::DynamicValue::BOOL:
      return py::bool_(value.as<bool>());
    case capnp::DynamicValue::INT:
      return py::int_(value.as<std::int64_t>());
    case capnp::DynamicValue::UINT:
      return py::int_(value.as<std::uint64_t>());
    case capnp::DynamicValue::FLOAT:
      return py::float_(value.as<double>());
    case capnp::DynamicValue::TEXT: {
      auto text = value.as<capnp::Text>();
      PyObject* result = PyUnicode_FromString(text.cStr());
      if (result == nullptr) {
        throw py::error_already_set();
      }
      return py::reinterpret_steal<py::object>(result);
    }
    case capnp::DynamicValue::DATA: {
      auto data = value.as<capnp::Data>();
      return py::bytes(reinterpret_cast<const char*>(data.begin()), data.size());
    }
    case capnp::DynamicValue::LIST: {
      auto list = value.as<capnp::DynamicList>();
      if (supportsBufferView(list.getSchema())) {
        return py::cast(DynamicListBufferWrapper(message, list, registry));
      }
      return py::cast(DynamicListWrapper(message, list, registry));
    }
    case capnp::DynamicValue::ENUM:
      return py::cast(DynamicEnumWrapper(message, value.as<capnp::DynamicEnum>()));
    case capnp::DynamicValue::STRUCT: {
      auto structValue = value.as<capnp::DynamicStruct>();
      if (isComplexStruct(structValue.getSchema())) {
        return py::reinterpret_steal<py::object>(
            PyComplex_FromDoubles(structValue.get("real").as<double>(),
                                  structValue.get("imag").as<double>()));
      }
      return DynamicStructWrapper::createChild(message, structValue, registry);
    }
    case capnp::DynamicValue::CAPABILITY: {
      auto owner = registry.lock();
      if (!owner) {
        throwError(PythonCapnpErrc::internal,
                   "Unable to create capability client. Underlying context is no longer "
                   "available.");
      }
      return owner->registerCapabilityClient(value.asReader(), message);
    }
    case capnp::DynamicValue::ANY_POINTER:
      return py::none();
    default: {
      const auto type = static_cast<int>(value.getType());
      NUVREL_LOG(error) << "Received unknown capnp type " << type;
      throwError(PythonCapnpErrc::unimplemented,
                 "Encountered unkown capnp type \"{}\", while converting capnp object to Python. "
                 "This usually indicates a outdated client. Please update the client to the "
                 "latest Orvane release.",
                 type);
    }
  }
}

// Hands the message to the worker thread when its last Python wrapper goes,
// so that capabilities inside it are released on their own event loop.
MessagePtr marshalDestructionToWorkerThread(MessagePtr message, RegistryRef registry) {
  auto* raw = message.get();
  return MessagePtr(raw, [inner = std::move(message),
                          registry = std::move(registry)](EasyMessage<capnp::DynamicStruct>*) mutable {
    doTryAndLog(
        [&] {
          if (auto owner = registry.lock()) {
            owner->destroyRootOnWorkerThread(std::move(inner));
          } else {
            inner.reset();
          }
        },
        "marshalDestructionToWorkerThread");
    inner.reset();
  });
}

bool isResultRoot(capnp::StructSchema schema, capnp::StructSchema::Field& resultField) {
  auto fields = schema.getNonUnionFields();
  if (fields.size() != 1) {
    return false;
  }
  auto field = fields[0];
  auto type = field.getType();
  if (!type.isStruct() || field.getProto().getName() != "result") {
    return false;
  }
  if (type.asStruct().getProto().getId() != kResultStructId) {
    return false;
  }
  resultField = field;
  return true;
}

}  // namespace

py::object dynamicValueToPython(capnp::DynamicValue::Builder value, const MessagePtr& message,
                                const RegistryRef& registry) {
  try {
    return convertValue(value, message, registry);
  } catch (const Exception&) {
    throw;
  } catch (const kj::Exception& e) {
    throwError(PythonCapnpErrc::unimplemented,
               "Error converting capnp object to Python. This usually indicates a outdated "
               "client. Please update the client to the latest Orvane release. ({})",
               std::string(e.getDescription().cStr()));
  } catch (const std::exception& e) {
    throwError(PythonCapnpErrc::unimplemented,
               "Error converting capnp object to Python. This usually indicates a outdated "
               "client. Please update the client to the latest Orvane release. ({})",
               std::string(e.what()));
  }
}

py::object unwrapResult(capnp::DynamicStruct::Builder result, const MessagePtr& message,
                        const RegistryRef& registry) {
  KJ_IF_MAYBE(member, result.which()) {
    auto unionFields = result.getSchema().getUnionFields();
    if (unionFields.size() >= 2 && member->getIndex() == unionFields[1].getIndex()) {
      rethrowError(result.get(*member).as<capnp::DynamicStruct>().asReader());
    }
    return dynamicValueToPython(result.get(*member), message, registry);
  }
  NUVREL_LOG(error) << "Tried to unwrap a struct that is not a result struct.";
  return DynamicStructWrapper::createChild(message, result, registry);
}

// ---------------------------------------------------------------------------
// DynamicStructWrapper

DynamicStructWrapper::DynamicStructWrapper(MessagePtr message, RegistryRef registry)
    : message_(std::move(message)),
      builder_(message_->getBuilder()),
      registry_(std::move(registry)),
      isRoot_(true) {}

DynamicStructWrapper::DynamicStructWrapper(MessagePtr message, capnp::DynamicStruct::Builder builder,
                                           RegistryRef registry)
    : message_(std::move(message)), builder_(builder), registry_(std::move(registry)), isRoot_(false) {}

py::object DynamicStructWrapper::createRoot(MessagePtr message, RegistryRef registry) {
  if (!message) {
    throwError(PythonCapnpErrc::internal, "No message to wrap.");
  }
  auto shared = marshalDestructionToWorkerThread(std::move(message), registry);
  auto root = shared->getBuilder();
  capnp::StructSchema::Field resultField;
  if (isResultRoot(root.getSchema(), resultField)) {
    return unwrapResult(root.get(resultField).as<capnp::DynamicStruct>(), shared, registry);
  }
  return py::cast(DynamicStructWrapper(std::move(shared), std::move(registry)));
}

py::object DynamicStructWrapper::createChild(MessagePtr message, capnp::DynamicStruct::Builder builder,
                                             RegistryRef registry) {
  return py::cast(DynamicStructWrapper(std::move(message), builder, std::move(registry)));
}

capnp::StructSchema::Field DynamicStructWrapper::requireField(const std::string& name) const {
  KJ_IF_MAYBE(field, builder_.getSchema().findFieldByName(name)) {
    return *field;
  }
  throwNoSuchField(builder_.getSchema(), name);
}

std::vector<std::string> DynamicStructWrapper::availableFields() const {
  std::vector<std::string> names;
  for (auto field : builder_.getSchema().getNonUnionFields()) {
    if (builder_.has(field, capnp::HasMode::NON_NULL)) {
      names.push_back(fieldName(field));
    }
  }
  KJ_IF_MAYBE(member, builder_.which()) {
    names.push_back(fieldName(*member));
  }
  return names;
}

bool DynamicStructWrapper::contains(const std::string& name) const {
  KJ_IF_MAYBE(field, builder_.getSchema().findFieldByName(name)) {
    return builder_.has(*field, capnp::HasMode::NON_NULL);
  }
  return false;
}

std::size_t DynamicStructWrapper::length() const {
  std::size_t count = builder_.getSchema().getNonUnionFields().size();
  if (builder_.which() != nullptr) {
    ++count;
  }
  return count;
}

py::object DynamicStructWrapper::get(const std::string& name, py::handle self) {
  auto cached = children_.find(name);
  if (cached != children_.end()) {
    return cached->second;
  }
  KJ_IF_MAYBE(field, builder_.getSchema().findFieldByName(name)) {
    if (builder_.has(*field, capnp::HasMode::NON_NULL)) {
      auto value = dynamicValueToPython(builder_.get(*field), message_, registry_);
      children_[name] = value;
      return value;
    }
  }
  return dynamicMethod(name, self);
}

py::object DynamicStructWrapper::dynamicMethod(const std::string& name, py::handle self) {
  auto schema = builder_.getSchema();
  if (name.size() > 5 && name.compare(0, 5, "init_") == 0) {
    const std::string target = name.substr(5);
    KJ_IF_MAYBE(field, schema.findFieldByName(target)) {
      py::object owner = self ? py::reinterpret_borrow<py::object>(self) : py::cast(*this);
      auto type = field->getType();
      if (type.isStruct()) {
        return py::cpp_function([owner, target](py::kwargs kwargs) {
          return owner.cast<DynamicStructWrapper&>().initStruct(target, kwargs);
        });
      }
      if (!type.isList()) {
        throw py::type_error(fmt::format(
            "Unable to initialize field \"{}\". Field must be of type struct or list", target));
      }
      return py::cpp_function([owner, target](std::uint32_t size) {
        return owner.cast<DynamicStructWrapper&>().initList(target, size);
      });
    }
  }
  if (schema.findFieldByName(name) != nullptr) {
    throw py::attribute_error(fmt::format(
        "Field \"{0}\" cannot be accessed because it has not been initialized. To initialize "
        "it, call init_{0} first",
        name));
  }
  throwNoSuchField(schema, name);
}

void DynamicStructWrapper::forgetChild(capnp::StructSchema::Field field) {
  children_.erase(fieldName(field));
  // Setting one union member deactivates the others: their cached objects
  // would show stale data.
  if (field.getProto().getDiscriminantValue() != capnp::schema::Field::NO_DISCRIMINANT) {
    for (auto member : builder_.getSchema().getUnionFields()) {
      children_.erase(fieldName(member));
    }
  }
}

void DynamicStructWrapper::set(const std::string& name, py::handle value) {
  auto field = requireField(name);
  structElementToCapnp(name, value, builder_);
  forgetChild(field);
}

py::object DynamicStructWrapper::initStruct(const std::string& name, const py::kwargs& kwargs) {
  auto field = requireField(name);
  if (!field.getType().isStruct()) {
    throw py::type_error(
        fmt::format("Unable to initialize field \"{}\". Field must be of type struct", name));
  }
  auto child = builder_.init(field).as<capnp::DynamicStruct>();
  forgetChild(field);
  for (auto item : kwargs) {
    structElementToCapnp(py::cast<std::string>(item.first), item.second, child);
  }
  auto result = createChild(message_, child, registry_);
  children_[name] = result;
  return result;
}

py::object DynamicStructWrapper::initList(const std::string& name, std::uint32_t size) {
  auto field = requireField(name);
  if (!field.getType().isList()) {
    throw py::type_error(
        fmt::format("Unable to initialize field \"{}\". Field must be of type list", name));
  }
  auto list = builder_.init(field, size).as<capnp::DynamicList>();
  forgetChild(field);
  auto result = py::cast(DynamicListWrapper(message_, list, registry_));
  children_[name] = result;
  return result;
}

std::string DynamicStructWrapper::unionElementName() const {
  KJ_IF_MAYBE(member, builder_.which()) {
    return fieldName(*member);
  }
  throw py::attribute_error("Struct contains no union element.");
}

py::object DynamicStructWrapper::unwrap() {
  if (capnpId() == kResultStructId) {
    return unwrapResult(builder_, message_, registry_);
  }
  return py::cast(*this);
}

std::string DynamicStructWrapper::toJson() const { return nuvrel::toJson(builder_.asReader(), false); }

py::bytes DynamicStructWrapper::toPackedCapnp() const {
  if (!isRoot_) {
    throwError(PythonCapnpErrc::valueError, "Only the root struct can be packed.");
  }
  return py::bytes(message_->toPackedCapnp());
}

// ---------------------------------------------------------------------------
// DynamicListWrapper

DynamicListWrapper::DynamicListWrapper(MessagePtr message, capnp::DynamicList::Builder list,
                                       RegistryRef registry)
    : message_(std::move(message)), list_(list), registry_(std::move(registry)) {}

void DynamicListWrapper::requireIndex(std::uint32_t index) const {
  if (index >= list_.size()) {
    throw py::index_error("out of bounds");
  }
}

const std::vector<py::object>& DynamicListWrapper::getInitializedChildren() {
  if (children_.empty() && list_.size() > 0) {
    std::vector<py::object> children;
    children.reserve(list_.size());
    for (unsigned i = 0; i < list_.size(); ++i) {
      children.push_back(dynamicValueToPython(list_[i], message_, registry_));
    }
    children_ = std::move(children);
  }
  return children_;
}

py::object DynamicListWrapper::getItem(std::uint32_t index) {
  requireIndex(index);
  return getInitializedChildren()[index];
}

void DynamicListWrapper::setItem(std::uint32_t index, py::handle value) {
  requireIndex(index);
  listElementToCapnp(index, value, list_);
  if (!children_.empty()) {
    children_[index] = dynamicValueToPython(list_[index], message_, registry_);
  }
}

py::iterator DynamicListWrapper::iter() {
  const auto& children = getInitializedChildren();
  py::tuple items(children.size());
  for (std::size_t i = 0; i < children.size(); ++i) {
    items[i] = children[i];
  }
  return py::iter(items);
}

std::string DynamicListWrapper::toString() const {
  return quotesToApostrophes(nuvrel::toJson(list_.asReader(), false));
}

py::buffer_info DynamicListBufferWrapper::getBufferInfo() const {
  return python::getBufferInfo(getCapnpBuilder().asReader());
}

// ---------------------------------------------------------------------------
// DynamicEnumWrapper

py::object DynamicEnumWrapper::name() const {
  KJ_IF_MAYBE(enumerant, value_.getEnumerant()) {
    return py::str(enumerant->getProto().getName().cStr());
  }
  return py::none();
}

bool DynamicEnumWrapper::equalsName(const std::string& text) const {
  KJ_IF_MAYBE(enumerant, value_.getEnumerant()) {
    return text == enumerant->getProto().getName().cStr();
  }
  return false;
}

}  // namespace nuvrel::python
