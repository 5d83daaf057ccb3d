// The logging front end used by every other part of the native code.
//
// Logging is disabled until it is initialised; a disabled log statement costs
// one check and formats nothing:
//
//   NUVREL_LOG(status) << "Starting " << name;
//   nuvrel::logging::logf(Severity::debug, "{} work items dropped.", n);
#pragma once

#include <fmt/format.h>

#include <exception>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "logging/severity.h"

namespace nuvrel::logging {

// True once the logging layer has been initialised and not closed since.
bool isLoggingEnabled() noexcept;

namespace detail {

// Builds one record: the message is streamed in, and the destructor hands the
// finished record to the sinks. Never throws out of its destructor.
class LogRecord {
 public:
  explicit LogRecord(Severity severity);
  ~LogRecord();
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;

  std::ostream& stream() { return stream_; }

 private:
  Severity severity_;
  std::ostringstream stream_;
};

}  // namespace detail

// Logs `message` at `severity` if logging is enabled.
void log(Severity severity, std::string_view message);

template <typename... Args>
void logf(Severity severity, fmt::format_string<Args...> format, Args&&... args) {
  if (isLoggingEnabled()) {
    log(severity, fmt::format(format, std::forward<Args>(args)...));
  }
}

// Logs "<context>: Caught exception: <message>" at `severity`; while logging is
// disabled the same text goes to standard error. A null pointer logs nothing.
void logException(Severity severity, std::exception_ptr error, std::string_view context);

}  // namespace nuvrel::logging

#define NUVREL_LOG(severity)                        \
  if (!::nuvrel::logging::isLoggingEnabled()) {     \
  } else                                            \
    ::nuvrel::logging::detail::LogRecord(::nuvrel::logging::Severity::severity).stream()
