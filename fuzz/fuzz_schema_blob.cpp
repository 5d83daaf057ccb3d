// The schema blob loader: packed CapSchema bytes as a peer or a generated
// module hands them over. Every failure must be an exception.
#include <capnp/schema-loader.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/schema_blob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  capnp::SchemaLoader loader;
  try {
    nuvrel::loadPackedCapSchema(kj::arrayPtr(data, size), loader);
    // What loaded must also be usable.
    for (auto schema : loader.getAllLoaded()) {
      (void)schema.getProto().getDisplayName();
      if (schema.getProto().isStruct()) (void)schema.asStruct().getFields().size();
    }
  } catch (...) {
  }
  // The text form: base64 decoding of arbitrary text.
  try {
    capnp::SchemaLoader textLoader;
    nuvrel::loadSchemaBlob(std::string_view(reinterpret_cast<const char*>(data), size), textLoader);
  } catch (...) {
  }
  return 0;
}
