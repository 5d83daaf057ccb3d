#include "kj/async_io.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "errors/exception.h"
#include "support/event_loop.h"

namespace nuvrel::kj_asio {
namespace {

using testing::errorOf;
using testing::unwrapFor;
using testing::waitFor;

class AsyncIoTest : public ::testing::Test {
 protected:
  ThreadLocalExecutor<> executor;
  kj::Network& network = executor.ioProvider().network();

  kj::Own<kj::ConnectionReceiver> listen() {
    return waitFor(executor, network.parseAddress("127.0.0.1", 0))->listen();
  }
};

template <typename E>
std::string failureOf(ThreadLocalExecutor<>& executor, Hopefully<kj::Own<kj::AsyncIoStream>>&& p) {
  auto result = waitFor(executor, kj::mv(p), "connect");
  if (!result.hasException()) {
    ADD_FAILURE() << "connect succeeded";
    return {};
  }
  try {
    std::rethrow_exception(result.exception());
  } catch (const E& error) {
    return error.what();
  } catch (const std::exception& other) {
    ADD_FAILURE() << "unexpected exception type: " << other.what();
  }
  return {};
}

TEST_F(AsyncIoTest, NamesThatDoNotResolveToIpv4AreReportedWithoutDetail) {
  for (const char* host : {"nonexistent.invalid", "::1"}) {
    EXPECT_EQ(failureOf<KSIOException>(executor, connect(network, host, 80)),
              std::string("Unable to resolve server address '") + host + "'");
  }
}

TEST_F(AsyncIoTest, ClosedPortIsAConnectionResetWithTheEventLibrarysDescription) {
  std::uint16_t port;
  {
    auto receiver = listen();
    port = static_cast<std::uint16_t>(receiver->getPort());
  }  // closed again
  const std::string message =
      failureOf<KSIOConnectionResetException>(executor, connect(network, "localhost", port));
  const std::string prefix = "Could not connect to localhost:" + std::to_string(port) + ". Details: ";
  ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
  EXPECT_GT(message.size(), prefix.size()) << "the description is missing";
}

TEST_F(AsyncIoTest, ExactReadsAndWritesAndAPrematureEnd) {
  auto receiver = listen();
  auto accepted = receiver->accept();
  auto client = unwrapFor(executor, connect(network, "127.0.0.1", static_cast<std::uint16_t>(receiver->getPort())));
  auto server = waitFor(executor, kj::mv(accepted), "accept");

  std::array<unsigned char, 100> sent{};
  for (std::size_t i = 0; i < sent.size(); ++i) {
    sent[i] = static_cast<unsigned char>(i);
  }
  unwrapFor(executor, write(*server, kj::arrayPtr(sent.data(), sent.size()).asConst()));
  std::array<unsigned char, 40> head{};
  unwrapFor(executor, read(*client, kj::arrayPtr(head.data(), head.size())));
  EXPECT_EQ(head[39], 39);

  // 60 bytes are left, then the peer closes: a read of 256 fails.
  server = nullptr;
  std::array<unsigned char, 256> buffer{};
  EXPECT_EQ(errorOf(executor, read(*client, kj::arrayPtr(buffer.data(), buffer.size()))),
            "Issues connecting to the server: stream disconnected prematurely");
}

}  // namespace
}  // namespace nuvrel::kj_asio
