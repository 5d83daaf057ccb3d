// Reading an HTTP/1.1 response straight off a byte stream.
//
// kj::HttpClient cannot be used for a protocol upgrade: it drops the
// Connection and Upgrade values of a request, and bytes that follow a 101
// head vanish into its never-ending response body. So the exchange is done on
// the stream itself, with KJ's header table and parsers: the head is read up
// to its blank line and parsed with HttpHeaders::tryParseResponse, and a body
// is read by its Content-Length. Event-loop thread only; every promise
// rejects with a kj::Exception.
#pragma once

#include <kj/array.h>
#include <kj/async-io.h>
#include <kj/compat/http.h>

#include <cstddef>
#include <cstdint>

namespace nuvrel::kj_asio {

struct HttpResponseHead {
  // As received, not normalised.
  unsigned statusCode = 0;
  // Own the text they were parsed from.
  kj::HttpHeaders headers;
  // What was read beyond the blank line: the start of the body, or the
  // first bytes of the protocol the connection was switched to. They must
  // reach the next reader (see withPrefix).
  kj::Array<kj::byte> extra;
};

inline constexpr std::size_t kMaxResponseHeadSize = 64 * 1024;

// Reads and parses one response head. The stream must stay valid until the
// promise settles. Fails (kj::Exception) when the stream ends first, when the
// head exceeds `maxHeadSize` bytes, or when KJ cannot parse it.
kj::Promise<HttpResponseHead> readResponseHead(kj::AsyncInputStream& stream,
                                               const kj::HttpHeaderTable& table,
                                               std::size_t maxHeadSize = kMaxResponseHeadSize);

// Reads the body that follows `head`: exactly Content-Length bytes when the
// header is present (`head.extra` counts towards them), else everything up to
// the end of the stream. Refuses a body larger than `limit`, a malformed
// Content-Length and any Transfer-Encoding other than identity (chunked
// bodies are not read). Takes head.extra. The stream must stay valid until
// the promise settles.
kj::Promise<kj::Array<kj::byte>> readResponseBody(kj::AsyncInputStream& stream,
                                                  HttpResponseHead& head, std::uint64_t limit);

}  // namespace nuvrel::kj_asio
