// An asyncio future that can be completed from any thread.
//
// `T` is the native type of the result; it becomes a Python object when the
// result is set (`pybind11::object` as it is, anything else through
// pybind11's casters, so a `std::unique_ptr` to a bound class becomes the
// Python object that takes ownership). On the loop's own thread the future is
// completed directly; from any other thread the completion is posted to the
// future's loop. A future that Python has cancelled silently discards what it
// is given. Failures never reach the caller: they are logged.
#pragma once

#include <pthread.h>
#include <pybind11/pybind11.h>

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

#include "errors/exception_utils.h"
#include "python/asyncio/python_objects_factory.h"

namespace nuvrel::python {

namespace detail {

enum class FutureCompletion { result, exception };

// Completes `future` with the object made by `makeArgument` (called with the
// interpreter lock held). Throws what the direct call raises.
void completeFuture(const PyHandle& future, pthread_t loopThread, FutureCompletion completion,
                    const std::function<pybind11::object()>& makeArgument);

// The Python exception object for a native failure (the errors module's).
pybind11::object makeFutureError(const std::exception_ptr& error);

template <typename T>
pybind11::object toPythonObject(T&& value) {
  if constexpr (std::is_base_of_v<pybind11::object, std::decay_t<T>>) {
    return std::move(value);
  } else {
    return pybind11::cast(std::move(value));
  }
}

}  // namespace detail

template <typename T>
class PythonFuture {
 public:
  PythonFuture(PyHandle future, pthread_t loopThread)
      : future_(std::move(future)), loopThread_(loopThread) {}

  void setResult(T&& value) {
    doTryAndLog(
        [&] {
          detail::completeFuture(future_, loopThread_, detail::FutureCompletion::result,
                                 [&] { return detail::toPythonObject(std::move(value)); });
        },
        "PythonFuture::setResult");
    // Not handed over (the interpreter is finalising): a Python reference
    // must not be dropped without the lock, so it is left behind.
    if constexpr (std::is_base_of_v<pybind11::handle, T>) {
      if (value && isInterpreterFinalizing()) {
        value.release();
      }
    }
  }

  void setException(std::exception_ptr error) {
    doTryAndLog(
        [&] {
          detail::completeFuture(future_, loopThread_, detail::FutureCompletion::exception,
                                 [&] { return detail::makeFutureError(error); });
        },
        "PythonFuture::setException()");
  }

  const PyHandle& handle() const noexcept { return future_; }
  // A new reference to the future object.
  pybind11::object object() const { return future_.borrow(); }

 private:
  PyHandle future_;
  pthread_t loopThread_;
};

}  // namespace nuvrel::python
