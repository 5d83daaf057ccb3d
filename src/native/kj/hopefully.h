// Hopefully<T>: the promise that every asynchronous step of the runtime and
// the connection code returns. It never rejects: a failure travels as the
// exception held in the ExceptionOr, with its C++ type intact (a rejected KJ
// promise could only carry a kj::Exception, and KJ turns every other
// exception thrown in a continuation into one).
//
// Steps are chained with ordinary `then` and these continuation builders:
//
//   connect(network, host, port)
//       .then(ifOk([](kj::Own<kj::AsyncIoStream>&& stream) { ... return info; }))
//       .then(ifOk([](Info&& info) -> Hopefully<Other> { ... }));
//
// Every builder catches what its callable throws and turns it into the
// error of the result, so an exception never leaves a continuation.
#pragma once

#include <kj/async.h>

#include <exception>
#include <type_traits>
#include <utility>

#include "errors/exception_or.h"

namespace nuvrel::kj_asio {

template <typename T>
using Hopefully = kj::Promise<ExceptionOr<T>>;

namespace detail {

template <typename X>
struct HopefullyTraits {
  // A plain value U becomes ExceptionOr<U>.
  using Value = X;
  using Out = ExceptionOr<X>;
  static constexpr bool isPromise = false;
};
template <>
struct HopefullyTraits<void> {
  using Value = void;
  using Out = ExceptionOr<void>;
  static constexpr bool isPromise = false;
};
template <typename U>
struct HopefullyTraits<ExceptionOr<U>> {
  using Value = U;
  using Out = ExceptionOr<U>;
  static constexpr bool isPromise = false;
};
template <typename U>
struct HopefullyTraits<kj::Promise<ExceptionOr<U>>> {
  using Value = U;
  using Out = kj::Promise<ExceptionOr<U>>;
  static constexpr bool isPromise = true;
};
template <typename U>
struct HopefullyTraits<kj::Promise<U>> {
  // An ordinary promise is captured: its rejection becomes the error.
  using Value = U;
  using Out = kj::Promise<ExceptionOr<U>>;
  static constexpr bool isPromise = true;
};

template <typename T>
struct IsKjPromise : std::false_type {};
template <typename T>
struct IsKjPromise<kj::Promise<T>> : std::true_type {};

}  // namespace detail

// A value becomes a held value; a kj::Exception becomes the held error.
template <typename T>
Hopefully<T> captureExceptions(kj::Promise<T>&& promise) {
  if constexpr (std::is_void_v<T>) {
    return promise.then([]() { return ExceptionOr<void>(); },
                        [](kj::Exception&& exception) {
                          return ExceptionOr<void>(std::make_exception_ptr(kj::mv(exception)));
                        });
  } else {
    return promise.then([](T&& value) { return ExceptionOr<T>(kj::mv(value)); },
                        [](kj::Exception&& exception) {
                          return ExceptionOr<T>(std::make_exception_ptr(kj::mv(exception)));
                        });
  }
}

// A promise already resolved to `value`. Use it instead of kj::Promise<T>(value):
// GCC 12 reports a false -Wmaybe-uninitialized for the temporary that KJ
// builds there when T holds a std::variant or std::optional.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
template <typename T>
kj::Promise<T> readyNow(T value) {
  return kj::Promise<T>(kj::mv(value));
}
#pragma GCC diagnostic pop

// A Hopefully that resolves at once to `result`.
template <typename T>
Hopefully<T> ready(ExceptionOr<T> result) {
  return readyNow(kj::mv(result));
}

namespace detail {

template <typename Raw>
using OutOf = typename HopefullyTraits<Raw>::Out;

template <typename Raw>
OutOf<Raw> errorResult(std::exception_ptr error) {
  using Value = typename HopefullyTraits<Raw>::Value;
  if constexpr (HopefullyTraits<Raw>::isPromise) {
    return readyNow(ExceptionOr<Value>(kj::mv(error)));
  } else {
    return ExceptionOr<Value>(kj::mv(error));
  }
}

// Calls `call` and turns what it returns or throws into OutOf<its result>.
template <typename Call>
auto invokeCapturing(Call&& call) -> OutOf<std::invoke_result_t<Call&>> {
  using Raw = std::invoke_result_t<Call&>;
  using Value = typename HopefullyTraits<Raw>::Value;
  try {
    if constexpr (std::is_void_v<Raw>) {
      call();
      return ExceptionOr<void>();
    } else if constexpr (IsKjPromise<Raw>::value &&
                         !std::is_same_v<Raw, kj::Promise<ExceptionOr<Value>>>) {
      return captureExceptions(call());
    } else {
      return OutOf<Raw>(call());
    }
  } catch (...) {
    return errorResult<Raw>(std::current_exception());
  }
}

}  // namespace detail

// Calls `function` now and makes its outcome a Hopefully: what it returns (a
// value, an ExceptionOr, a Hopefully or a plain KJ promise) or what it throws.
// Starts a chain with a step that may fail synchronously.
template <typename F>
auto hopefullyNow(F&& function) {
  using Raw = std::invoke_result_t<F&>;
  auto out = detail::invokeCapturing(function);
  if constexpr (detail::HopefullyTraits<Raw>::isPromise) {
    return out;
  } else {
    return readyNow(kj::mv(out));
  }
}

// The continuation for a Hopefully<T> that calls `function` with the value
// (with nothing for T = void) and passes an error on unchanged, also into a
// different result type. `function` may return a value, an ExceptionOr, a
// Hopefully or a plain KJ promise; what it throws becomes the error.
template <typename F>
auto ifOk(F&& function) {
  return [function = std::forward<F>(function)]<typename T>(ExceptionOr<T>&& result) mutable {
    if constexpr (std::is_void_v<T>) {
      using Raw = std::invoke_result_t<std::decay_t<F>&>;
      if (result.hasException()) {
        return detail::errorResult<Raw>(result.exception());
      }
      return detail::invokeCapturing([&]() -> Raw { return function(); });
    } else {
      using Raw = std::invoke_result_t<std::decay_t<F>&, T&&>;
      if (result.hasException()) {
        return detail::errorResult<Raw>(result.exception());
      }
      return detail::invokeCapturing([&]() -> Raw { return function(kj::mv(result.value())); });
    }
  };
}

// The continuation for a Hopefully<void> that yields `value` on success and
// passes an error on.
template <typename V>
auto doReturn(V value) {
  return [value = kj::mv(value)](ExceptionOr<void>&& result) mutable -> ExceptionOr<V> {
    if (result.hasException()) {
      return ExceptionOr<V>(result.exception());
    }
    return ExceptionOr<V>(kj::mv(value));
  };
}

}  // namespace nuvrel::kj_asio
