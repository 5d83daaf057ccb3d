// Log lines of the accept loop, the RPC server and the task sets.
#include <gtest/gtest.h>
#include <kj/debug.h>

#include <string>

#include "kj/async_io.h"
#include "kj/logging_task_set.h"
#include "kj/rpc_server.h"
#include "kj/tcp_server.h"
#include "logging/logger.h"
#include "logging/logging_test_support.h"
#include "support/event_loop.h"
#include "test_echo.capnp.h"

namespace nuvrel::kj_asio {
namespace {

using logging::LogSink;
using logging::Severity;
using nuvrel::testing::runUntil;
using nuvrel::testing::unwrapFor;
using nuvrel::testing::waitFor;

class Echo final : public TestEcho::Server {};

class ThrowingHandler final : public ConnectionHandler {
 protected:
  void doNewConnection(kj::Own<kj::AsyncIoStream>&&, const ConnectionMetadata&) override {
    throw std::runtime_error("handler says no");
  }
  void doNewConnection(kj::AutoCloseFd&&, const ConnectionMetadata&) override {}
};

class ListeningLogTest : public logging::testing::ConsoleLoggingTest {
 protected:
  ThreadLocalExecutor<> executor;
  IoProvider& io = executor.ioProvider();
};

TEST_F(ListeningLogTest, AcceptLoopAndRpcServerReportWhatTheyDo) {
  ThrowingHandler throwing;
  TcpServer failing(io.network(), throwing, "failing", {}, boost::asio::ip::address_v4::loopback(), 0);
  auto dropped = unwrapFor(executor, connect(io.network(), "127.0.0.1", failing.port()));
  EXPECT_TRUE(runUntil(executor, [&] {
    return logged("[error] Failed to handle new TCP connection: handler says no\n");
  })) << console();
  EXPECT_TRUE(logged("[status] Starting TCP listen loop\n"));

  RpcServer server;
  auto pipe = kj::newTwoWayPipe();
  server.newConnection(kj::mv(pipe.ends[0]), kj::heap<Echo>(), capnp::ReaderOptions());
  // A pipe has no peer address.
  EXPECT_TRUE(logged("[debug] Failed to determine the client endpoint: ")) << console();
  EXPECT_TRUE(logged("[debug] Accepted connection request from unknown client\n"));

  auto accepted = waitFor(executor, io.network().parseAddress("127.0.0.1", 0))->listen();
  auto accepting = accepted->accept();
  auto client = unwrapFor(executor, connect(io.network(), "127.0.0.1",
                                            static_cast<std::uint16_t>(accepted->getPort())));
  server.newConnection(waitFor(executor, kj::mv(accepting)), kj::heap<Echo>(), capnp::ReaderOptions());
  EXPECT_TRUE(logged("[debug] Accepted connection request from 127.0.0.1\n")) << console();
}

TEST_F(ListeningLogTest, FailedBackgroundTasksAreLoggedWithTheirName) {
  LoggingTaskSet tasks;
  tasks.fireAndForget(kj::Promise<void>(KJ_EXCEPTION(FAILED, "plain failure")), "plain task",
                      Severity::warning);
  tasks.fireAndForget(
      Hopefully<void>(ExceptionOr<void>(std::make_exception_ptr(KSIOException("carried failure")))),
      "hopefully task", Severity::error);
  waitFor(executor, tasks.onEmpty(), "empty task set");
  EXPECT_TRUE(logged("[warning] An exception occurred when executing plain task: plain failure\n"))
      << console();
  EXPECT_TRUE(logged("[error] An exception occurred when executing hopefully task: Exception: carried failure"))
      << console();
}

}  // namespace
}  // namespace nuvrel::kj_asio
