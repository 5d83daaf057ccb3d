// The promise type of the native coroutines that return
// `AsyncioAwaitable<T>`.
//
// Such a coroutine must take an `AsyncioEventLoop` parameter directly
// followed by its operation name (anything a std::string can be made from);
// for a member coroutine the object comes first, as usual. The coroutine
// starts at once on the calling thread and runs until its first `co_await`
// on a result that is not there yet. Its value, or the exception leaving its
// body, goes into the frame of the returned awaitable. There is no final
// suspension: the coroutine frame is destroyed as soon as it completes.
#pragma once

#include <coroutine>
#include <exception>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "logging/log.h"
#include "python/asyncio/asyncio_awaitable.h"
#include "python/asyncio/asyncio_event_loop.h"
#include "runtime/result_frame.h"

namespace nuvrel::python::detail {

struct LoopAndName {
  AsyncioEventLoop loop;
  std::string name;
};

template <typename First, typename... Rest>
LoopAndName findLoopAndName(First& first, Rest&... rest) {
  if constexpr (std::is_same_v<std::remove_cvref_t<First>, AsyncioEventLoop>) {
    static_assert(sizeof...(Rest) > 0, "the AsyncioEventLoop parameter must be followed by a name");
    return [&](auto& name, auto&...) { return LoopAndName{first, std::string(name)}; }(rest...);
  } else {
    static_assert(sizeof...(Rest) > 0,
                  "a native coroutine needs an AsyncioEventLoop parameter followed by a name");
    return findLoopAndName(rest...);
  }
}

// The coroutine's own log lines; they must not throw where they are written.
inline void logStep(const std::string& name, const char* step) noexcept {
  try {
    logging::logf(logging::Severity::debug, "{} CS: {}", name, step);
  } catch (...) {
  }
}

template <typename T>
class CoroState {
 public:
  template <typename... Args>
  explicit CoroState(Args&... args) : CoroState(findLoopAndName(args...)) {}

  CoroState(const CoroState&) = delete;
  CoroState& operator=(const CoroState&) = delete;

  AsyncioAwaitable<T> get_return_object() { return AsyncioAwaitable<T>(loop_, frame_); }

  std::suspend_never initial_suspend() noexcept {
    logStep(name_, "Starting coroutine");
    return {};
  }

  std::suspend_never final_suspend() noexcept {
    logStep(name_, "Ending coroutine");
    return {};
  }

  void return_value(T value) {
    logStep(name_, "Return value");
    frame_->setValue(std::move(value));
  }

  void unhandled_exception() {
    logStep(name_, "Encountered exception");
    frame_->doSetError(std::current_exception(), false);
  }

 private:
  explicit CoroState(LoopAndName&& found)
      : name_(std::move(found.name)),
        loop_(std::move(found.loop)),
        frame_(ResultFrame<T>::make(name_)) {}

  std::string name_;
  AsyncioEventLoop loop_;
  std::shared_ptr<ResultFrame<T>> frame_;
};

}  // namespace nuvrel::python::detail
