// What one call of initLogs sets up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "logging/log_format_config.h"
#include "logging/severity.h"

namespace nuvrel::logging {

struct LogConfig {
  struct FileSink {
    // Empty: "/tmp/<appName>Log_<USER>" ("/tmp/<appName>Log" without USER).
    std::string directory;
    LogFormatConfig format;
    std::uintmax_t rotationSize = 4 * 1024 * 1024;
    std::uintmax_t maxFiles = 512;
    std::uintmax_t maxSize = 16 * 1024 * 1024;
    std::uintmax_t minFreeSpace = 100 * 1024 * 1024;
  };

  struct SyslogSink {
    // When set no syslog sink is made.
    bool disabled = false;
    // Empty: no syslog.
    std::string host;
    std::uint16_t port = 514;
    // Becomes the syslog threshold.
    Severity level = Severity::warning;
  };

  // Names the default directory, the log files and the syslog identity.
  std::string appName;
  std::optional<FileSink> file;
  // Required: initLogs fails without a console.
  std::optional<LogFormatConfig> console;
  std::optional<SyslogSink> syslog;
};

}  // namespace nuvrel::logging
