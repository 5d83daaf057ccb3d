// A real loopback TCP server and client carrying two-party RPC.
#include <gtest/gtest.h>
#include <kj/debug.h>
#include <sys/socket.h>

#include <memory>
#include <string>

#include "errors/exception.h"
#include "kj/async_io.h"
#include "kj/endpoints.h"
#include "kj/rpc_client.h"
#include "kj/rpc_server.h"
#include "kj/tcp_server.h"
#include "support/event_loop.h"
#include "test_echo.capnp.h"

namespace nuvrel::kj_asio {
namespace {

using boost::asio::ip::address;
using boost::asio::ip::address_v4;
using testing::errorOf;
using testing::runUntil;
using testing::unwrapFor;
using testing::waitFor;

class EchoImpl final : public TestEcho::Server {
 protected:
  kj::Promise<void> echo(EchoContext context) override {
    context.getResults().setText(context.getParams().getText());
    return kj::READY_NOW;
  }
  kj::Promise<void> fail(FailContext context) override {
    return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__,
                         kj::heapString(context.getParams().getText()));
  }
};

capnp::ReaderOptions options() { return capnp::ReaderOptions(); }

class TcpRpcTest : public ::testing::Test {
 protected:
  ThreadLocalExecutor<> executor;
  IoProvider& io = executor.ioProvider();
  utils::DestructorCatcher<SingleCapabilityRpcServer> rpcServerHolder{io, kj::heap<EchoImpl>(), options()};
  SingleCapabilityRpcServer& rpcServer = *rpcServerHolder;

  std::unique_ptr<RpcClient> connectClient(const char* host, std::uint16_t port) {
    auto stream = unwrapFor(executor, connect(io.network(), host, port), "connect");
    return std::make_unique<RpcClient>(kj::mv(stream), options());
  }

  std::string echo(RpcClient& client, const char* text) {
    auto request = client.getMain().castAs<TestEcho>().echoRequest();
    request.setText(text);
    auto response = waitFor(executor, request.send(), "echo");
    return response.getText().cStr();
  }
};

TEST_F(TcpRpcTest, ServerOnPortZeroLearnsItsPortAndServesEchoCalls) {
  TcpServer server(io.network(), rpcServer, "test server", {}, address_v4::loopback(), 0);
  ASSERT_NE(server.port(), 0);
  EXPECT_EQ(server.bindAddress(), address(address_v4::loopback()));
  EXPECT_FALSE(server.openMode());

  auto client = connectClient("localhost", server.port());
  EXPECT_EQ(echo(*client, "hello"), "hello");
  EXPECT_EQ(echo(*client, "again"), "again");

  // A server failure arrives as the same kind with the remote prefix.
  auto request = client->getMain().castAs<TestEcho>().failRequest();
  request.setText("no such luck");
  try {
    waitFor(executor, request.send(), "fail");
    ADD_FAILURE() << "the call did not fail";
  } catch (const kj::Exception& exception) {
    EXPECT_EQ(exception.getType(), kj::Exception::Type::FAILED);
    EXPECT_EQ(std::string(exception.getDescription().cStr()), "remote exception: no such luck");
  }
}

TEST_F(TcpRpcTest, ServerOnAGivenReceiverAcceptsAtOnceAndBindFailuresReachTheCaller) {
  auto receiver = waitFor(executor, io.network().parseAddress("127.0.0.1", 0))->listen();
  const auto port = static_cast<std::uint16_t>(receiver->getPort());
  TcpServer server(io.network(), kj::mv(receiver), rpcServer, "test server");
  EXPECT_EQ(server.port(), port);
  auto client = connectClient("127.0.0.1", port);
  EXPECT_EQ(echo(*client, "given receiver"), "given receiver");

  // The port is taken by `server`.
  TcpServer second(io.network(), rpcServer, "second server");
  EXPECT_THROW(second.bind(address_v4::loopback(), port), kj::Exception);
  EXPECT_EQ(second.port(), 0);
}

TEST_F(TcpRpcTest, ConnectionStateLivesUntilThePeerDisconnects) {
  RpcServer server;
  // One end stays with the test, the other is served.
  auto pipe = kj::newTwoWayPipe();
  server.newConnection(kj::mv(pipe.ends[0]), kj::heap<EchoImpl>(), options());
  EXPECT_FALSE(server.isEmpty());

  {
    RpcClient client(kj::mv(pipe.ends[1]), options());
    EXPECT_EQ(echo(client, "over a pipe"), "over a pipe");
  }
  // The client closed the stream: the server drops the connection's state.
  EXPECT_TRUE(runUntil(executor, [&] { return server.isEmpty(); }));
}

TEST_F(TcpRpcTest, ClientLearnsOfANormalDisconnect) {
  auto server = std::make_unique<RpcServer>();
  auto pipe = kj::newTwoWayPipe();
  server->newConnection(kj::mv(pipe.ends[0]), kj::heap<EchoImpl>(), options());
  RpcClient client(kj::mv(pipe.ends[1]), options());
  EXPECT_EQ(echo(client, "up"), "up");

  auto disconnected = client.onDisconnect();
  EXPECT_FALSE(disconnected.poll(executor.waitScope()));
  server.reset();  // tears down the served connection and closes its end
  auto result = waitFor(executor, kj::mv(disconnected), "disconnect");
  EXPECT_TRUE(result.hasValue());
}

// A handler that fails on the first connection it is given.
class FailingOnceHandler final : public ConnectionHandler {
 public:
  explicit FailingOnceHandler(ConnectionHandler& next) : next_(next) {}
  int calls = 0;

