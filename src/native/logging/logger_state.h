// Process-wide state of the logging layer, shared by its own files only.
//
// Written by initLogs, closeLogs and the path and syslog setters, which their
// callers serialise; read by the same functions and by getLogHistory.
#pragma once

#include <boost/log/sinks/sink.hpp>
#include <boost/smart_ptr/weak_ptr.hpp>

#include <optional>
#include <string>
#include <vector>

#include "logging/log_config.h"

namespace nuvrel::logging::detail {

class StatisticsSink;

struct LoggerState {
  std::string lastAppName;
  // The directory setting of the last file sink.
  std::string lastLogPath;
  // The directory the file sink writes to; empty when there is none.
  std::string logPathApplication;
  std::optional<LogConfig::SyslogSink> lastSyslogSink;
  boost::weak_ptr<StatisticsSink> statistics;
  boost::weak_ptr<boost::log::sinks::sink> syslog;
  // The file sinks started so far, by directory; at most one per directory.
  struct FileSinkEntry {
    std::string directory;
    boost::weak_ptr<boost::log::sinks::sink> sink;
  };
  std::vector<FileSinkEntry> fileSinks;
};

LoggerState& loggerState();

// Switches the Boost.Log core and the flag behind isLoggingEnabled together.
void setLoggingEnabled(bool enabled);

}  // namespace nuvrel::logging::detail
