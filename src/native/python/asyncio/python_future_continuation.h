// Completes an asyncio future with the result of a frame.
#pragma once

#include <utility>

#include "python/asyncio/python_future.h"
#include "runtime/result_frame.h"

namespace nuvrel::python {

template <typename T>
class PythonFutureContinuation {
 public:
  explicit PythonFutureContinuation(PythonFuture<T> future) : future_(std::move(future)) {}

  void operator()(ResultFrame<T>& frame) {
    auto result = frame.readValue();
    if (result.hasValue()) {
      future_.setResult(std::move(result.value()));
    } else {
      future_.setException(result.exception());
    }
  }

 private:
  PythonFuture<T> future_;
};

}  // namespace nuvrel::python
