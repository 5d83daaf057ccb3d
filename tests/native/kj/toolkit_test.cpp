// Address conversion, endpoints, the header table and the task sets.
#include <gtest/gtest.h>
#include <kj/debug.h>
#include <netinet/in.h>
#include <sys/un.h>

#include <string>

#include "errors/exception.h"
#include "kj/address.h"
#include "kj/async_io.h"
#include "kj/endpoints.h"
#include "kj/http_header.h"
#include "kj/logging_task_set.h"
#include "kj/terminating_task_set.h"
#include "support/event_loop.h"

namespace nuvrel::kj_asio {
namespace {

namespace ip = boost::asio::ip;
using testing::runUntil;
using testing::unwrapFor;
using testing::waitFor;

class ToolkitTest : public ::testing::Test {
 protected:
  ThreadLocalExecutor<> executor;
  kj::Network& network = executor.ioProvider().network();
};

TEST_F(ToolkitTest, AddressesConvertBothWaysForBothFamilies) {
  const ip::tcp::endpoint endpoints[] = {
      {ip::make_address("127.0.0.1"), 8080},
      {ip::make_address("10.1.2.3"), 1},
      {ip::make_address("::1"), 65535},
      {ip::make_address("fe80::1:2:3:4"), 443},
  };
  for (const auto& endpoint : endpoints) {
    SCOPED_TRACE(endpoint.address().to_string());
    auto kjAddress = convertAddress(network, endpoint);
    sockaddr_storage raw{};
    // The KJ address renders the same host and port.
    const std::string text = kjAddress->toString().cStr();
    EXPECT_NE(text.find(std::to_string(endpoint.port())), std::string::npos) << text;

    // And the sockaddr form gives the endpoint back.
    if (endpoint.address().is_v4()) {
      sockaddr_in in{};
      in.sin_family = AF_INET;
      in.sin_port = htons(endpoint.port());
      const auto bytes = endpoint.address().to_v4().to_bytes();
      std::memcpy(&in.sin_addr, bytes.data(), 4);
      std::memcpy(&raw, &in, sizeof(in));
    } else {
      sockaddr_in6 in6{};
      in6.sin6_family = AF_INET6;
      in6.sin6_port = htons(endpoint.port());
      const auto bytes = endpoint.address().to_v6().to_bytes();
      std::memcpy(&in6.sin6_addr, bytes.data(), 16);
      std::memcpy(&raw, &in6, sizeof(in6));
    }
    EXPECT_EQ(convertAddress(reinterpret_cast<const sockaddr*>(&raw)), endpoint);
  }

  sockaddr_un unix{};
  unix.sun_family = AF_UNIX;
  try {
    convertAddress(reinterpret_cast<const sockaddr*>(&unix));
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Unsupported address family");
  }
}

TEST_F(ToolkitTest, EndpointsOfListenerAndConnectionIncludingIpv6) {
  for (const char* host : {"127.0.0.1", "::1"}) {
    SCOPED_TRACE(host);
    auto receiver = convertAddress(network, ip::make_address(host), 0)->listen();
    const auto bound = getBindEndpoint(*receiver);
    EXPECT_EQ(bound.address(), ip::make_address(host));
    EXPECT_EQ(bound.port(), receiver->getPort());

    auto accepted = receiver->accept();
    auto client = waitFor(executor, convertAddress(network, bound)->connect());
    auto server = waitFor(executor, kj::mv(accepted));
    // The peer text the RPC server logs is the full address.
    EXPECT_EQ(getPeerEndpoint(*server).address().to_string(), host);
    EXPECT_EQ(getPeerEndpoint(*client), bound);
  }

  auto pipe = kj::newTwoWayPipe();
  EXPECT_ANY_THROW(getPeerEndpoint(*pipe.ends[0]));
}

TEST_F(ToolkitTest, HeaderTableHoldsTheUpgradeHeaders) {
  const auto& table = HttpHeader::defaultTable();
  EXPECT_EQ(&table, &HttpHeader::defaultTable());
  const struct {
    kj::HttpHeaderId id;
    const char* name;
  } headers[] = {{HttpHeader::accept(), "Accept"},
                 {HttpHeader::kernelUid(), "Nuvrel-Kernel-Uid"},
                 {HttpHeader::kernelVersion(), "Nuvrel-Kernel-Version"}};
  for (const auto& header : headers) {
    KJ_IF_MAYBE (id, table.stringToId(header.name)) {
      EXPECT_EQ(*id, header.id) << header.name;
    } else {
      ADD_FAILURE() << header.name << " not registered";
    }
  }
  auto set = HttpHeader::make();
  set.set(HttpHeader::kernelUid(), "abc");
  EXPECT_EQ(std::string(set.serializeRequest(kj::HttpMethod::GET, "/").cStr()),
            "GET / HTTP/1.1\r\nNuvrel-Kernel-Uid: abc\r\n\r\n");
}

TEST_F(ToolkitTest, FireAndForgetEndsFailedTasksWithoutReachingTheErrorHandler) {
  LoggingTaskSet tasks;
  auto failing = kj::newPromiseAndFulfiller<void>();
  auto failingHopefully = kj::newPromiseAndFulfiller<ExceptionOr<void>>();
  tasks.fireAndForget(kj::mv(failing.promise), "plain task", logging::Severity::debug);
  tasks.fireAndForget(kj::mv(failingHopefully.promise), "hopefully task", logging::Severity::debug);
  EXPECT_FALSE(tasks.isEmpty());

  failing.fulfiller->reject(KJ_EXCEPTION(FAILED, "plain failure"));
  failingHopefully.fulfiller->fulfill(std::make_exception_ptr(KSIOException("carried failure")));
  // Had a failure reached the handler it would have been rethrown here.
  waitFor(executor, tasks.onEmpty(), "empty task set");
  EXPECT_TRUE(tasks.isEmpty());
}

TEST(TerminatingTaskSetDeathTest, AFailingTaskEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        ThreadLocalExecutor<> executor;
        TerminatingTaskSet tasks("accept loop");
        tasks.add(kj::Promise<void>(KJ_EXCEPTION(FAILED, "must not happen")));
        executor.ioProvider().timer().afterDelay(1 * kj::SECONDS).wait(executor.waitScope());
      },
      "Unhandled exception thrown by the accept loop\\. .*must not happen");
}

}  // namespace
}  // namespace nuvrel::kj_asio
