// A value or the exception that prevented it: the form in which results and
// failures cross threads and promise boundaries.
#pragma once

#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

// GCC 12 misreports -Wmaybe-uninitialized for the variant inside an
// ExceptionOr when KJ holds one in its own optional storage (every
// kj::Promise<ExceptionOr<T>> made from a value); the pragma covers the
// implicitly defined members below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace nuvrel {

template <typename T>
class ExceptionOr;

template <>
class ExceptionOr<void>;

template <typename T>
class ExceptionOr {
 public:
  using Value = T;

  ExceptionOr(Value value) : state_(std::in_place_index<0>, std::move(value)) {}
  ExceptionOr(std::exception_ptr error) : state_(std::in_place_index<1>, std::move(error)) {}

  // Carries the failure of a void result over; the source must hold one
  // (success cannot become a value of T): std::bad_variant_access otherwise.
  ExceptionOr(const ExceptionOr<void>& failure);

  ExceptionOr(ExceptionOr&&) noexcept = default;
  ExceptionOr& operator=(ExceptionOr&&) noexcept = default;
  ExceptionOr(const ExceptionOr&) = default;
  ExceptionOr& operator=(const ExceptionOr&) = default;

  bool hasValue() const noexcept { return state_.index() == 0; }
  bool hasException() const noexcept { return state_.index() == 1; }
  explicit operator bool() const noexcept { return hasValue(); }

  const std::exception_ptr& exception() const { return std::get<1>(state_); }

  // The value, or the held exception rethrown.
  Value unwrap() && {
    if (state_.index() == 1) {
      std::rethrow_exception(std::get<1>(state_));
    }
    return std::move(std::get<0>(state_));
  }
  Value& value() & { return std::get<0>(state_); }
  const Value& value() const& { return std::get<0>(state_); }

  ExceptionOr<void> ignoreResult() const;

 private:
  std::variant<Value, std::exception_ptr> state_;
};

// Success or failure without a value.
template <>
class ExceptionOr<void> {
 public:
  using Value = std::monostate;

  ExceptionOr() : state_(std::in_place_index<0>) {}
  ExceptionOr(std::monostate) : state_(std::in_place_index<0>) {}
  ExceptionOr(std::exception_ptr error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool hasValue() const noexcept { return state_.index() == 0; }
  bool hasException() const noexcept { return state_.index() == 1; }
  explicit operator bool() const noexcept { return hasValue(); }

  const std::exception_ptr& exception() const { return std::get<1>(state_); }
  // The held exception; std::bad_variant_access when success is held.
  const std::exception_ptr& exceptionOrThrow() const { return std::get<1>(state_); }

  void unwrap() const {
    if (state_.index() == 1) {
      std::rethrow_exception(std::get<1>(state_));
    }
  }

  ExceptionOr<void> ignoreResult() const { return *this; }

 private:
  std::variant<std::monostate, std::exception_ptr> state_;
};

template <typename T>
ExceptionOr<T>::ExceptionOr(const ExceptionOr<void>& failure)
    : state_(std::in_place_index<1>, failure.exceptionOrThrow()) {}

template <typename T>
ExceptionOr<void> ExceptionOr<T>::ignoreResult() const {
  if (hasValue()) {
    return {};
  }
  return ExceptionOr<void>(exception());
}

// Success.
inline ExceptionOr<void> ok() { return {}; }

}  // namespace nuvrel

#pragma GCC diagnostic pop
