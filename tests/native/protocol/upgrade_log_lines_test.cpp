// Log lines of the data-server opening.
#include <capnp/serialize.h>
#include <gtest/gtest.h>

#include <string>

#include "logging/logger.h"
#include "logging/logging_test_support.h"
#include "protocol/http_protocol_upgrade.h"
#include "support/event_loop.h"

namespace nuvrel {
namespace {

using logging::LogSink;
using logging::Severity;
using namespace std::chrono_literals;

class UpgradeLogTest : public logging::testing::ConsoleLoggingTest {
 protected:
  // Plays the server on one end of a pipe: the hello, then `response` once
  // the request has arrived.
  ExceptionOr<KernelEndpoint> exchange(const std::string& hello, const std::string& response) {
    auto pipe = kj::newTwoWayPipe();
    auto& server = *pipe.ends[0];
    auto& io = executor.ioProvider();
    auto upgrading = HttpProtocolUpgrade::attemptUpgrade(
        io.network(), io.timer(), kj::str("127.0.0.1"), 1, DestinationParams::ksConnection(KS_API_LEVEL_6),
        HandshakeBehavior::Check, 3000ms, {ClientWireProtocol::capnp}, LyrVectorParsing::yes,
        OnOrvaneVersionMismatch::accept, kj::mv(pipe.ends[1]));
    testing::waitFor(executor, server.write(hello.data(), hello.size()), "hello");
    if (!response.empty()) {
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const auto n = testing::waitFor(executor, server.tryRead(buffer, 1, sizeof(buffer)), "request");
        if (n == 0) {
          break;
        }
        request.append(buffer, n);
      }
      auto writing = server.write(response.data(), response.size());
      auto result = testing::waitFor(executor, kj::mv(upgrading), "upgrade");
      return result;
    }
    return testing::waitFor(executor, kj::mv(upgrading), "upgrade");
  }

  kj_asio::ThreadLocalExecutor<> executor;
};

std::string padded(const std::string& json) {
  std::string text = json + "\n";
  text.resize(255, ' ');
  text.push_back('\0');
  return text;
}

TEST_F(UpgradeLogTest, ARedirectionIsLoggedWithTheDescribedKernel) {
  capnp::MallocMessageBuilder message;
  auto ok = message.initRoot<KernelRequestResult>().initOk();
  ok.setHost("kernel.example");
  ok.setPort(8004);
  kj::byte uid[16] = {};
  ok.setUid(kj::arrayPtr(uid, 16));
  ok.setVersion("26.11.0");
  auto words = capnp::messageToFlatArray(message);
  const std::string body(words.asChars().begin(), words.asChars().size());
  const std::string response =
      "HTTP/1.1 200 OK\r\nContent-Type: application/capnp\r\nNuvrel-Kernel-Uid: "
      "0123456789abcdef0123456789abcdef\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n" + body;
  auto result = exchange(
      padded(R"({"kind":"orchestrator","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"})"),
      response);
  ASSERT_TRUE(result.hasValue());
  EXPECT_TRUE(logged("[debug] Protocol upgrade to kernel.example:8004 rejected by the server.\n"))
      << console();
}

TEST_F(UpgradeLogTest, AnUnexpectedServerKindIsLoggedWithBothKinds) {
  auto result = exchange(padded(R"({"kind":"vkr","schema":"1.17.0"})"), "");
  ASSERT_TRUE(result.hasException());
  EXPECT_TRUE(logged("[debug] Connection to server failed. Unkown server type \"vkr\"'. Expected: "
                     "\"orchestrator\"\n"))
      << console();
}

}  // namespace
}  // namespace nuvrel
