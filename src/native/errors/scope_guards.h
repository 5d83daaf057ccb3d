// Guards whose destructors run clean-up that may fail, and log the failure
// instead of letting it escape.
#pragma once

#include <exception>
#include <functional>
#include <utility>

#include "errors/exception_utils.h"

namespace nuvrel {

// Calls the held function when destroyed; a failure is written to std::clog.
class ScopeExit {
 public:
  explicit ScopeExit(std::function<void()> function) : function_(std::move(function)) {}
  ScopeExit(ScopeExit&& other) noexcept : function_(std::exchange(other.function_, nullptr)) {}
  ScopeExit& operator=(ScopeExit&&) = delete;
  ScopeExit(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (function_) {
      try {
        function_();
      } catch (...) {
        detail::logExceptionToClog(std::current_exception(), "ScopeExit dtor");
      }
    }
  }

 private:
  std::function<void()> function_;
};

namespace utils {

// Owns a T whose destructor may throw (KJ objects do); the exception is
// logged at debug and destruction completes.
template <typename T>
class DestructorCatcher {
 public:
  template <typename... Args>
  explicit DestructorCatcher(Args&&... args) : value_(std::forward<Args>(args)...) {}
  DestructorCatcher(const DestructorCatcher&) = delete;
  DestructorCatcher& operator=(const DestructorCatcher&) = delete;

  ~DestructorCatcher() noexcept {
    try {
      value_.~T();
    } catch (...) {
      detail::logExceptionNoexcept(logging::Severity::debug, std::current_exception(),
                                   "DestructorCatcher dtor");
    }
  }

  T& operator*() { return value_; }
  const T& operator*() const { return value_; }
  T* operator->() { return &value_; }
  const T* operator->() const { return &value_; }
  T& get() { return value_; }

 private:
  // A union member is not destroyed implicitly, which lets the destructor
  // run T's destructor inside a try block.
  union {
    T value_;
  };
};

}  // namespace utils
}  // namespace nuvrel
