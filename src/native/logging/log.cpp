#include "logging/log.h"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/core/record.hpp>
#include <boost/log/keywords/severity.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/throw_exception.hpp>

#include <atomic>
#include <iostream>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "errors/throw_error.h"
#include "logging/log_keywords.h"
#include "logging/logger_state.h"

namespace nuvrel::logging {

BOOST_LOG_GLOBAL_LOGGER_DEFAULT(KsLogger, boost::log::sources::severity_logger_mt<Severity>)

namespace {

std::atomic<bool> loggingEnabled{false};

// Boost.Log prints every record to std::clog while no sink is registered;
// until initLogs the core must be off.
struct DisableLoggingAtLoad {
  DisableLoggingAtLoad() {
    try {
      auto core = boost::log::core::get();
      if (core->get_global_attributes().empty()) {
        core->set_logging_enabled(false);
      }
    } catch (...) {
      std::cerr << "Error: Caught exception during logging initialization.\n";
    }
  }
} disableLoggingAtLoad;

}  // namespace

bool isLoggingEnabled() noexcept { return loggingEnabled.load(std::memory_order_acquire); }

namespace detail {

void setLoggingEnabled(bool enabled) {
  boost::log::core::get()->set_logging_enabled(enabled);
  loggingEnabled.store(enabled, std::memory_order_release);
}

struct LogRecord::Open {
  boost::log::record record;
};

LogRecord::LogRecord(Severity severity) {
  if (isLoggingEnabled()) {
    try {
      auto record = KsLogger::get().open_record(boost::log::keywords::severity = severity);
      if (record) {
        open_ = std::make_unique<Open>(Open{std::move(record)});
      }
    } catch (...) {
      nuvrel::detail::logExceptionToClog(std::current_exception(), "LogRecord ctor");
    }
  }
  if (!open_) {
    // Nothing will be written: let every << return at once.
    stream_.setstate(std::ios_base::badbit);
  }
}

LogRecord::~LogRecord() {
  if (!open_) {
    return;
  }
  try {
    {
      boost::log::record_ostream message(open_->record);
      message << stream_.view();
      message.flush();
    }
    KsLogger::get().push_record(std::move(open_->record));
  } catch (...) {
    nuvrel::detail::logExceptionToClog(std::current_exception(), "LogRecord dtor");
  }
}

}  // namespace detail

void log(Severity severity, std::string_view message) {
  if (isLoggingEnabled()) {
    detail::LogRecord(severity).stream() << message;
  }
}

void logException(Severity severity, std::exception_ptr error, std::string_view context) {
  if (!error) {
    return;
  }
  std::string text;
  if (!context.empty()) {
    text.append(context).append(": ");
  }
  const std::string message = extractMessage(error);
  if (message.empty()) {
    text.append("Caught unknown exception.");
  } else {
    text.append("Caught exception: ").append(message);
  }
  if (isLoggingEnabled()) {
    log(severity, text);
  } else {
    std::cerr << text << '\n';
  }
}

void logAndThrow(std::string message, const std::source_location& location) {
  log(Severity::error, message);
  boost::throw_exception(
      Exception(std::move(message)),
      boost::source_location(location.file_name(), location.line(), location.function_name()));
}

void tryLog(Severity severity, std::string_view message) noexcept {
  try {
    log(severity, message);
  } catch (...) {
  }
}

void tryLogError(std::string_view message) noexcept {
  try {
    std::cerr << message << '\n';
    log(Severity::error, message);
  } catch (...) {
  }
}

void writeDebugLogJson(std::string_view json) {
  boost::system::error_code ec;
  const boost::json::value parsed = boost::json::parse(json, ec);
  if (ec) {
    throwError(KS_ERROR_INVALID_ARGUMENT, "Debug log text is no valid JSON: {}", ec.message());
  }
  const auto* object = parsed.if_object();
  if (object == nullptr) {
    throwError(KS_ERROR_INVALID_ARGUMENT, "Debug log JSON is not an object.");
  }
  const auto* message = object->if_contains("message");
  if (message == nullptr || !message->is_string()) {
    throwError(KS_ERROR_INVALID_ARGUMENT, "Debug log JSON has no string \"message\".");
  }
  const auto* severity = object->if_contains("severity");
  if (severity == nullptr || !severity->is_number()) {
    throwError(KS_ERROR_INVALID_ARGUMENT, "Debug log JSON has no number \"severity\".");
  }
  ec.clear();
  const auto value = severity->to_number<std::int64_t>(ec);
  if (ec || value < 0 || value >= kSeverityCount) {
    throwError(KS_ERROR_INVALID_ARGUMENT, "Debug log JSON has an invalid severity {}.",
               boost::json::serialize(*severity));
  }
  const auto& text = message->get_string();
  log(static_cast<Severity>(value), std::string_view(text.data(), text.size()));
}

void tryWriteDebugLogJson(std::string_view json) noexcept {
  try {
    writeDebugLogJson(json);
  } catch (...) {
    try {
      log(Severity::warning,
          "Failed to write debug log from JSON (" + extractCurrentExceptionMessage() + ").");
    } catch (...) {
    }
  }
}

}  // namespace nuvrel::logging
