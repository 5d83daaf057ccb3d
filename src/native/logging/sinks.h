// The sinks behind initLogs. Internal to the logging layer; the callers
// serialise these functions (see logger.h).
#pragma once

#include <boost/filesystem/path.hpp>
#include <boost/log/attributes/attribute_value_set.hpp>

#include <cstdint>
#include <string>

#include "logging/log_config.h"

namespace nuvrel::logging::detail {

// Passes records whose "Severity" reaches the threshold that `passes`
// reads at the moment of filtering; records without one are dropped.
struct ThresholdFilter {
  bool (*passes)(Severity);
  bool operator()(const boost::log::attribute_value_set& values) const;
};

// Adds a synchronous sink writing to std::clog. Throws on failure.
void startConsoleLogging(const LogFormatConfig& format);

// Adds the rotating file sink. Every failure is reported on standard error
// and leaves file logging off; never throws.
void startFileLogging(const std::string& appName, const LogConfig::FileSink& file);

// Replaces the syslog sink (or only removes it when `sink` names no host).
// An unresolvable host is reported on standard output. Throws when the sink
// cannot be made.
void initSyslogLogging(const std::string& appName, const LogConfig::SyslogSink& sink);

// Among the regular files in `directory` whose names start with `prefix`,
// newest first by last write time, deletes all after the first `maxFiles`.
// Returns the number deleted; throws boost::filesystem::filesystem_error.
std::size_t pruneLogFiles(const boost::filesystem::path& directory, const std::string& prefix,
                          std::uintmax_t maxFiles);

// The working directory of the process when the library was loaded.
const boost::filesystem::path& initialWorkingDirectory();

}  // namespace nuvrel::logging::detail
