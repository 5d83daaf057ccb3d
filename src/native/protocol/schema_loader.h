// Schemas loaded from a binary schema blob, and one interface taken from
// them. Python-free; the Python classes SchemaLoader and InterfaceSchema wrap
// these.
//
// Threads: both classes are immutable after construction and may be used
// from the Python thread and the worker thread at once (capnp::SchemaLoader
// locks internally). The capnp::SchemaLoader is shared with every interface
// schema and every dynamic value built from its schemas, so the nodes stay
// valid as long as any of them lives.
#pragma once

#include <capnp/any.h>
#include <capnp/dynamic.h>
#include <capnp/schema-loader.h>
#include <kj/array.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "protocol/capnp_trait.h"

namespace nuvrel::python {

class InterfaceSchemaWrapper;

class SchemaLoaderWrapper {
 public:
  // Loads the blob (protocol/schema_blob.h). `version` is the version of the
  // package that produced the blob: empty or a major below 3 is refused with
  // runtimeError "Cannot load a schema generated with a version older than
  // 3.0.0"; text that is not a semantic version is refused with
  // "Invalid version expression: '<text>'.".
  SchemaLoaderWrapper(std::string_view schema, std::string_view version);

  // Throws keyError "Interface with id <id> not found in schema loader." for
  // an id that is not loaded. The node kind is not checked here.
  InterfaceSchemaWrapper getInterfaceSchema(std::uint64_t id) const;

  // Throws keyError "Struct with id <id> not found in schema loader."; a node
  // of another kind fails Cap'n Proto's own check.
  capnp::StructSchema getStructSchema(std::uint64_t id) const;

  const std::shared_ptr<capnp::SchemaLoader>& getImpl() const { return loader_; }

 private:
  std::shared_ptr<capnp::SchemaLoader> loader_;
};

class InterfaceSchemaWrapper {
 public:
  InterfaceSchemaWrapper(std::shared_ptr<capnp::SchemaLoader> loader, std::uint64_t id)
      : loader_(std::move(loader)), id_(id) {}

  // From a reflection `CapSchema` struct (typed or any reader): a private
  // loader with every node of theSchema, in list order; the id is typeId (0
  // when the data section is shorter than one word). Cap'n Proto failures
  // propagate as kj::Exception.
  explicit InterfaceSchemaWrapper(capnp::AnyStruct::Reader capSchema);

  // The unbound interface; fails Cap'n Proto's check if the node is not an
  // interface.
  capnp::InterfaceSchema getInterface() const;
  std::uint64_t schemaId() const { return id_; }
  kj::Array<capnp::Schema> getAllLoaded() const { return loader_->getAllLoaded(); }
  const std::shared_ptr<capnp::SchemaLoader>& getImpl() const { return loader_; }

 private:
  std::shared_ptr<capnp::SchemaLoader> loader_;
  std::uint64_t id_;
};

}  // namespace nuvrel::python

namespace nuvrel {

// Fills a `CapSchema` struct: typeId = the interface id, theSchema = the
// node of every schema the loader holds, in getAllLoaded order.
template <>
struct CapnpTrait<python::InterfaceSchemaWrapper, capnp::DynamicStruct> {
  static void toCapnp(const python::InterfaceSchemaWrapper& schema,
                      capnp::DynamicStruct::Builder builder);
};

}  // namespace nuvrel
