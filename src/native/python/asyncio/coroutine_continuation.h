// Resumes a native coroutine suspended on a result frame. The resumption is
// posted to the coroutine's asyncio loop, so the coroutine always continues
// on the loop's thread with the interpreter lock held, never on the thread
// that delivered the result.
#pragma once

#include <coroutine>
#include <utility>

#include "errors/exception_utils.h"
#include "logging/log.h"
#include "python/asyncio/asyncio_event_loop.h"
#include "python/asyncio/interpreter_state.h"
#include "runtime/result_frame.h"

namespace nuvrel::python {

namespace detail {
template <typename T>
class CoroState;
}  // namespace detail

template <typename T, typename U>
class CoroutineContinuation {
 public:
  using Handle = std::coroutine_handle<detail::CoroState<U>>;

  CoroutineContinuation(AsyncioEventLoop loop, Handle handle)
      : loop_(std::move(loop)), handle_(handle) {}

  void operator()(ResultFrame<T>& frame) {
    logging::logf(logging::Severity::debug, "{} RF: Coroutine resumption", frame.name());
    // During shutdown the coroutine stays suspended for good.
    if (isInterpreterFinalizing()) {
      return;
    }
    doTryAndLog([this] { loop_.callSoonThreadSafe([handle = handle_] { handle.resume(); }); },
                "CoroutineContinuation");
  }

 private:
  AsyncioEventLoop loop_;
  Handle handle_;
};

}  // namespace nuvrel::python
