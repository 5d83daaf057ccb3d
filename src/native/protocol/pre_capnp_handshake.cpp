#include "protocol/pre_capnp_handshake.h"

#include <boost/throw_exception.hpp>
#include <capnp/compat/json.h>
#include <kj/exception.h>

#include <string>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "kj/async_io.h"
#include "logging/log.h"
#include "protocol/schemas/session/session_protocol.capnp.h"
#include "version/cal_ver.h"

namespace nuvrel {

namespace {

using nuvrel_capnp::HelloMsg;

std::string jsonOf(HelloMsg::Kind kind) {
  capnp::JsonCodec codec;
  return codec.encode(kind).cStr();
}

std::string reasonOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const kj::Exception& e) {
    return e.getDescription().cStr();
  } catch (...) {
    return extractMessage(error);
  }
}

}  // namespace

namespace {

using HandshakeResult = PreCapnpHandshake::HandshakeResult;

// Reads the hello into a buffer owned by the continuation, which also keeps
// the stream until then; `finish` gets both.
template <typename Finish>
kj_asio::Hopefully<HandshakeResult> readHello(kj::Own<kj::AsyncIoStream> stream, Finish finish) {
  auto buffer = kj::heapArray<kj::byte>(HelloMsg::FIXED_LENGTH);
  auto& input = *stream;
  auto reading = kj_asio::read(input, buffer.asPtr());
  return reading.then(kj_asio::ifOk(
      [stream = kj::mv(stream), buffer = kj::mv(buffer), finish = kj::mv(finish)]() mutable {
        return finish(kj::mv(stream), buffer.asPtr().asConst());
      }));
}

}  // namespace

kj_asio::Hopefully<HandshakeResult> PreCapnpHandshake::doClientSideHandshake(
    kj::Own<kj::AsyncIoStream> stream, ServerType serverType, OnOrvaneVersionMismatch policy) {
  return readHello(kj::mv(stream), [serverType, policy](kj::Own<kj::AsyncIoStream>&& stream,
                                                        kj::ArrayPtr<const kj::byte> bytes) {
    auto hello = parseAndCheckHelloMessage(bytes, serverType, policy);
    HandshakeResult result;
    result.stream = kj::mv(stream);
    result.serverVersion = serverSchemaVersion(*hello);
    result.protocol = hello->getProtocol();
    result.serverOrvaneVersion = CalVer(std::string(hello->getPvVer().cStr()));
    return result;
  });
}

kj_asio::Hopefully<HandshakeResult> PreCapnpHandshake::doClientSideHandshakeNoCheck(
    kj::Own<kj::AsyncIoStream> stream) {
  return readHello(kj::mv(stream),
                   [](kj::Own<kj::AsyncIoStream>&& stream, kj::ArrayPtr<const kj::byte>) {
                     HandshakeResult result;
                     result.stream = kj::mv(stream);
                     return result;
                   });
}

SemVer PreCapnpHandshake::serverSchemaVersion(const HelloMsg::Reader& hello) {
  return hello.hasSchema() ? SemVer(hello.getSchema().cStr()) : SemVer(1, 0, 0);
}

const SemVer& PreCapnpHandshake::clientVersion() {
  static const SemVer version(nuvrel_capnp::Session::CAPABILITY_VERSION.get().cStr());
  return version;
}

HelloMsg::Kind PreCapnpHandshake::toKind(ServerType serverType) {
  switch (serverType) {
    case ServerType::unknown: return HelloMsg::Kind::UNKNOWN;
    case ServerType::orchestrator: return HelloMsg::Kind::ORCHESTRATOR;
    case ServerType::vkr: return HelloMsg::Kind::VKR;
  }
  NUVREL_LOG(debug) << "Unrecognized PreCapnpHandshake::ServerType with code "
                    << static_cast<int>(serverType) << ".";
  return HelloMsg::Kind::UNKNOWN;
}

OwnedHelloMsg PreCapnpHandshake::parseHelloMessage(kj::ArrayPtr<const kj::byte> bytes) {
  try {
    return HelloMessage::fromRawBuffer(bytes);
  } catch (...) {
    NUVREL_LOG(debug) << "Failed to parse the hello message from the server. Error: "
                      << reasonOf(std::current_exception()) << ". Received bytes: "
                      << std::string(bytes.asChars().begin(), bytes.size());
  }
  boost::throw_exception(
      KSIOInternalException("The server cannot be recognized as a Kestrane Server. Please make "
                            "sure host and port are correct."),
      BOOST_CURRENT_LOCATION);
}

void PreCapnpHandshake::checkServerHelloMessage(const HelloMsg::Reader& hello,
                                                ServerType serverType,
                                                OnOrvaneVersionMismatch policy) {
  const SemVer server = serverSchemaVersion(hello);
  const CalVer serverOrvane(std::string(hello.getPvVer().cStr()));
  const SemVer& client = clientVersion();
  if (server.major() != client.major()) {
    NUVREL_LOG(debug) << "Connection to server failed. Incompatible protocol version. The server "
                         "schema version is '"
                      << server << "' but the client is on version '" << client << "'.";
    auto message = server.major() < client.major() ? serverSchemaTooOldMessage(serverOrvane)
                                                   : clientSchemaTooOldMessage(serverOrvane);
    boost::throw_exception(ApiVersionMismatchException(message), BOOST_CURRENT_LOCATION);
  }

  const auto expected = toKind(serverType);
  if (hello.getKind() != expected) {
    // Worded as it always was, stray quote included.
    NUVREL_LOG(debug) << "Connection to server failed. Unkown server type "
                      << jsonOf(hello.getKind()) << "'. Expected: " << jsonOf(expected);
    boost::throw_exception(
        KSIOInternalException("The server is not supported. This usually indicates a outdated "
                              "client. Please update the client to the latest Orvane release."),
        BOOST_CURRENT_LOCATION);
  }

  checkVersionMatch(serverOrvane, policy);
}

OwnedHelloMsg PreCapnpHandshake::parseAndCheckHelloMessage(kj::ArrayPtr<const kj::byte> bytes,
                                                           ServerType serverType,
                                                           OnOrvaneVersionMismatch policy) {
  auto hello = parseHelloMessage(bytes);
  checkServerHelloMessage(*hello, serverType, policy);
  return hello;
}

}  // namespace nuvrel
