// The consumer side of a result frame on the Python side.
//
// An `AsyncioAwaitable<T>` is both what a native coroutine `co_await`s (it
// then resumes on the asyncio loop once the frame holds its result) and what
// a Python call turns into an asyncio future (`forwardToFuture`). It is also
// the return type of every native coroutine whose promise is
// `detail::CoroState<T>` (coro_state.h): such a coroutine starts at once, and
// its result goes into the awaitable's frame.
//
//   AsyncioAwaitable<pybind11::object> fetch(AsyncioEventLoop loop, std::string name) {
//     auto [awaitable, fulfiller] = makeAwaitable<Record>(loop, "fetchInternal");
//     post(std::move(fulfiller));                   // to the worker
//     Record record = co_await std::move(awaitable);  // resumes on the loop
//     co_return toPython(record);
//   }
//   ...
//   return fetch(loop, "fetch").forwardToFuture();
#pragma once

#include <pybind11/pybind11.h>

#include <coroutine>
#include <memory>
#include <string>
#include <utility>

#include "logging/log.h"
#include "python/asyncio/asyncio_event_loop.h"
#include "python/asyncio/coroutine_continuation.h"
#include "python/asyncio/python_future_continuation.h"
#include "runtime/asyncio_fulfiller.h"
#include "runtime/fulfiller.h"
#include "runtime/result_frame.h"

namespace nuvrel::python {

namespace detail {
template <typename T>
class CoroState;
}  // namespace detail

template <typename T>
class AsyncioAwaitable {
 public:
  using promise_type = detail::CoroState<T>;
  using Frame = ResultFrame<T>;

  AsyncioAwaitable(AsyncioEventLoop loop, std::shared_ptr<Frame> frame)
      : loop_(std::move(loop)), frame_(std::move(frame)) {}

  bool await_ready() const {
    if (frame_->state() != Frame::Available) {
      return false;
    }
    logging::logf(logging::Severity::debug,
                  "{} A: Coroutine won't suspend. Result is already available", frame_->name());
    return true;
  }

  template <typename U>
  void await_suspend(std::coroutine_handle<detail::CoroState<U>> handle) {
    logging::logf(logging::Severity::debug, "{} A: await_suspend()", frame_->name());
    // The coroutine counts as suspended from here on and may be resumed, and
    // this awaitable destroyed, on the loop's thread before this returns; the
    // local reference keeps the frame alive until then.
    auto frame = frame_;
    frame->setContinuation(CoroutineContinuation<T, U>(loop_, handle));
  }

  // The result; an error is rethrown into the coroutine.
  T await_resume() { return frame_->readValue().unwrap(); }

  // An asyncio future of the loop that receives the frame's result; already
  // done if the result is there. Needs the interpreter lock.
  pybind11::object forwardToFuture() && {
    auto future = loop_.template createPythonFuture<T>();
    pybind11::object reference = future.object();
    frame_->setContinuation(PythonFutureContinuation<T>(std::move(future)));
    return reference;
  }

  const std::shared_ptr<Frame>& frame() const noexcept { return frame_; }
  const AsyncioEventLoop& loop() const noexcept { return loop_; }

 private:
  AsyncioEventLoop loop_;
  std::shared_ptr<Frame> frame_;
};

// A fresh frame named `name`, seen through an awaitable on `loop` and a
// fulfiller that completes it (and cancels it if dropped undelivered).
template <typename T>
std::pair<AsyncioAwaitable<T>, utils::Fulfiller<T>> makeAwaitable(AsyncioEventLoop loop,
                                                                   const std::string& name) {
  auto frame = ResultFrame<T>::make(name);
  auto fulfiller = makeAsyncioFulfiller(frame);
  return {AsyncioAwaitable<T>(std::move(loop), std::move(frame)), std::move(fulfiller)};
}

}  // namespace nuvrel::python

#include "python/asyncio/coro_state.h"
