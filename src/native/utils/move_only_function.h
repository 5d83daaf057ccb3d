// A move-only, type-erased callable: the form of work actions, result
// continuations and connection functions, which capture move-only state
// (promises, streams, fulfillers) that `std::function` cannot hold.
//
// Unlike std::function it may hold callables whose destructor is declared
// noexcept(false) (every KJ object): destroying a MoveOnlyFunction never
// throws; a failure while destroying the held callable is logged at debug
// with the context "MoveOnlyFunction dtor".
//
// An empty one (default-constructed, constructed from nullptr, moved from)
// throws std::bad_optional_access when called.
#pragma once

#include <concepts>
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "errors/exception_utils.h"

namespace nuvrel::utils::ts {

template <typename Signature>
class MoveOnlyFunction;

template <typename R, typename... Args>
class MoveOnlyFunction<R(Args...)> {
  struct Callable {
    // noexcept(false): the held object may be a KJ type.
    virtual ~Callable() noexcept(false) = default;
    virtual R call(Args&&... args) = 0;
  };

  template <typename F>
  struct Holder final : Callable {
    template <typename G>
    explicit Holder(G&& g) : function(std::forward<G>(g)) {}
    R call(Args&&... args) override {
      if constexpr (std::is_void_v<R>) {
        std::invoke(function, std::forward<Args>(args)...);
      } else {
        return std::invoke(function, std::forward<Args>(args)...);
      }
    }
    F function;
  };

 public:
  MoveOnlyFunction() noexcept = default;
  MoveOnlyFunction(std::nullptr_t) noexcept {}

  template <typename F>
    requires(!std::same_as<std::remove_cvref_t<F>, MoveOnlyFunction> &&
             !std::same_as<std::remove_cvref_t<F>, std::nullptr_t> &&
             std::is_invocable_r_v<R, std::decay_t<F>&, Args...>)
  MoveOnlyFunction(F&& function)
      : callable_(new Holder<std::decay_t<F>>(std::forward<F>(function))) {}

  MoveOnlyFunction(MoveOnlyFunction&& other) noexcept
      : callable_(std::exchange(other.callable_, nullptr)) {}

  MoveOnlyFunction& operator=(MoveOnlyFunction&& other) noexcept {
    if (this != &other) {
      reset();
      callable_ = std::exchange(other.callable_, nullptr);
    }
    return *this;
  }

  MoveOnlyFunction& operator=(std::nullptr_t) noexcept {
    reset();
    return *this;
  }

  MoveOnlyFunction(const MoveOnlyFunction&) = delete;
  MoveOnlyFunction& operator=(const MoveOnlyFunction&) = delete;

  ~MoveOnlyFunction() { reset(); }

  explicit operator bool() const noexcept { return callable_ != nullptr; }

  // Calls the held callable; std::bad_optional_access when empty. Like
  // std::function, constness of the wrapper does not extend to the callable.
  R operator()(Args... args) const {
    if (callable_ == nullptr) {
      throw std::bad_optional_access();
    }
    return callable_->call(std::forward<Args>(args)...);
  }

  // Destroys the held callable now; the function is empty afterwards.
  void reset() noexcept {
    Callable* callable = std::exchange(callable_, nullptr);
    if (callable != nullptr) {
      try {
        delete callable;
      } catch (...) {
        ::nuvrel::detail::logExceptionNoexcept(logging::Severity::debug, std::current_exception(),
                                     "MoveOnlyFunction dtor");
      }
    }
  }

 private:
  Callable* callable_ = nullptr;
};

}  // namespace nuvrel::utils::ts
