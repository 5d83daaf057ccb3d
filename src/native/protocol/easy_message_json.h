// JSON form of dynamic values: Cap'n Proto's JSON codec with Data values
// written as hexadecimal text instead of arrays of numbers.
#pragma once

#include <capnp/compat/json.h>
#include <capnp/dynamic.h>

#include <string>

namespace nuvrel {

// Encodes Data as a JSON string of two lower-case hexadecimal digits per
// byte. Decodes such a string (either case) or an array of numbers (low 8
// bits of each). Stateless; one shared instance serves every codec.
class DataHexHandler final : public capnp::JsonCodec::Handler<capnp::Data> {
 public:
  void encode(const capnp::JsonCodec& codec, capnp::Data::Reader input,
              capnp::JsonValue::Builder output) const override;
  capnp::Orphan<capnp::Data> decode(const capnp::JsonCodec& codec, capnp::JsonValue::Reader input,
                                    capnp::Orphanage orphanage) const override;

  static DataHexHandler& instance();
};

// The default JsonCodec plus the DataHexHandler. Compact unless a caller
// turns pretty printing on.
class EasyMessageJsonCodec : public capnp::JsonCodec {
 public:
  EasyMessageJsonCodec();
};

std::string toJson(capnp::DynamicStruct::Reader reader, bool prettyPrint);
std::string toJson(capnp::DynamicList::Reader reader, bool prettyPrint);

}  // namespace nuvrel
