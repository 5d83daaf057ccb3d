// One owned Cap'n Proto message with a dynamic struct root.
//
// Every Python wrapper of a value inside the message (the root struct, nested
// structs, lists, enums) shares one EasyMessage through a std::shared_ptr, so
// the message lives exactly as long as the last of them. The message also
// holds a keep-alive of whatever owns the root's schema (in practice the
// capnp::SchemaLoader the schema came from): a StructSchema is only a pointer
// into its loader.
//
// Threads: an EasyMessage is not locked. It is used by one thread at a time;
// a message received over RPC may be handed from the worker to Python and its
// last reference back to the worker (see CapabilityClientRegistry).
#pragma once

#include <capnp/dynamic.h>
#include <capnp/message.h>
#include <kj/array.h>

#include <memory>
#include <string>
#include <string_view>

namespace nuvrel {

template <typename Root>
class EasyMessage;

template <>
class EasyMessage<capnp::DynamicStruct> {
 public:
  // First segment of every message built here, in words.
  static constexpr unsigned kFirstSegmentWords = 1024;

  // An empty message; the root is created on the first getBuilder().
  EasyMessage(capnp::StructSchema schema, std::shared_ptr<const void> keepAlive);

  // Takes over an existing message whose root is (or will be) of `schema`.
  EasyMessage(std::unique_ptr<capnp::MallocMessageBuilder> message, capnp::StructSchema schema,
              std::shared_ptr<const void> keepAlive);

  EasyMessage(const EasyMessage&) = delete;
  EasyMessage& operator=(const EasyMessage&) = delete;
  ~EasyMessage() noexcept;

  // A new message holding a copy of `reader` (any struct, also one of a
  // received message); its schema is the reader's.
  static std::shared_ptr<EasyMessage> fromReader(capnp::DynamicStruct::Reader reader,
                                                 std::shared_ptr<const void> keepAlive);

  capnp::DynamicStruct::Builder getBuilder();
  capnp::DynamicStruct::Reader getReader();
  // Replaces the root by a copy of `reader`, which must be of the root schema.
  void setRoot(capnp::DynamicStruct::Reader reader);

  capnp::StructSchema getSchema() const { return schema_; }
  const std::shared_ptr<const void>& keepAlive() const { return keepAlive_; }
  capnp::MallocMessageBuilder& getMessage() { return *message_; }

  // JSON (with Data as hexadecimal text) and the packed stream encoding;
  // implemented in easy_message_json.cpp.
  static std::shared_ptr<EasyMessage> fromJson(std::string_view json, capnp::StructSchema schema,
                                               std::shared_ptr<const void> keepAlive);
  std::string toJson(bool prettyPrint = false);
  static std::shared_ptr<EasyMessage> fromPackedCapnp(std::string_view packed,
                                                      capnp::StructSchema schema,
                                                      std::shared_ptr<const void> keepAlive);
  std::string toPackedCapnp();

 private:
  // Declared first so that it is destroyed last: the schema and the message
  // may point into what it keeps alive.
  std::shared_ptr<const void> keepAlive_;
  std::unique_ptr<capnp::MallocMessageBuilder> message_;
  capnp::StructSchema schema_;
};

// Reader limits for every message the value layer reads from bytes.
capnp::ReaderOptions valueReaderOptions();

}  // namespace nuvrel
