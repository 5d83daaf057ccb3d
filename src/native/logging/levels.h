// The four process-wide thresholds: the general level and one per sink.
//
// They are read under a shared lock whenever a sink filters a record and
// written under an exclusive lock, so a change applies to the very next
// record on every thread. The general level starts at `status`, console and
// file take it over when the library loads, syslog starts at `warning`.
#pragma once

#include "logging/severity.h"

namespace nuvrel::logging {

// `all` sets the general level and the three sink thresholds; a sink sets its
// own. Throws Exception for a value outside LogSink.
void setLogLevel(Severity severity, LogSink sink = LogSink::all);

// The general level.
Severity getLogLevel();
// The threshold of `console`, `file` or `syslog`; throws Exception
// "getLogLevel for sink=all is not supported." for `all` and
// "getLogLevel for sink=<n> is not supported." for other values.
Severity getLogLevel(LogSink sink);

void setLogLevelConsole(Severity severity);
Severity getLogLevelConsole();
void setLogLevelFile(Severity severity);
Severity getLogLevelFile();

// Sets the general level for the lifetime of the object and restores the
// previous one afterwards. The sink thresholds are left alone.
class ScopedLogLevelChange {
 public:
  explicit ScopedLogLevelChange(Severity severity);
  ~ScopedLogLevelChange();
  ScopedLogLevelChange(const ScopedLogLevelChange&) = delete;
  ScopedLogLevelChange& operator=(const ScopedLogLevelChange&) = delete;

 private:
  Severity saved_;
};

namespace detail {
// The filter of each sink: true when `severity` reaches that sink's
// threshold at this moment.
bool passesConsole(Severity severity);
bool passesFile(Severity severity);
bool passesSyslog(Severity severity);
}  // namespace detail

}  // namespace nuvrel::logging
