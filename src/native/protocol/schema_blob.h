// The binary schema blob: standard base64 text of a packed Cap'n Proto
// message whose root is a reflection `CapSchema` (typeId in data word 0,
// theSchema = List(schema.capnp Node) in pointer 0).
#pragma once

#include <capnp/schema-loader.h>
#include <kj/array.h>

#include <string_view>

namespace nuvrel {

// Decodes base64 text. Groups of four characters give three bytes; decoding
// stops at the first "=" or at the first character outside the alphabet. A
// last incomplete group of k = 2 or 3 characters (unpadded text) gives k-1
// bytes, so unpadded text decodes completely; a lone trailing character
// carries no whole byte and gives none. Bytes after the stop stay zero: the
// result always has the size of the complete decoding of the whole text.
kj::Array<kj::byte> decodeSchemaBase64(std::string_view text);

// Reads `packed` as a packed `CapSchema` message and loads every node of its
// theSchema list into `loader`, in list order. A missing list loads nothing.
// Any Cap'n Proto failure (malformed or truncated message, a node that does
// not load) throws PythonCapnpErrc::runtimeError with
// "Failed to load schema from string. (Error: <description>)".
void loadPackedCapSchema(kj::ArrayPtr<const kj::byte> packed, capnp::SchemaLoader& loader);

// Both steps on the blob text.
void loadSchemaBlob(std::string_view base64, capnp::SchemaLoader& loader);

}  // namespace nuvrel
