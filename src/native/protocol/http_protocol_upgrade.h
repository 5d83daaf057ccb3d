// Turns a TCP connection to a data server into a Cap'n Proto byte stream that
// leads to one of its kernels (a device's kernel or the KS kernel).
//
// Every connection opens the same way: the server sends its hello
// (pre_capnp_handshake.h), the client sends one HTTP/1.1 GET asking to
// upgrade to the requested wire protocols, and the server answers 101 (the
// stream continues as that protocol), 200 (declined; a Cap'n Proto body says
// where the kernel is instead) or an error status (a Cap'n Proto body with
// the orchestrator's error). The exchange is written and read on the stream
// directly (http_response_reader.h explains why not kj::HttpClient); bytes
// the server sends right after the 101 head stay in the returned stream.
#pragma once

#include <kj/async-io.h>
#include <kj/compat/http.h>
#include <kj/compat/url.h>
#include <kj/timer.h>

#include <chrono>
#include <cstdint>
#include <variant>
#include <vector>

#include "kj/hopefully.h"
#include "kj/http_response_reader.h"
#include "protocol/client_wire_protocol.h"
#include "protocol/destination_params.h"
#include "protocol/kernel_descriptor.h"
#include "protocol/parsed_headers.h"
#include "version/orvane_version_check.h"

namespace nuvrel {

// How the hello that precedes the HTTP exchange is treated.
enum class HandshakeBehavior : int {
  NoCheck = 0,  // read and discard it
  Check = 1,    // read and check it (expecting an orchestrator)
};

// Whether the client asks for the product line's vector types.
enum class LyrVectorParsing : int {
  no = 0,
  yes = 1,
};

// The server switched the connection to `protocol`; `stream` continues as it.
struct KernelStream {
  KernelUid uid;
  kj::Own<kj::AsyncIoStream> stream;
  ClientWireProtocol protocol;
  VersionTriple version;
};

// The server declined and said where the kernel is.
struct KernelRedirection {
  KernelUid uid;
  KernelDescriptor descriptor;
};

using KernelEndpoint = std::variant<KernelStream, KernelRedirection>;

// The largest response body read: the reader limit of the message (8 388 608
// words) and room for its segment table.
inline constexpr std::uint64_t kMaxResponseBodySize = 8388608ull * 8 + 64 * 1024;

class HttpProtocolUpgrade {
 public:
  // One whole attempt: TCP connect (skipped when `stream` is given), hello,
  // request, response; bounded by `timeout` under the name "connection to
  // the data-server". Never rejects. Failures: those of kj_asio::connect, of
  // the hello (PreCapnpHandshake), the HttpError refusals, server errors
  // carried in a body (ApiServerException), an unreadable descriptor
  // (ApiInternalException), and KSTimeoutException "Execution of connection
  // to the data-server took longer than <duration>.". Whatever the failure,
  // the connection is closed. `network` and `timer` must outlive the promise.
  static kj_asio::Hopefully<KernelEndpoint> attemptUpgrade(
      kj::Network& network, kj::Timer& timer, kj::String host, std::uint16_t port,
      DestinationParams destination, HandshakeBehavior behavior,
      std::chrono::milliseconds timeout, std::vector<ClientWireProtocol> protocols,
      LyrVectorParsing lyrVectors, OnOrvaneVersionMismatch policy,
      kj::Own<kj::AsyncIoStream> stream = {});

  HttpProtocolUpgrade(kj::Network& network, kj::String host, std::uint16_t port,
                      DestinationParams destination, HandshakeBehavior behavior,
                      kj::Own<kj::AsyncIoStream> stream, std::vector<ClientWireProtocol> protocols,
                      LyrVectorParsing lyrVectors, OnOrvaneVersionMismatch policy);
  HttpProtocolUpgrade(const HttpProtocolUpgrade&) = delete;
  HttpProtocolUpgrade& operator=(const HttpProtocolUpgrade&) = delete;

  // The steps, in order; `this` must outlive each promise.
  kj_asio::Hopefully<void> connect();
  kj_asio::Hopefully<void> handshake();
  kj_asio::Hopefully<kj_asio::HttpResponseHead> doSendRequest();
  kj_asio::Hopefully<KernelEndpoint> parseResponse(kj_asio::HttpResponseHead&& response);
  kj_asio::Hopefully<KernelEndpoint> doProtocolUpgrade();

  // /api/v1/kernel/devid/<serial in lower case>?interface=<i>&autolaunch=<0|1>&api=<n>
  // or /api/v1/kernel/ks?apiLevel=<n>.
  static kj::Url prepareUrl(const DestinationParams& destination);
  // Accept, Connection, Host, Upgrade (the protocols joined with ","), and
  // the client's vector wishes.
  static kj::HttpHeaders prepareHeaders(kj::StringPtr host, std::uint16_t port,
                                        const std::vector<ClientWireProtocol>& protocols,
                                        LyrVectorParsing lyrVectors);
  // The request as written on the wire.
  kj::String requestText() const;

  // The registered HTTP status codes pass, any other number becomes 0.
  static unsigned normaliseStatus(unsigned status) noexcept;

 private:
  kj_asio::Hopefully<KernelEndpoint> okResponse(unsigned status, ParsedHeaders headers,
                                                kj::Promise<kj::Array<kj::byte>> body);
  kj_asio::Hopefully<KernelEndpoint> switchingProtocolsResponse(ParsedHeaders headers,
                                                                kj::Array<kj::byte> extra);
  kj::Promise<kj::Array<kj::byte>> readBody(kj_asio::HttpResponseHead& response);

  kj::Network& network_;
  kj::String host_;
  std::uint16_t port_;
  DestinationParams destination_;
  HandshakeBehavior behavior_;
  kj::Own<kj::AsyncIoStream> stream_;
  std::vector<ClientWireProtocol> protocols_;
  LyrVectorParsing lyrVectors_;
  OnOrvaneVersionMismatch policy_;
};

// For a status other than 101 and 200: the content type must be Cap'n Proto
// as for 200; a server error in the body is the result, a descriptor is
// discarded for httpErrorStatus(status).
kj_asio::Hopefully<KernelEndpoint> errorResponse(unsigned status, const ParsedHeaders& headers,
                                                 kj::Promise<kj::Array<kj::byte>> body);

// One Cap'n Proto message (unpacked stream framing; reader limits 8 388 608
// words and depth 64) whose root is a Result(KernelDescriptor,
// Orchestrator.Error), converted: `err` gives an ApiServerException with the
// mapped code, an `ok` that does not convert an ApiInternalException. A body
// that cannot be read gives cantParseBody for 200 and 101, else
// httpErrorStatus(status).
kj_asio::Hopefully<KernelDescriptor> parseCapnpBody(unsigned status,
                                                    kj::Promise<kj::Array<kj::byte>> body);

}  // namespace nuvrel
