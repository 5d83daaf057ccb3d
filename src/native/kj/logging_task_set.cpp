#include "kj/logging_task_set.h"

#include <kj/debug.h>

#include "errors/exception_utils.h"
#include "logging/log.h"

namespace nuvrel::kj_asio {
namespace {

void logTaskFailure(logging::Severity severity, const std::string& name,
                    const std::string& text) noexcept {
  try {
    logging::logf(severity, "An exception occurred when executing {}: {}", name, text);
  } catch (...) {
    ::nuvrel::detail::logExceptionToClog(std::current_exception(), "LoggingTaskSet");
  }
}

}  // namespace

void LoggingTaskSet::LoggingErrorHandler::taskFailed(kj::Exception&& exception) {
  kj::throwFatalException(kj::mv(exception));
}

LoggingTaskSet::LoggingTaskSet(kj::SourceLocation location)
    : location_(location), tasks_(handler_) {}

LoggingTaskSet::~LoggingTaskSet() noexcept(false) = default;

void LoggingTaskSet::fireAndForget(kj::Promise<void>&& task, std::string name,
                                   logging::Severity severity) {
  tasks_.add(task.catch_([name = kj::mv(name), severity](kj::Exception&& exception) {
    logTaskFailure(severity, name, exception.getDescription().cStr());
  }));
}

void LoggingTaskSet::fireAndForget(Hopefully<void>&& task, std::string name,
                                   logging::Severity severity) {
  tasks_.add(task.then(
      [name, severity](ExceptionOr<void>&& result) {
        if (result.hasException()) {
          logTaskFailure(severity, name, diagnosticInfo(toException(result.exception())));
        }
      },
      // A Hopefully does not reject, but a KJ component inside it may.
      [name, severity](kj::Exception&& exception) {
        logTaskFailure(severity, name, exception.getDescription().cStr());
      }));
}

}  // namespace nuvrel::kj_asio
