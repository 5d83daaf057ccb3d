// The logging front end used by every other part of the native code.
//
// Logging is disabled until it is initialised (logger.h); a disabled log
// statement costs one check and formats nothing:
//
//   NUVREL_LOG(status) << "Starting " << name;
//   nuvrel::logging::logf(Severity::debug, "{} work items dropped.", n);
//
// Log statements may come from any thread.
#pragma once

#include <fmt/format.h>

#include <exception>
#include <memory>
#include <ostream>
#include <source_location>
#include <sstream>
#include <string>
#include <string_view>

#include "logging/severity.h"

namespace nuvrel::logging {

// True once the logging layer has been initialised and not closed since.
bool isLoggingEnabled() noexcept;

namespace detail {

// Builds one record: the message is streamed in, and the destructor hands the
// finished record to the sinks. When logging is disabled, or no sink takes a
// record of this severity, the stream is switched off and formats nothing.
// Never throws out of its destructor.
class LogRecord {
 public:
  explicit LogRecord(Severity severity);
  ~LogRecord();
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;

  std::ostream& stream() { return stream_; }

 private:
  struct Open;
  std::unique_ptr<Open> open_;
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

// Logs "<context>: Caught exception: <message>" ("Caught unknown exception."
// when the message is empty) at `severity`; while logging is disabled the
// same text goes to standard error. A null pointer logs nothing.
void logException(Severity severity, std::exception_ptr error, std::string_view context);

// Logs `message` at error, then throws Exception(message) with the caller's
// source location.
[[noreturn]] void logAndThrow(std::string message,
                              const std::source_location& location = std::source_location::current());

// Logs and swallows any failure of doing so.
void tryLog(Severity severity, std::string_view message) noexcept;
// Writes the message and a newline to standard error, then logs it at error;
// swallows failures.
void tryLogError(std::string_view message) noexcept;

// Logs the "message" (a string) of a JSON object at its "severity" (a number
// 0..6). Throws Exception for text that is no such object.
void writeDebugLogJson(std::string_view json);
// The same; a failure is logged at warning as
// "Failed to write debug log from JSON (<reason>).".
void tryWriteDebugLogJson(std::string_view json) noexcept;

}  // namespace nuvrel::logging

#define NUVREL_LOG(severity)                        \
  if (!::nuvrel::logging::isLoggingEnabled()) {     \
  } else                                            \
    ::nuvrel::logging::detail::LogRecord(::nuvrel::logging::Severity::severity).stream()
