#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/syslog_backend.hpp>
#include <boost/log/utility/exception_handler.hpp>
#include <boost/smart_ptr/make_shared_object.hpp>

#include <iostream>
#include <optional>
#include <string>

#include "logging/levels.h"
#include "logging/log_format.h"
#include "logging/logger.h"
#include "logging/logger_state.h"
#include "logging/sinks.h"

namespace nuvrel::logging {

namespace detail {
namespace {

namespace asio = boost::asio;
namespace sinks = boost::log::sinks;

// The host as a literal address, else its first IPv4 address; no value (and
// the "not available" line) when it cannot be resolved.
std::optional<asio::ip::address> targetAddress(const std::string& host, std::uint16_t port) {
  boost::system::error_code ec;
  auto address = asio::ip::make_address(host, ec);
  if (!ec) {
    return address;
  }
  asio::io_context io;
  asio::ip::udp::resolver resolver(io);
  ec.clear();
  auto results = resolver.resolve(asio::ip::udp::v4(), host, std::to_string(port), ec);
  if (!ec && results.empty()) {
    ec = asio::error::host_not_found;
  }
  if (ec) {
    std::cout << "Syslog server '" << host << ":" << port << "' is not available. Error reason is '"
              << ec.message() << "'." << std::endl;
    return std::nullopt;
  }
  return results.begin()->endpoint().address();
}

}  // namespace

void initSyslogLogging(const std::string& appName, const LogConfig::SyslogSink& config) {
  auto& state = loggerState();
  auto core = boost::log::core::get();
  if (auto existing = state.syslog.lock()) {
    core->remove_sink(existing);
  }
  state.syslog.reset();

  if (config.disabled || config.host.empty()) {
    return;
  }
  auto address = targetAddress(config.host, config.port);
  if (!address) {
    return;
  }

  namespace keywords = boost::log::keywords;
  // An IPv6 literal cannot be reached through an IPv4 socket: the socket
  // follows the address.
  auto backend = boost::make_shared<sinks::syslog_backend>(
      keywords::facility = sinks::syslog::user, keywords::ident = appName,
      keywords::use_impl = sinks::syslog::udp_socket_based,
      keywords::ip_version = address->is_v6() ? sinks::v6 : sinks::v4);
  backend->set_target_address(*address, config.port);

  sinks::syslog::custom_severity_mapping<Severity> mapping("Severity");
  mapping[Severity::debug] = sinks::syslog::debug;
  mapping[Severity::info] = sinks::syslog::info;
  mapping[Severity::status] = sinks::syslog::notice;
  mapping[Severity::warning] = sinks::syslog::warning;
  mapping[Severity::error] = sinks::syslog::error;
  backend->set_severity_mapper(mapping);

  setLogLevel(config.level, LogSink::syslog);

  auto sink = boost::make_shared<sinks::synchronous_sink<sinks::syslog_backend>>(backend);
  sink->set_filter(ThresholdFilter{&passesSyslog});
  sink->set_formatter(makeFormatter(LogFormatConfig{}));
  // Datagrams that cannot be sent are lost like any lost datagram; they must
  // not keep the record from the other sinks.
  sink->set_exception_handler(boost::log::make_exception_suppressor());
  core->add_sink(sink);
  std::cout << "Will log to Syslog server '" << config.host << ":" << config.port << "'."
            << std::endl;
  state.syslog = sink;
}

}  // namespace detail

LogConfig::SyslogSink getDefaultSyslogSink() {
  // No central log server is built in, so the DNS search domains are not
  // consulted: without setSyslogServer there is no syslog.
  LogConfig::SyslogSink sink;
  sink.disabled = false;
  sink.host.clear();
  sink.port = 514;
  sink.level = Severity::warning;
  return sink;
}

void setSyslogServer(const std::string& host, std::uint16_t port) {
  auto& state = detail::loggerState();
  LogConfig::SyslogSink sink;
  sink.host = host;
  sink.port = port;
  sink.level = getLogLevel(LogSink::syslog);
  state.lastSyslogSink = sink;
  detail::initSyslogLogging(state.lastAppName, sink);
}

}  // namespace nuvrel::logging
