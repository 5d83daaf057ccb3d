#include "logging/thread_name.h"

#include <pthread.h>

#include <optional>

#include "errors/exception_utils.h"

namespace nuvrel {
namespace {
thread_local std::optional<std::string> threadName;
}

void setThreadName(const std::string& name) noexcept {
  try {
    threadName = name;
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  } catch (...) {
    detail::logExceptionNoexcept(logging::Severity::debug, std::current_exception(),
                                 "Runner::setThreadName()");
  }
}

std::string currentThreadName() {
  if (threadName) {
    return *threadName;
  }
  char buffer[64] = {};
  if (pthread_getname_np(pthread_self(), buffer, sizeof(buffer)) == 0) {
    return buffer;
  }
  return {};
}

}  // namespace nuvrel