 protected:
  void doNewConnection(kj::Own<kj::AsyncIoStream>&& stream,
                       const ConnectionMetadata& metadata) override {
    if (++calls == 1) {
      throw std::runtime_error("first connection refused by handler");
    }
    next_.newConnection(kj::mv(stream), metadata);
  }
  void doNewConnection(kj::AutoCloseFd&&, const ConnectionMetadata&) override {}

 private:
  ConnectionHandler& next_;
};

TEST_F(TcpRpcTest, AcceptLoopSurvivesAFailingHandler) {
  FailingOnceHandler handler(rpcServer);
  TcpServer server(io.network(), handler, "test server", {}, address_v4::loopback(), 0);

  // The first connection is dropped by the handler's failure: its peer sees
  // the stream end.
  auto first = unwrapFor(executor, connect(io.network(), "127.0.0.1", server.port()));
  unsigned char byte = 0;
  EXPECT_EQ(errorOf(executor, read(*first, kj::arrayPtr(&byte, 1))).rfind(
                "Issues connecting to the server: ", 0),
            0u);
  EXPECT_EQ(handler.calls, 1);

  auto second = connectClient("127.0.0.1", server.port());
  EXPECT_EQ(echo(*second, "second"), "second");
  EXPECT_EQ(handler.calls, 2);
}

TEST_F(TcpRpcTest, OpenModeRebindsTheSamePortOnAllInterfacesOnce) {
  TcpServer server(io.network(), rpcServer, "test server", {}, address_v4::loopback(), 0);
  const std::uint16_t port = server.port();

  server.changeOpenMode(true);
  EXPECT_TRUE(server.openMode());
  EXPECT_EQ(server.port(), port);
  EXPECT_EQ(server.bindAddress(), address(address_v4::any()));
  auto client = connectClient("127.0.0.1", port);
  EXPECT_EQ(echo(*client, "open"), "open");

  server.changeOpenMode(true);  // already open: nothing changes
  EXPECT_EQ(server.port(), port);
  EXPECT_EQ(echo(*client, "unchanged"), "unchanged");

  server.changeOpenMode(false);
  EXPECT_FALSE(server.openMode());
  EXPECT_EQ(server.port(), port);
}

TEST_F(TcpRpcTest, StopAcceptsClosesTheListenerButKeepsServedConnections) {
  TcpServer server(io.network(), rpcServer, "test server", {}, address_v4::loopback(), 0);
  const std::uint16_t port = server.port();
  auto client = connectClient("127.0.0.1", port);
  EXPECT_EQ(echo(*client, "accepted"), "accepted");  // handed over before the stop
  server.stopAccepts();

  EXPECT_EQ(echo(*client, "kept"), "kept");
  EXPECT_EQ(errorOf(executor, connect(io.network(), "127.0.0.1", port))
                .rfind("Could not connect to 127.0.0.1:" + std::to_string(port) + ". Details: ", 0),
            0u);

  server.bind(address_v4::loopback(), port);  // ready to bind again
  auto again = connectClient("127.0.0.1", server.port());
  EXPECT_EQ(echo(*again, "rebound"), "rebound");
}

TEST_F(TcpRpcTest, RawDescriptorsNeedAnIoProvider) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  kj::AutoCloseFd served(fds[0]);
  kj::AutoCloseFd ours(fds[1]);

  SingleCapabilityRpcServer withoutIo(kj::heap<EchoImpl>(), options());
  try {
    withoutIo.newConnection(kj::mv(served), ConnectionMetadata());
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "SingleCapabilityRpcServer cannot wrap existing fd without ioProvider");
    EXPECT_EQ(error.code().value(), 0x801F);
  }

  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  served = kj::AutoCloseFd(fds[0]);
  ours = kj::AutoCloseFd(fds[1]);
  rpcServer.newConnection(kj::mv(served), ConnectionMetadata());
  RpcClient client(io.wrapSocketFd(kj::mv(ours)), options());
  EXPECT_EQ(echo(client, "through a descriptor"), "through a descriptor");
}

// A proxy step that expects a four-byte preamble before the RPC traffic.
class PreambleProxy final : public ProxyConnectionHandler {
 public:
  using ProxyConnectionHandler::ProxyConnectionHandler;

 protected:
  kj::Promise<kj::Own<kj::AsyncIoStream>> proxy(kj::Own<kj::AsyncIoStream>&& stream,
                                                 const ConnectionMetadata&) override {
    auto buffer = kj::heapArray<char>(4);
    auto reading = stream->read(buffer.begin(), buffer.size());
    return reading.then([stream = kj::mv(stream), buffer = kj::mv(buffer)]() mutable {
      if (std::string(buffer.begin(), 4) != "PING") {
        kj::throwFatalException(KJ_EXCEPTION(FAILED, "bad preamble"));
      }
      return kj::mv(stream);
    });
  }
};

TEST_F(TcpRpcTest, ProxyHandlerHandsTheTransformedStreamDownstream) {
  PreambleProxy proxy(io, rpcServer, "preamble proxy");
  const struct {
    const char* preamble;
    bool served;
  } cases[] = {{"PING", true}, {"PONG", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.preamble);
    auto pipe = kj::newTwoWayPipe();
    proxy.newConnection(kj::mv(pipe.ends[0]), ConnectionMetadata());
    auto& ours = *pipe.ends[1];
    waitFor(executor, ours.write(c.preamble, 4), "preamble");
    if (c.served) {
      RpcClient client(kj::mv(pipe.ends[1]), options());
      EXPECT_EQ(echo(client, "behind a proxy"), "behind a proxy");
    } else {
      // The failed step is logged and the connection dropped: our end sees EOF.
      char byte;
      EXPECT_EQ(waitFor(executor, ours.tryRead(&byte, 1, 1), "eof"), 0u);
    }
  }
}

}  // namespace
}  // namespace nuvrel::kj_asio
