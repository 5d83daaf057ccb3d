// Minimal stand-in for the logging layer: logging stays disabled, exceptions
// are reported on standard error. Replaced by the Boost.Log implementation.
#include <iostream>

#include "errors/exception_utils.h"
#include "logging/log.h"

namespace nuvrel::logging {

bool isLoggingEnabled() noexcept { return false; }

namespace detail {
LogRecord::LogRecord(Severity severity) : severity_(severity) {}
LogRecord::~LogRecord() = default;
}  // namespace detail

void log(Severity, std::string_view) {}

void logException(Severity, std::exception_ptr error, std::string_view context) {
  if (!error) {
    return;
  }
  std::string text;
  if (!context.empty()) {
    text.append(context).append(": ");
  }
  const std::string message = extractMessage(error);
  text.append(message.empty() ? std::string("Caught unknown exception.")
                              : "Caught exception: " + message);
  std::cerr << text << '\n';
}

}  // namespace nuvrel::logging
