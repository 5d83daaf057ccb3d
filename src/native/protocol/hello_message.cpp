#include "protocol/hello_message.h"

#include <boost/throw_exception.hpp>
#include <capnp/compat/json.h>
#include <capnp/message.h>

#include <algorithm>

#include "errors/exception.h"
#include "errors/throw_error.h"
#include "version/orvane_version_check.h"

namespace nuvrel {

namespace {

using nuvrel_capnp::HelloMsg;

constexpr std::size_t kLength = HelloMsg::FIXED_LENGTH;
// The JSON is followed by at least a line feed and the closing NUL.
constexpr std::size_t kMaxJsonLength = kLength - 2;

}  // namespace

std::string HelloMessage::make(HelloMsg::Kind kind, capnp::Text::Reader schema,
                               HelloMsg::Protocol protocol) {
  capnp::MallocMessageBuilder message;
  auto hello = message.initRoot<HelloMsg>();
  hello.setKind(kind);
  hello.setProtocol(protocol);
  hello.setSchema(schema);
  hello.setPvVer(nuvrel::toString(clientOrvaneVersion()));
  return toString(hello.asReader());
}

std::string HelloMessage::toString(HelloMsg::Reader hello) {
  capnp::JsonCodec codec;
  auto json = codec.encode(hello);
  if (json.size() > kMaxJsonLength) {
    throwError(PythonCapnpErrc::valueError,
               "The hello message needs {} bytes of JSON, but at most {} fit in its {} bytes.",
               json.size(), kMaxJsonLength, kLength);
  }
  std::string text(json.cStr(), json.size());
  text += '\n';
  text.resize(kLength - 1, ' ');
  text += '\0';
  return text;
}

OwnedHelloMsg HelloMessage::fromRawBuffer(kj::ArrayPtr<const kj::byte> bytes) {
  if (bytes.size() == 0 || bytes[bytes.size() - 1] != 0) {
    throwError(KS_ERROR_GENERAL,
               "The server sent a hello message without null termination. This is not accepted.");
  }
  auto chars = bytes.asChars();
  auto end = std::find(chars.begin(), chars.end(), '\0');
  auto json = kj::arrayPtr(chars.begin(), end);

  auto message = kj::heap<capnp::MallocMessageBuilder>(
      1024, capnp::AllocationStrategy::GROW_HEURISTICALLY);
  auto hello = message->initRoot<HelloMsg>();
  capnp::JsonCodec codec;
  codec.decode(json, hello);
  return kj::heap<HelloMsg::Reader>(hello.asReader()).attach(kj::mv(message));
}

std::string toString(HelloMsg::Protocol protocol) {
  switch (protocol) {
    case HelloMsg::Protocol::UNKNOWN: return "unknown";
    case HelloMsg::Protocol::CAPNP: return "capnp";
    case HelloMsg::Protocol::HTTP: return "http";
  }
  boost::throw_exception(KSInternalException("Unknown protocol in HelloMsg::Protocol"),
                         BOOST_CURRENT_LOCATION);
}

}  // namespace nuvrel
