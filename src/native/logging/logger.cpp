#include "logging/logger.h"

#include <boost/log/attributes/clock.hpp>
#include <boost/log/attributes/counter.hpp>
#include <boost/log/attributes/current_thread_id.hpp>
#include <boost/log/core/core.hpp>

#include <cstdlib>
#include <iostream>

#include "errors/exception.h"
#include "logging/log.h"
#include "logging/log_keywords.h"
#include "logging/logger_state.h"
#include "logging/sinks.h"
#include "logging/statistics_sink.h"
#include "logging/thread_name.h"

namespace nuvrel::logging {

namespace detail {

LoggerState& loggerState() {
  static LoggerState state;
  return state;
}

}  // namespace detail

namespace {

void closeLogsAtExit() {
  try {
    closeLogs();
  } catch (...) {
  }
}

// Steps that must succeed for logging to be on at all.
void startCore(const LogConfig& config) {
  if (!config.console) {
    throw Exception("The log configuration has no console sink.");
  }
  auto core = boost::log::core::get();
  if (core->get_global_attributes().empty()) {
    namespace attrs = boost::log::attributes;
    core->add_global_attribute(log_keywords::tag::timestamp::get_name(), attrs::utc_clock());
    core->add_global_attribute(log_keywords::tag::lineCounter::get_name(),
                               attrs::counter<unsigned int>(0, 1));
    core->add_global_attribute(log_keywords::tag::threadId::get_name(),
                               attrs::current_thread_id());
    if (!detail::hasThreadNameAttribute()) {
      detail::setThreadNameAttribute("main");
    }
  }
  auto statistics = detail::makeStatisticsSink();
  core->add_sink(statistics);
  try {
    detail::startConsoleLogging(*config.console);
  } catch (...) {
    core->remove_sink(statistics);
    throw;
  }
  detail::loggerState().statistics = statistics;
  detail::setLoggingEnabled(true);
}

}  // namespace

bool initLogs(const LogConfig& config) {
  auto& state = detail::loggerState();
  state.lastAppName = config.appName;

  try {
    startCore(config);
  } catch (const std::exception& e) {
    std::cerr << "Error: Caught exception '" << e.what() << "' during console logging start.\n";
    return false;
  }

  if (config.syslog) {
    try {
      detail::initSyslogLogging(config.appName, *config.syslog);
    } catch (const std::exception& e) {
      std::cerr << "Warning: Caught exception '" << e.what()
                << "' during Syslog logging start. Will not log to Syslog.\n";
    }
  }

  if (config.file) {
    detail::startFileLogging(config.appName, *config.file);
  }

  std::atexit(&closeLogsAtExit);
  return true;
}

bool initLogs(const std::string& appName) {
  const auto& state = detail::loggerState();
  LogConfig config;
  config.appName = appName;
  config.file.emplace();
  config.file->directory = state.logPathApplication;
  config.console.emplace();
  config.syslog = state.lastSyslogSink;
  return initLogs(config);
}

bool initLogs() { return initLogs("ksServer"); }

bool initLogs(const std::string& appName, const std::string& directory, bool withFile,
              const LogFormatConfig& format) {
  LogConfig config;
  config.appName = appName;
  if (withFile) {
    config.file.emplace();
    config.file->directory = directory;
    config.file->format = format;
  }
  config.console = format;
  return initLogs(config);
}

void closeLogs() {
  auto core = boost::log::core::get();
  core->flush();
  core->remove_all_sinks();
  detail::loggerState().fileSinks.clear();
  detail::setLoggingEnabled(false);
}

void setLogPathApplication(const std::string& path) {
  auto& state = detail::loggerState();
  state.logPathApplication = path;
  if (isLoggingEnabled()) {
    closeLogs();
    initLogs(state.lastAppName);
  }
}

std::string getLogPathApplication() { return detail::loggerState().logPathApplication; }

std::string getLogStatisticsJson() {
  auto sink = detail::loggerState().statistics.lock();
  if (!sink) {
    return "null";
  }
  return detail::statisticsJson(sink->locked_backend()->counters());
}

}  // namespace nuvrel::logging
