#include "protocol/schema_loader.h"

#include <capnp/message.h>
#include <capnp/schema.capnp.h>
#include <kj/debug.h>

#include <string>

#include "errors/exception.h"
#include "errors/throw_error.h"
#include "protocol/schema_blob.h"
#include "version/sem_ver.h"

namespace nuvrel::python {

SchemaLoaderWrapper::SchemaLoaderWrapper(std::string_view schema, std::string_view version) {
  if (version.empty() || SemVer(version).major() < 3) {
    throwError(PythonCapnpErrc::runtimeError,
               "Cannot load a schema generated with a version older than 3.0.0");
  }
  loader_ = std::make_shared<capnp::SchemaLoader>();
  loadSchemaBlob(schema, *loader_);
}

InterfaceSchemaWrapper SchemaLoaderWrapper::getInterfaceSchema(std::uint64_t id) const {
  if (loader_->tryGet(id) == nullptr) {
    throwError(PythonCapnpErrc::keyError, "Interface with id {} not found in schema loader.", id);
  }
  return InterfaceSchemaWrapper(loader_, id);
}

capnp::StructSchema SchemaLoaderWrapper::getStructSchema(std::uint64_t id) const {
  KJ_IF_MAYBE(schema, loader_->tryGet(id)) {
    return schema->asStruct();
  }
  throwError(PythonCapnpErrc::keyError, "Struct with id {} not found in schema loader.", id);
}

InterfaceSchemaWrapper::InterfaceSchemaWrapper(capnp::AnyStruct::Reader capSchema)
    : loader_(std::make_shared<capnp::SchemaLoader>()), id_(0) {
  auto data = capSchema.getDataSection();
  if (data.size() >= sizeof(std::uint64_t)) {
    for (size_t i = 0; i < sizeof(std::uint64_t); ++i) {
      id_ |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    }
  }
  auto pointers = capSchema.getPointerSection();
  if (pointers.size() > 0) {
    for (auto node : pointers[0].getAs<capnp::List<capnp::schema::Node>>()) {
      loader_->load(node);
    }
  }
}

capnp::InterfaceSchema InterfaceSchemaWrapper::getInterface() const {
  return loader_->getUnbound(id_).asInterface();
}

}  // namespace nuvrel::python

namespace nuvrel {

void CapnpTrait<python::InterfaceSchemaWrapper, capnp::DynamicStruct>::toCapnp(
    const python::InterfaceSchemaWrapper& schema, capnp::DynamicStruct::Builder builder) {
  auto loaded = schema.getAllLoaded();

  capnp::MallocMessageBuilder scratch(1024);
  auto nodes = scratch.initRoot<capnp::AnyPointer>().initAs<capnp::List<capnp::schema::Node>>(
      static_cast<unsigned>(loaded.size()));
  for (unsigned i = 0; i < loaded.size(); ++i) {
    nodes.setWithCaveats(i, loaded[i].getProto());
  }

  builder.set("typeId", schema.schemaId());
  // The target's Node type may come from another loader than the compiled-in
  // one, so the list is copied below the dynamic layer, into the field's slot.
  auto field = builder.getSchema().getFieldByName("theSchema");
  KJ_REQUIRE(field.getProto().isSlot(), "theSchema must be a plain field");
  const auto offset = field.getProto().getSlot().getOffset();
  capnp::AnyStruct::Builder any = builder;
  auto pointers = any.getPointerSection();
  KJ_REQUIRE(offset < pointers.size(), "theSchema lies outside the struct");
  pointers[offset].setAs<capnp::List<capnp::schema::Node>>(nodes.asReader());
}

}  // namespace nuvrel
