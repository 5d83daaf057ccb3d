// The syslog sink against a real UDP socket on the loopback interface.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "logging/log.h"
#include "logging/logger.h"
#include "logging_test_support.h"

namespace nuvrel::logging {
namespace {

using testing::LoggingTest;

// A UDP socket bound to 127.0.0.1 on a free port.
class UdpReceiver {
 public:
  UdpReceiver() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      throw std::runtime_error("cannot bind a UDP socket on 127.0.0.1");
    }
    socklen_t length = sizeof(address);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~UdpReceiver() { ::close(fd_); }

  std::uint16_t port() const { return port_; }

  // The next datagram, or no value after `timeoutMs`.
  std::optional<std::string> receive(int timeoutMs = 3000) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) {
      return std::nullopt;
    }
    char buffer[2048];
    const auto n = ::recv(fd_, buffer, sizeof(buffer), 0);
    if (n < 0) {
      return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(n));
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

class SyslogTest : public LoggingTest {
 protected:
  LogConfig configWithSyslog(const std::string& host, std::uint16_t port, Severity level) {
    LogConfig config = configWithFile(dir_.str());
    config.syslog.emplace();
    config.syslog->host = host;
    config.syslog->port = port;
    config.syslog->level = level;
    return config;
  }
};

TEST_F(SyslogTest, SendsRecordsAtOrAboveItsThreshold) {
  UdpReceiver receiver;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithSyslog("127.0.0.1", receiver.port(), Severity::warning)));
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Will log to Syslog server '127.0.0.1:" + std::to_string(receiver.port()) +
                     "'.\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(getLogLevel(LogSink::syslog), Severity::warning);
  setLogLevel(Severity::trace, LogSink::console);

  NUVREL_LOG(status) << "below the syslog threshold";
  NUVREL_LOG(warning) << "Connection lost";
  auto datagram = receiver.receive();
  ASSERT_TRUE(datagram.has_value());
  // user facility (1) * 8 + warning (4)
  EXPECT_EQ(datagram->substr(0, 4), "<12>") << *datagram;
  EXPECT_NE(datagram->find("] [warning] Connection lost"), std::string::npos) << *datagram;
  EXPECT_EQ(datagram->find("below the syslog threshold"), std::string::npos) << *datagram;
  EXPECT_FALSE(receiver.receive(200).has_value());
  // The console got both.
  EXPECT_NE(console().find("below the syslog threshold"), std::string::npos);
}

TEST_F(SyslogTest, MapsSeveritiesToSyslogPriorities) {
  UdpReceiver receiver;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithSyslog("127.0.0.1", receiver.port(), Severity::trace)));
  ::testing::internal::GetCapturedStdout();
  struct Case {
    Severity severity;
    const char* priority;
  };
  const Case cases[] = {
      {Severity::trace, "<14>"},  {Severity::debug, "<15>"}, {Severity::info, "<14>"},
      {Severity::status, "<13>"}, {Severity::warning, "<12>"}, {Severity::error, "<11>"},
      {Severity::fatal, "<14>"},
  };
  for (const auto& c : cases) {
    const std::string text = "mapped " + std::string(toString(c.severity));
    log(c.severity, text);
    auto datagram = receiver.receive();
    ASSERT_TRUE(datagram.has_value()) << text;
    EXPECT_EQ(datagram->substr(0, 4), c.priority) << *datagram;
    EXPECT_NE(datagram->find(text), std::string::npos) << *datagram;
  }
}

TEST_F(SyslogTest, UnresolvableHostLeavesConsoleAndFileRunning) {
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithSyslog("no-such-host.invalid", 514, Severity::warning)));
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(out.starts_with("Syslog server 'no-such-host.invalid:514' is not available. Error "
                              "reason is '"))
      << out;
  EXPECT_NE(out.find("'.\nWill log to directory '" + dir_.str() + "'.\n"), std::string::npos)
      << out;

  NUVREL_LOG(warning) << "after a failed syslog";
  closeLogs();
  EXPECT_NE(console().find("after a failed syslog"), std::string::npos);
  const auto files = filesIn(dir_.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(readFile(files[0]).find("after a failed syslog"), std::string::npos);
}

TEST_F(SyslogTest, SetSyslogServerReplacesTheSink) {
  UdpReceiver first;
  UdpReceiver second;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithSyslog("127.0.0.1", first.port(), Severity::warning)));
  setSyslogServer("localhost", second.port());
  ::testing::internal::GetCapturedStdout();

  NUVREL_LOG(error) << "to the second";
  auto datagram = second.receive();
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(datagram->substr(0, 4), "<11>");
  EXPECT_FALSE(first.receive(200).has_value());
  ASSERT_TRUE(detail::loggerState().lastSyslogSink.has_value());
  EXPECT_EQ(detail::loggerState().lastSyslogSink->port, second.port());
}

TEST(DefaultSyslogSink, HasNoHost) {
  const auto sink = getDefaultSyslogSink();
  EXPECT_FALSE(sink.disabled);
  EXPECT_EQ(sink.host, "");
  EXPECT_EQ(sink.port, 514);
  EXPECT_EQ(sink.level, Severity::warning);
}

}  // namespace
}  // namespace nuvrel::logging
