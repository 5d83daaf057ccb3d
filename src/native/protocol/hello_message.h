// The fixed-size hello message a data server sends first on every connection:
// the compact JSON form of a `HelloMsg`, a line feed, spaces up to byte 254
// and a NUL in byte 255 (`HelloMsg::FIXED_LENGTH` = 256 bytes in all).
#pragma once

#include <kj/array.h>
#include <kj/memory.h>

#include <string>

#include "protocol/schemas/common/hello_msg.capnp.h"

namespace nuvrel {

// A reader together with the message that holds it; both go away together.
using OwnedHelloMsg = kj::Own<nuvrel_capnp::HelloMsg::Reader>;

class HelloMessage {
 public:
  // The message of a sender of `kind` with session schema version `schema`
  // and this client's product version as `pvVer`.
  static std::string make(nuvrel_capnp::HelloMsg::Kind kind, capnp::Text::Reader schema,
                          nuvrel_capnp::HelloMsg::Protocol protocol);

  // The 256-byte form of `hello`. Throws an Exception (valueError) when the
  // JSON text is longer than 254 bytes, which would leave no room for the
  // line feed and the NUL.
  static std::string toString(nuvrel_capnp::HelloMsg::Reader hello);
  static std::string toString(nuvrel_capnp::HelloMsg::Builder hello) {
    return toString(hello.asReader());
  }

  // Decodes a received message. The last byte must be NUL (else an Exception
  // "The server sent a hello message without null termination. This is not
  // accepted."); the JSON text ends at the first NUL, and members that name
  // no field are ignored. A text the JSON codec refuses throws its
  // kj::Exception.
  static OwnedHelloMsg fromRawBuffer(kj::ArrayPtr<const kj::byte> bytes);
};

// "unknown", "capnp", "http"; any other value throws KSInternalException
// "Unknown protocol in HelloMsg::Protocol".
std::string toString(nuvrel_capnp::HelloMsg::Protocol protocol);

}  // namespace nuvrel
