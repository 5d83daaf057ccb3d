// The producer side of a one-shot result: whoever computes the result (the
// worker thread, mostly) holds a `Fulfiller<T>` and calls it once.
#pragma once

#include <exception>
#include <memory>
#include <utility>

#include "errors/exception_or.h"

namespace nuvrel::utils {

// Where a delivered result goes. Implementations decide what delivery means;
// their destructor runs when the last fulfiller referring to them is gone.
template <typename T>
class FulfillerImpl {
 public:
  virtual ~FulfillerImpl() = default;
  virtual void fulfill(T&& value) = 0;
  virtual void reject(std::exception_ptr&& error) = 0;
};

// Delivers at most once: the first call hands the value or the error to the
// implementation and then lets go of it, so a second call, or a call on a
// moved-from or default-constructed fulfiller, does nothing. Copies share the
// implementation; it is released when the last copy has delivered or is gone.
template <typename T>
class Fulfiller {
 public:
  Fulfiller() = default;
  explicit Fulfiller(std::shared_ptr<FulfillerImpl<T>> impl) : impl_(std::move(impl)) {}

  Fulfiller(Fulfiller&& other) noexcept : impl_(std::exchange(other.impl_, nullptr)) {}
  Fulfiller& operator=(Fulfiller&& other) noexcept {
    impl_ = std::exchange(other.impl_, nullptr);
    return *this;
  }
  Fulfiller(const Fulfiller&) = default;
  Fulfiller& operator=(const Fulfiller&) = default;

  void operator()(ExceptionOr<T>&& result) {
    auto impl = std::exchange(impl_, nullptr);
    if (!impl) {
      return;
    }
    if (result.hasValue()) {
      impl->fulfill(std::move(result.value()));
    } else {
      impl->reject(std::exception_ptr(result.exception()));
    }
  }

  void fulfill(T value) { (*this)(ExceptionOr<T>(std::move(value))); }
  void reject(std::exception_ptr error) { (*this)(ExceptionOr<T>(std::move(error))); }

  // True while this fulfiller can still deliver.
  explicit operator bool() const noexcept { return impl_ != nullptr; }

 private:
  std::shared_ptr<FulfillerImpl<T>> impl_;
};

}  // namespace nuvrel::utils
