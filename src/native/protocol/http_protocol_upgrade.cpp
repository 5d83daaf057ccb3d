#include "protocol/http_protocol_upgrade.h"

#include <capnp/serialize.h>
#include <kj/debug.h>

#include <algorithm>
#include <string>

#include "errors/exception.h"
#include "kj/async_io.h"
#include "kj/http_header.h"
#include "kj/prefixed_stream.h"
#include "kj/timeout.h"
#include "logging/log.h"
#include "protocol/http_error.h"
#include "protocol/pre_capnp_handshake.h"

namespace nuvrel {

using kj_asio::Hopefully;
using kj_asio::HttpResponseHead;
using kj_asio::ifOk;

namespace {

template <typename T, typename E>
ExceptionOr<T> failed(E exception) {
  return ExceptionOr<T>(std::make_exception_ptr(kj::mv(exception)));
}

// Failures of the exchange itself are the event library's, reported as they
// are.
template <typename T>
Hopefully<T> mapExchangeFailure(kj::Promise<T>&& promise) {
  return promise.then([](T&& value) { return ExceptionOr<T>(kj::mv(value)); },
                      [](kj::Exception&& e) { return failed<T>(HttpError::unexpectedKjException(e)); });
}

}  // namespace

Hopefully<KernelEndpoint> HttpProtocolUpgrade::attemptUpgrade(
    kj::Network& network, kj::Timer& timer, kj::String host, std::uint16_t port,
    DestinationParams destination, HandshakeBehavior behavior, std::chrono::milliseconds timeout,
    std::vector<ClientWireProtocol> protocols, LyrVectorParsing lyrVectors,
    OnOrvaneVersionMismatch policy, kj::Own<kj::AsyncIoStream> stream) {
  auto upgrade = kj::heap<HttpProtocolUpgrade>(network, kj::mv(host), port, kj::mv(destination),
                                               behavior, kj::mv(stream), kj::mv(protocols),
                                               lyrVectors, policy);
  auto& self = *upgrade;
  // The object, and with it the connection, lives exactly as long as the
  // attempt: the time-out cancelling the attempt closes the socket.
  auto attempt = self.doProtocolUpgrade().attach(kj::mv(upgrade)).catch_([](kj::Exception&& e) {
    return failed<KernelEndpoint>(HttpError::unexpectedKjException(e));
  });
  return preciseTimeoutAfter(timer, timeout, kj::mv(attempt), "connection to the data-server");
}

HttpProtocolUpgrade::HttpProtocolUpgrade(kj::Network& network, kj::String host, std::uint16_t port,
                                         DestinationParams destination,
                                         HandshakeBehavior behavior,
                                         kj::Own<kj::AsyncIoStream> stream,
                                         std::vector<ClientWireProtocol> protocols,
                                         LyrVectorParsing lyrVectors,
                                         OnOrvaneVersionMismatch policy)
    : network_(network),
      host_(kj::mv(host)),
      port_(port),
      destination_(kj::mv(destination)),
      behavior_(behavior),
      stream_(kj::mv(stream)),
      protocols_(kj::mv(protocols)),
      lyrVectors_(lyrVectors),
      policy_(policy) {}

Hopefully<KernelEndpoint> HttpProtocolUpgrade::doProtocolUpgrade() {
  return connect()
      .then(ifOk([this]() { return handshake(); }))
      .then(ifOk([this]() { return doSendRequest(); }))
      .then(ifOk([this](HttpResponseHead&& response) { return parseResponse(kj::mv(response)); }));
}

Hopefully<void> HttpProtocolUpgrade::connect() {
  if (stream_) {
    return kj_asio::ready<void>({});
  }
  return kj_asio::connect(network_, host_, port_)
      .then(ifOk([this](kj::Own<kj::AsyncIoStream>&& stream) { stream_ = kj::mv(stream); }));
}

Hopefully<void> HttpProtocolUpgrade::handshake() {
  auto handshaking =
      behavior_ == HandshakeBehavior::Check
          ? PreCapnpHandshake::doClientSideHandshake(
                kj::mv(stream_), PreCapnpHandshake::ServerType::orchestrator, policy_)
          : PreCapnpHandshake::doClientSideHandshakeNoCheck(kj::mv(stream_));
  return handshaking.then(ifOk([this](PreCapnpHandshake::HandshakeResult&& result) {
    stream_ = kj::mv(result.stream);
  }));
}

kj::Url HttpProtocolUpgrade::prepareUrl(const DestinationParams& destination) {
  kj::Url url;
  url.path.add(kj::str("api"));
  url.path.add(kj::str("v1"));
  url.path.add(kj::str("kernel"));
  if (const auto* device = std::get_if<DeviceConnectionParams>(&destination.params())) {
    url.path.add(kj::str("devid"));
    url.path.add(kj::str(device->serial.toStringLowerCase().c_str()));
    const auto& settings = device->settings;
    url.query.add(kj::Url::QueryParam{kj::str("interface"), kj::str(settings.interface.c_str())});
    url.query.add(kj::Url::QueryParam{kj::str("autolaunch"),
                                      kj::str(settings.autolaunch.value() ? "1" : "0")});
    url.query.add(kj::Url::QueryParam{kj::str("api"), kj::str(int(settings.apiLevel))});
  } else {
    url.path.add(kj::str("ks"));
    url.query.add(kj::Url::QueryParam{kj::str("apiLevel"), kj::str(int(destination.apiLevel()))});
  }
  return url;
}

kj::HttpHeaders HttpProtocolUpgrade::prepareHeaders(kj::StringPtr host, std::uint16_t port,
                                                    const std::vector<ClientWireProtocol>& protocols,
                                                    LyrVectorParsing lyrVectors) {
  auto headers = kj_asio::HttpHeader::make();
  headers.set(kj_asio::HttpHeader::accept(), "application/capnp");
  headers.set(kj::HttpHeaderId::CONNECTION, "Upgrade");
  headers.set(kj::HttpHeaderId::HOST, kj::str(host, ":", port));
  std::string upgrade;
  for (const auto protocol : protocols) {
    if (!upgrade.empty()) {
      upgrade += ",";
    }
    upgrade += toString(protocol);
  }
  headers.set(kj::HttpHeaderId::UPGRADE, kj::str(upgrade.c_str()));
  headers.add("Nuvrel.Client.WantsCntAndTriggersAsVectors", "true");
  if (lyrVectors == LyrVectorParsing::yes) {
    headers.add("Nuvrel.Client.WantsLyrVectors", "true");
  }
  return headers;
}

kj::String HttpProtocolUpgrade::requestText() const {
  auto headers = prepareHeaders(host_, port_, protocols_, lyrVectors_);
  // Without connection headers of its own, the serializer writes the
  // Connection and Upgrade values set above.
  return headers.serializeRequest(kj::HttpMethod::GET,
                                  prepareUrl(destination_).toString(kj::Url::HTTP_REQUEST));
}

Hopefully<HttpResponseHead> HttpProtocolUpgrade::doSendRequest() {
  auto exchange = kj::evalNow([this]() {
    auto request = requestText();
    auto& stream = *stream_;
    auto writing = stream.write(request.begin(), request.size());
    return writing.attach(kj::mv(request)).then([this]() {
      return kj_asio::readResponseHead(*stream_, kj_asio::HttpHeader::defaultTable());
    });
  });
  return mapExchangeFailure(kj::mv(exchange));
}

unsigned HttpProtocolUpgrade::normaliseStatus(unsigned status) noexcept {
  const auto in = [status](unsigned low, unsigned high) { return status >= low && status <= high; };
  const bool registered = in(100, 103) || in(200, 208) || status == 226 || in(300, 305) ||
                          status == 307 || status == 308 || in(400, 418) || in(421, 426) ||
                          status == 428 || status == 429 || status == 431 || status == 451 ||
                          in(500, 508) || status == 510 || status == 511;
  return registered ? status : 0;
}

kj::Promise<kj::Array<kj::byte>> HttpProtocolUpgrade::readBody(HttpResponseHead& response) {
  return kj::evalNow([&]() {
    return kj_asio::readResponseBody(*stream_, response, kMaxResponseBodySize);
  });
}

Hopefully<KernelEndpoint> HttpProtocolUpgrade::parseResponse(HttpResponseHead&& response) {
  const unsigned status = normaliseStatus(response.statusCode);
  auto parsing = kj_asio::hopefullyNow([&]() { return ParsedHeaders(response.headers); });
  return parsing.then(ifOk([this, status, response = kj::mv(response)](
                               ParsedHeaders&& headers) mutable -> Hopefully<KernelEndpoint> {
    if (status == 101) {
      return switchingProtocolsResponse(kj::mv(headers), kj::mv(response.extra));
    }
    // The body is read from the head's own buffer and the stream; the head
    // (and with it the headers' text) lives in the continuation.
    auto head = kj::heap<HttpResponseHead>(kj::mv(response));
    auto body = readBody(*head).attach(kj::mv(head));
    if (status == 200) {
      return okResponse(status, kj::mv(headers), kj::mv(body));
    }
    return errorResponse(status, headers, kj::mv(body));
  }));
}

Hopefully<KernelEndpoint> HttpProtocolUpgrade::switchingProtocolsResponse(
    ParsedHeaders headers, kj::Array<kj::byte> extra) {
  if (!headers.kernelUid) {
    return kj_asio::ready(failed<KernelEndpoint>(HttpError::uidHeaderMissing()));
  }
  if (!headers.kernelVersion) {
    return kj_asio::ready(failed<KernelEndpoint>(HttpError::missingKernelVersion()));
  }
  ClientWireProtocol protocol;
  if (std::holds_alternative<CapnpTag>(headers.upgradeProtocol)) {
    protocol = ClientWireProtocol::capnp;
  } else if (std::holds_alternative<BinmsgTag>(headers.upgradeProtocol)) {
    protocol = ClientWireProtocol::binmsg;
  } else if (const auto* other = std::get_if<UnsupportedTag>(&headers.upgradeProtocol)) {
    return kj_asio::ready(
        failed<KernelEndpoint>(HttpError::unsupportedUpgradeProtocol(other->text)));
  } else {
    return kj_asio::ready(failed<KernelEndpoint>(HttpError::missingUpgradeHeader()));
  }
  // What the server sent after the head is already the new protocol.
  return kj_asio::ready(ExceptionOr<KernelEndpoint>(
      KernelStream{*headers.kernelUid, kj_asio::withPrefix(kj::mv(stream_), kj::mv(extra)),
                   protocol, *headers.kernelVersion}));
}

namespace {

// The content-type dispatch shared by 200 and the error statuses.
Hopefully<KernelDescriptor> bodyByContentType(unsigned status, const ParsedHeaders& headers,
                                              kj::Promise<kj::Array<kj::byte>> body) {
  if (std::holds_alternative<CapnpTag>(headers.contentType)) {
    return parseCapnpBody(status, kj::mv(body));
  }
  if (const auto* other = std::get_if<UnsupportedTag>(&headers.contentType)) {
    return kj_asio::ready(failed<KernelDescriptor>(HttpError::unsupportedContentType(other->text)));
  }
  return kj_asio::ready(failed<KernelDescriptor>(HttpError::missingContentType()));
}

}  // namespace

Hopefully<KernelEndpoint> HttpProtocolUpgrade::okResponse(unsigned status, ParsedHeaders headers,
                                                          kj::Promise<kj::Array<kj::byte>> body) {
  if (!headers.kernelUid) {
    return kj_asio::ready(failed<KernelEndpoint>(HttpError::uidHeaderMissing()));
  }
  const KernelUid uid = *headers.kernelUid;
  return bodyByContentType(status, headers, kj::mv(body))
      .then(ifOk([uid](KernelDescriptor&& descriptor) -> ExceptionOr<KernelEndpoint> {
        NUVREL_LOG(debug) << "Protocol upgrade to " << descriptor << " rejected by the server.";
        if (descriptor.port == 0) {
          return failed<KernelEndpoint>(HttpError::missingPort());
        }
        return KernelEndpoint(KernelRedirection{uid, kj::mv(descriptor)});
      }));
}

Hopefully<KernelEndpoint> errorResponse(unsigned status, const ParsedHeaders& headers,
                                        kj::Promise<kj::Array<kj::byte>> body) {
  return bodyByContentType(status, headers, kj::mv(body))
      .then([status](ExceptionOr<KernelDescriptor>&& result) {
        if (result.hasException()) {
          return ExceptionOr<KernelEndpoint>(result.exception());
        }
        return failed<KernelEndpoint>(HttpError::httpErrorStatus(status));
      });
}

Hopefully<KernelDescriptor> parseCapnpBody(unsigned status,
                                           kj::Promise<kj::Array<kj::byte>> body) {
  auto unreadable = [status](const kj::Exception& e) {
    if (status == 200 || status == 101) {
      return failed<KernelDescriptor>(HttpError::cantParseBody(e));
    }
    return failed<KernelDescriptor>(HttpError::httpErrorStatus(status));
  };
  return body.then(
      [unreadable](kj::Array<kj::byte>&& bytes) -> ExceptionOr<KernelDescriptor> {
        try {
          kj::ArrayInputStream input(bytes);
          capnp::ReaderOptions options;
          options.traversalLimitInWords = 8388608;
          options.nestingLimit = 64;
          capnp::InputStreamMessageReader message(input, options);
          return CapnpTrait<ExceptionOr<KernelDescriptor>, KernelRequestResult>::fromCapnp(
              message.getRoot<KernelRequestResult>());
        } catch (const kj::Exception& e) {
          return unreadable(e);
        }
      },
      [unreadable](kj::Exception&& e) { return unreadable(e); });
}

}  // namespace nuvrel
