#include "kj/http_response_reader.h"

#include <kj/debug.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace nuvrel::kj_asio {
namespace {

kj::Exception failure(kj::Exception::Type type, kj::String description) {
  return kj::Exception(type, __FILE__, __LINE__, kj::mv(description));
}

// Where the head ends within buffer[0, size): `content` is the text KJ's
// parser wants (up to and including the newline of the last header line),
// `consumed` the head with its blank line. Both 0 while incomplete.
struct HeadEnd {
  std::size_t content = 0;
  std::size_t consumed = 0;
};

HeadEnd findHeadEnd(const char* buffer, std::size_t from, std::size_t size) {
  for (std::size_t i = from; i < size; ++i) {
    if (buffer[i] != '\n') {
      continue;
    }
    if (i + 1 < size && buffer[i + 1] == '\n') {
      return {i + 1, i + 2};
    }
    if (i + 2 < size && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') {
      return {i + 1, i + 3};
    }
  }
  return {};
}

class HeadReader {
 public:
  HeadReader(kj::AsyncInputStream& stream, const kj::HttpHeaderTable& table, std::size_t max)
      : stream_(stream), table_(table), buffer_(kj::heapArray<char>(max)) {}

  kj::Promise<HttpResponseHead> run() {
    return stream_.tryRead(buffer_.begin() + filled_, 1, buffer_.size() - filled_)
        .then([this](std::size_t n) -> kj::Promise<HttpResponseHead> {
          if (n == 0) {
            return failure(kj::Exception::Type::DISCONNECTED,
                           filled_ == 0
                               ? kj::str("The data server closed the connection without an HTTP "
                                         "response.")
                               : kj::str("The data server closed the connection within the HTTP "
                                         "response head."));
          }
          // A blank line may straddle the previous read.
          const std::size_t from = filled_ >= 2 ? filled_ - 2 : 0;
          filled_ += n;
          const HeadEnd end = findHeadEnd(buffer_.begin(), from, filled_);
          if (end.consumed != 0) {
            return finish(end);
          }
          if (filled_ == buffer_.size()) {
            return failure(kj::Exception::Type::FAILED,
                           kj::str("The HTTP response head of the data server is longer than ",
                                   buffer_.size(), " bytes."));
          }
          return run();
        });
  }

 private:
  kj::Promise<HttpResponseHead> finish(HeadEnd end) {
    auto extra = kj::heapArray<kj::byte>(filled_ - end.consumed);
    std::memcpy(extra.begin(), buffer_.begin() + end.consumed, extra.size());
    kj::HttpHeaders headers(table_);
    auto parsed = headers.tryParseResponse(kj::arrayPtr(buffer_.begin(), end.content));
    KJ_SWITCH_ONEOF(parsed) {
      KJ_CASE_ONEOF(error, kj::HttpHeaders::ProtocolError) {
        return failure(kj::Exception::Type::FAILED,
                       kj::str("The data server sent an invalid HTTP response head: ",
                               error.description));
      }
      KJ_CASE_ONEOF(response, kj::HttpHeaders::Response) {
        const unsigned status = response.statusCode;
        // The parsed strings point into the buffer.
        headers.takeOwnership(kj::mv(buffer_));
        return HttpResponseHead{status, kj::mv(headers), kj::mv(extra)};
      }
    }
    KJ_UNREACHABLE;
  }

  kj::AsyncInputStream& stream_;
  const kj::HttpHeaderTable& table_;
  kj::Array<char> buffer_;
  std::size_t filled_ = 0;
};

}  // namespace

kj::Promise<HttpResponseHead> readResponseHead(kj::AsyncInputStream& stream,
                                               const kj::HttpHeaderTable& table,
                                               std::size_t maxHeadSize) {
  auto reader = kj::heap<HeadReader>(stream, table, maxHeadSize);
  auto promise = reader->run();
  return promise.attach(kj::mv(reader));
}

kj::Promise<kj::Array<kj::byte>> readResponseBody(kj::AsyncInputStream& stream,
                                                  HttpResponseHead& head, std::uint64_t limit) {
  auto extra = kj::mv(head.extra);
  KJ_IF_MAYBE(encoding, head.headers.get(kj::HttpHeaderId::TRANSFER_ENCODING)) {
    if (*encoding != "identity") {
      return failure(kj::Exception::Type::FAILED,
                     kj::str("The response body has the transfer encoding '", *encoding,
                             "', which this client does not read."));
    }
  }

  KJ_IF_MAYBE(lengthText, head.headers.get(kj::HttpHeaderId::CONTENT_LENGTH)) {
    const std::string_view text(lengthText->cStr(), lengthText->size());
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      return failure(kj::Exception::Type::FAILED,
                     kj::str("The response has an invalid Content-Length '", *lengthText, "'."));
    }
    if (length > limit) {
      return failure(kj::Exception::Type::FAILED,
                     kj::str("The response body of ", length, " bytes exceeds the limit of ",
                             limit, " bytes."));
    }
    auto body = kj::heapArray<kj::byte>(length);
    const std::size_t kept = std::min<std::size_t>(extra.size(), body.size());
    std::memcpy(body.begin(), extra.begin(), kept);
    // Bytes beyond Content-Length are not ours to interpret; the connection
    // ends with this response anyway.
    if (kept == body.size()) {
      return kj::mv(body);
    }
    auto rest = body.slice(kept, body.size());
    auto reading = stream.read(rest.begin(), rest.size());
    return reading.then([body = kj::mv(body)]() mutable { return kj::mv(body); });
  }

  // No length: the body ends with the connection.
  if (extra.size() > limit) {
    return failure(kj::Exception::Type::FAILED,
                   kj::str("The response body exceeds the limit of ", limit, " bytes."));
  }
  return stream.readAllBytes(limit - extra.size())
      .then([extra = kj::mv(extra)](kj::Array<kj::byte>&& rest) {
        auto body = kj::heapArray<kj::byte>(extra.size() + rest.size());
        std::memcpy(body.begin(), extra.begin(), extra.size());
        std::memcpy(body.begin() + extra.size(), rest.begin(), rest.size());
        return body;
      });
}

}  // namespace nuvrel::kj_asio
