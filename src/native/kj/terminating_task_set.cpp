#include "kj/terminating_task_set.h"

#include <fmt/format.h>

#include <cstdio>

#include "errors/exception_utils.h"
#include "logging/log.h"

namespace nuvrel::kj_asio {

void TerminatingErrorHandler::doHandleException(std::exception_ptr error) {
  terminateWith(diagnosticInfo(error));
}

void TerminatingErrorHandler::taskFailed(kj::Exception&& exception) {
  std::string text;
  try {
    text = kj::str(exception).cStr();
  } catch (...) {
    text = "<exception could not be rendered>";
  }
  terminateWith(text);
}

void TerminatingErrorHandler::terminateWith(const std::string& text) {
  std::string message;
  try {
    message = fmt::format("Unhandled exception thrown by the {}. {}", name_, text);
    logging::log(logging::Severity::fatal, message);
    if (!logging::isLoggingEnabled()) {
      // Nothing else would record why the process is gone.
      std::fputs((message + "\n").c_str(), stderr);
    }
  } catch (...) {
    std::fputs((message + "\n").c_str(), stderr);
  }
  std::terminate();
}

TerminatingTaskSet::TerminatingTaskSet(std::string name, kj::SourceLocation location)
    : handler_(kj::mv(name)), location_(location), tasks_(handler_) {}

TerminatingTaskSet::~TerminatingTaskSet() noexcept(false) = default;

}  // namespace nuvrel::kj_asio
