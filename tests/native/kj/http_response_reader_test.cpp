// Reading HTTP response heads and bodies off a stream, and handing on the
// bytes read beyond the head.
#include "kj/http_response_reader.h"

#include <gtest/gtest.h>
#include <kj/debug.h>

#include <string>

#include "kj/http_header.h"
#include "kj/prefixed_stream.h"
#include "support/event_loop.h"

namespace nuvrel::kj_asio {
namespace {

using testing::waitFor;

std::string text(kj::ArrayPtr<const kj::byte> bytes) {
  return std::string(bytes.asChars().begin(), bytes.size());
}

std::string descriptionOf(kj::Promise<HttpResponseHead>&& promise, ThreadLocalExecutor<>& executor) {
  try {
    waitFor(executor, kj::mv(promise), "head");
  } catch (const kj::Exception& e) {
    return e.getDescription().cStr();
  }
  ADD_FAILURE() << "the head was accepted";
  return {};
}

class HttpResponseReaderTest : public ::testing::Test {
 protected:
  ~HttpResponseReaderTest() noexcept override {}

  ThreadLocalExecutor<> executor;
  kj::TwoWayPipe pipe = kj::newTwoWayPipe();
  kj::AsyncIoStream& server = *pipe.ends[0];
  kj::AsyncIoStream& client = *pipe.ends[1];

  void send(const std::string& bytes) {
    waitFor(executor, server.write(bytes.data(), bytes.size()), "write");
  }
  kj::Promise<HttpResponseHead> head(std::size_t max = kMaxResponseHeadSize) {
    return readResponseHead(client, HttpHeader::defaultTable(), max);
  }
};

TEST_F(HttpResponseReaderTest, BytesAfterTheHeadInTheSameWriteAreKeptAndServedFirst) {
  auto reading = head();
  // One write: the head and the first bytes of the next protocol.
  send("HTTP/1.1 101 Switching Protocols\r\nUpgrade: capnp\r\nNuvrel-Kernel-Uid: x\r\n\r\nRPC!");
  auto response = waitFor(executor, kj::mv(reading), "head");
  EXPECT_EQ(response.statusCode, 101u);
  EXPECT_EQ(std::string(KJ_ASSERT_NONNULL(response.headers.get(kj::HttpHeaderId::UPGRADE)).cStr()),
            "capnp");
  EXPECT_EQ(std::string(KJ_ASSERT_NONNULL(response.headers.get(HttpHeader::kernelUid())).cStr()),
            "x");
  EXPECT_EQ(text(response.extra), "RPC!");

  // The wrapped stream yields the kept bytes, then what follows, in order.
  // (An in-memory pipe has no buffer: a write waits for a reader.)
  auto stream = withPrefix(kj::mv(pipe.ends[1]), kj::mv(response.extra));
  char buffer[8] = {};
  auto readingRest = stream->read(buffer, 8);
  send("more");
  waitFor(executor, kj::mv(readingRest), "read");
  EXPECT_EQ(std::string(buffer, 8), "RPC!more");
  // Writes go straight through.
  char echoed[4] = {};
  auto readingBack = server.read(echoed, 4);
  waitFor(executor, stream->write("back", 4), "write");
  waitFor(executor, kj::mv(readingBack), "read back");
  EXPECT_EQ(std::string(echoed, 4), "back");
}

TEST_F(HttpResponseReaderTest, AHeadArrivingByteByByteIsFoundAcrossReads) {
  auto reading = head();
  for (char c : std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")) {
    send(std::string(1, c));
  }
  auto response = waitFor(executor, kj::mv(reading), "head");
  EXPECT_EQ(response.statusCode, 404u);
  EXPECT_EQ(response.extra.size(), 0u);
}

TEST_F(HttpResponseReaderTest, RefusalsOfTheHead) {
  {
    auto reading = head();
    send("garbage\r\n\r\n");
    EXPECT_EQ(descriptionOf(kj::mv(reading), executor).rfind(
                  "The data server sent an invalid HTTP response head: ", 0),
              0u);
  }
  {
    auto reading = head(64);
    // The reader stops after 64 bytes, so this write never completes.
    const std::string tooLong = "HTTP/1.1 200 OK\r\n" + std::string(100, 'x');
    auto writing = server.write(tooLong.data(), tooLong.size());
    EXPECT_EQ(descriptionOf(kj::mv(reading), executor),
              "The HTTP response head of the data server is longer than 64 bytes.");
  }
  {
    auto reading = head();
    send("HTTP/1.1 200 OK\r\nContent-");
    server.shutdownWrite();
    EXPECT_EQ(descriptionOf(kj::mv(reading), executor),
              "The data server closed the connection within the HTTP response head.");
  }
}

TEST_F(HttpResponseReaderTest, BodiesAreReadByContentLengthOrToTheEnd) {
  {
    auto reading = head();
    send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123");
    auto response = waitFor(executor, kj::mv(reading), "head");
    auto body = readResponseBody(client, response, 100);
    send("456789");
    EXPECT_EQ(text(waitFor(executor, kj::mv(body), "body")), "0123456789");
  }
  {
    auto reading = head();
    send("HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n");
    auto response = waitFor(executor, kj::mv(reading), "head");
    try {
      waitFor(executor, readResponseBody(client, response, 100), "body");
      ADD_FAILURE() << "a body over the limit was read";
    } catch (const kj::Exception& e) {
      EXPECT_EQ(std::string(e.getDescription().cStr()),
                "The response body of 101 bytes exceeds the limit of 100 bytes.");
    }
  }
  {
    auto reading = head();
    send("HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\n");
    auto response = waitFor(executor, kj::mv(reading), "head");
    try {
      waitFor(executor, readResponseBody(client, response, 100), "body");
      ADD_FAILURE() << "a malformed length was accepted";
    } catch (const kj::Exception& e) {
      EXPECT_EQ(std::string(e.getDescription().cStr()),
                "The response has an invalid Content-Length '1x'.");
    }
  }
  {
    auto reading = head();
    send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    auto response = waitFor(executor, kj::mv(reading), "head");
    try {
      waitFor(executor, readResponseBody(client, response, 100), "body");
      ADD_FAILURE() << "a chunked body was read as plain bytes";
    } catch (const kj::Exception& e) {
      EXPECT_EQ(std::string(e.getDescription().cStr()),
                "The response body has the transfer encoding 'chunked', which this client does "
                "not read.");
    }
  }
  {
    auto reading = head();
    send("HTTP/1.1 200 OK\r\n\r\nuntil ");
    auto response = waitFor(executor, kj::mv(reading), "head");
    auto body = readResponseBody(client, response, 100);
    send("the end");
    server.shutdownWrite();
    EXPECT_EQ(text(waitFor(executor, kj::mv(body), "body")), "until the end");
  }
}

TEST_F(HttpResponseReaderTest, AShortBodyIsAFailureNotATruncatedValue) {
  auto reading = head();
  send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123");
  auto response = waitFor(executor, kj::mv(reading), "head");
  auto body = readResponseBody(client, response, 100);
  server.shutdownWrite();
  EXPECT_THROW(waitFor(executor, kj::mv(body), "body"), kj::Exception);
}

}  // namespace
}  // namespace nuvrel::kj_asio
