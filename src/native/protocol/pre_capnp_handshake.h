// The client's side of the hello exchange that opens every connection to a
// data server: the server speaks first with a hello message (see
// hello_message.h), which the client parses and checks before it sends
// anything. The asynchronous steps read the hello from the stream; the
// synchronous ones parse the received bytes and check what they announce.
#pragma once

#include <kj/array.h>
#include <kj/async-io.h>

#include "kj/hopefully.h"
#include "protocol/hello_message.h"
#include "protocol/schemas/common/hello_msg.capnp.h"
#include "version/cal_ver.h"
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

  // What the hello announced, with the stream handed back for what follows
  // on it. After the NoCheck variant only the stream is meaningful: the
  // versions are unset and the protocol is unknown.
  struct HandshakeResult {
    kj::Own<kj::AsyncIoStream> stream;
    SemVer serverVersion;
    nuvrel_capnp::HelloMsg::Protocol protocol = nuvrel_capnp::HelloMsg::Protocol::UNKNOWN;
    CalVer serverOrvaneVersion;
  };

  // Reads the server's hello (exactly HelloMsg::FIXED_LENGTH bytes; nothing
  // is sent), parses and checks it. Never rejects; the failures are those of
  // kj_asio::read (KSIOConnectionResetException "Issues connecting to the
  // server: ..." when the server closes early), parseHelloMessage and
  // checkServerHelloMessage. The stream is owned by the promise until it
  // settles: a failed or cancelled handshake closes it.
  static kj_asio::Hopefully<HandshakeResult> doClientSideHandshake(
      kj::Own<kj::AsyncIoStream> stream, ServerType serverType, OnOrvaneVersionMismatch policy);

  // Reads the hello and discards it unchecked; read failures as above.
  static kj_asio::Hopefully<HandshakeResult> doClientSideHandshakeNoCheck(
      kj::Own<kj::AsyncIoStream> stream);

  // The server's session schema version as the check compares it: the
  // SemVer of `schema`, or 1.0.0 when the hello has none. Throws the SemVer
  // parse error for a malformed text.
  static SemVer serverSchemaVersion(const nuvrel_capnp::HelloMsg::Reader& hello);

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
