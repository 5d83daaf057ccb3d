// The client's side of the hello exchange that opens every connection to a
// data server: the server speaks first with a hello message (see
// hello_message.h), which the client parses and checks before it sends
// anything. This header holds the parts that need no event loop: parsing
// the received bytes and checking what they announce.
#pragma once

#include <kj/array.h>

#include "protocol/hello_message.h"
#include "protocol/schemas/common/hello_msg.capnp.h"
#include "version/orvane_version_check.h"
#include "version/sem_ver.h"

namespace nuvrel {

class PreCapnpHandshake {
 public:
  // The kind of server the caller expects.
  enum class ServerType : int {
    unknown = 0,
    orchestrator = 1,
    vkr = 2,
  };

  // The client's session schema version, `Session.capabilityVersion`
  // ("1.17.0"). Built once; then only read.
  static const SemVer& clientVersion();

  // `HelloMessage::fromRawBuffer`, with every failure logged at debug with the
  // received bytes and turned into KSIOInternalException "The server cannot
  // be recognized as a Kestrane Server. Please make sure host and port are
  // correct." (also what a client sees from a port where another service
  // answers).
  static OwnedHelloMsg parseHelloMessage(kj::ArrayPtr<const kj::byte> bytes);

  // Checks, in this order: the schema major version against the client's
  // (ApiVersionMismatchException naming the side to update; a hello without
  // `schema` counts as 1.0.0), the server kind (KSIOInternalException "The
  // server is not supported. ..."), and the product version by `policy`
  // (checkVersionMatch). A malformed `schema` or `pvVer` throws the parse
  // error of SemVer or CalVer.
  static void checkServerHelloMessage(const nuvrel_capnp::HelloMsg::Reader& hello,
                                      ServerType serverType, OnOrvaneVersionMismatch policy);

  // Parse, then check; the parsed message when both pass.
  static OwnedHelloMsg parseAndCheckHelloMessage(kj::ArrayPtr<const kj::byte> bytes,
                                                 ServerType serverType,
                                                 OnOrvaneVersionMismatch policy);

  // unknown, orchestrator and vkr map to the kinds of the same names; any
  // other value maps to unknown (logged at debug).
  static nuvrel_capnp::HelloMsg::Kind toKind(ServerType serverType);
};

}  // namespace nuvrel
