// Starting, re-targeting and stopping the logging layer.
//
// Until initLogs succeeds logging is disabled and a log statement costs one
// check. initLogs may be called again: it adds another console, file and
// statistics sink and replaces the syslog sink. initLogs, closeLogs,
// setSyslogServer and setLogPathApplication take no lock of their own; the
// callers serialise them (in the module they run with the interpreter lock
// held).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "logging/log_config.h"

namespace nuvrel::logging {

// initLogs("ksServer").
bool initLogs();
// The default file sink (in getLogPathApplication(), or the default directory
// when that is empty), the default console format and the last syslog target
// set with setSyslogServer, if any.
bool initLogs(const std::string& appName);
// Console and, if `withFile`, a file sink in `directory`, both in `format`.
bool initLogs(const std::string& appName, const std::string& directory, bool withFile,
              const LogFormatConfig& format);
// Console first, then syslog, then file. False only when the console could
// not be started; a failing syslog or file sink is reported on standard error
// and left out.
bool initLogs(const LogConfig& config);

// Flushes, removes every sink and disables logging.
void closeLogs();

// Stores the target (with the current syslog threshold) for later initLogs
// calls and (re)starts the syslog sink with it.
void setSyslogServer(const std::string& host, std::uint16_t port);
// No central log server is known to this build: the host is empty (no
// syslog), port 514, threshold warning.
LogConfig::SyslogSink getDefaultSyslogSink();

// The effective log directory; empty until a file sink was started or a
// path was set. Setting it while logging is enabled re-initialises logging
// with the last application name.
void setLogPathApplication(const std::string& path);
std::string getLogPathApplication();

// {"timestamp": "<local time>", "counters": {"trace": n, ...}} of the newest
// statistics sink; "null" when there is none.
std::string getLogStatisticsJson();

// The recent content of this application's log files, at most
// max(maxBytes, header length) characters (see log_history.h).
std::string getLogHistory(std::size_t maxBytes);

namespace detail {
// The directory used when LogConfig::FileSink::directory is empty.
std::string defaultLogDirectory(const std::string& appName);
}  // namespace detail

}  // namespace nuvrel::logging
