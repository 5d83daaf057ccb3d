#include "logging/thread_name.h"

#include <pthread.h>

#include <boost/log/attributes/constant.hpp>
#include <boost/log/core/core.hpp>

#include <optional>

#include "errors/exception_utils.h"
#include "logging/log_keywords.h"

namespace nuvrel {
namespace {
thread_local std::optional<std::string> threadName;
}

namespace logging::detail {

void setThreadNameAttribute(const std::string& name) {
  auto core = boost::log::core::get();
  const auto& key = log_keywords::tag::threadName::get_name();
  auto attribute = boost::log::attributes::constant<std::string>(name);
  auto inserted = core->add_thread_attribute(key, attribute);
  if (!inserted.second) {
    core->remove_thread_attribute(inserted.first);
    core->add_thread_attribute(key, attribute);
  }
}

bool hasThreadNameAttribute() {
  const auto attributes = boost::log::core::get()->get_thread_attributes();
  return attributes.find(log_keywords::tag::threadName::get_name()) != attributes.end();
}

}  // namespace logging::detail

void setThreadName(const std::string& name) noexcept {
  try {
    logging::detail::setThreadNameAttribute(name);
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
