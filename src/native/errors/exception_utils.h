// Conversions of caught exceptions into messages, diagnostic texts and
// `nuvrel::Exception`s, and the wrappers that capture them as values.
// None of the text helpers ever throws.
#pragma once

#include <exception>
#include <string>

#include "errors/exception.h"
#include "errors/exception_or.h"
#include "logging/severity.h"

namespace nuvrel {

template <typename E>
ExceptionOr<void> wrapException(E exception) {
  return ExceptionOr<void>(std::make_exception_ptr(std::move(exception)));
}

// The exception being handled; outside a handler an `Exception` saying that
// there was none.
ExceptionOr<void> wrapCurrentException();

// nuvrel::Exception -> a copy of it; kj::Exception -> "kj" code and
// "Unexpected exception occurred: <description>"; std::exception -> 0x8000
// and "std::exception occurred: <what>"; anything else -> 0x8000 and
// "Unexpected exception occurred.".
Exception toException(std::exception_ptr error);

// The message alone: what() for std::exception, the bare description for
// kj::Exception, Boost's diagnostic text for another boost::exception, and
// the empty string for a null pointer or anything else.
std::string extractMessage(std::exception_ptr error) noexcept;
std::string extractCurrentExceptionMessage() noexcept;

// The message with where it came from, for logs.
std::string diagnosticInfo(std::exception_ptr error) noexcept;
std::string diagnosticInfo(const Exception& exception) noexcept;
std::string currentExceptionDiagnosticInfo() noexcept;

namespace detail {

void logExceptionToClog(std::exception_ptr error, const char* where) noexcept;
void logExceptionNoexcept(logging::Severity severity, std::exception_ptr error,
                          const char* where) noexcept;
void logMessage(const std::string& message) noexcept;

template <typename F>
void doTryAndLog(F&& function, const char* where,
                 logging::Severity severity = logging::Severity::debug) noexcept {
  try {
    std::forward<F>(function)();
  } catch (...) {
    logExceptionNoexcept(severity, std::current_exception(), where);
  }
}

}  // namespace detail

using detail::doTryAndLog;

}  // namespace nuvrel
