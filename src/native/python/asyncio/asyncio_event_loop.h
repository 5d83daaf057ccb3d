// The asyncio event loop of the Python code that made a request, reachable
// from any thread.
//
// An `AsyncioEventLoop` is built on a Python thread, normally from inside a
// coroutine running on the loop, and remembers that thread as the loop's
// thread. Copies share everything. Every operation takes the interpreter lock
// itself, so callers on the worker need no knowledge of it.
#pragma once

#include <pthread.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "python/asyncio/python_future.h"
#include "python/asyncio/python_objects_factory.h"

namespace nuvrel::python {

namespace detail {
// Passes `callable` to the loop's call_soon_threadsafe; a Python error is
// logged as a warning and swallowed. Needs the interpreter lock.
void postToLoop(pybind11::handle loop, const pybind11::object& callable);
}  // namespace detail

class AsyncioEventLoop {
 public:
  // Binds to `asyncio.get_event_loop()` of the calling thread (whatever
  // asyncio does without a current loop, this does too) and tracks it in
  // `factory`, after sweeping the factory's graveyard.
  explicit AsyncioEventLoop(std::shared_ptr<PythonObjectsFactory> factory);

  // Schedules `f()` on the loop; it then runs on the loop's thread with the
  // interpreter lock held, at most once. If the loop refuses (it is closed,
  // for instance) a warning is logged and `f` never runs. Nothing happens
  // while the interpreter finalises. Throws if the loop object is gone.
  template <typename F>
  void callSoonThreadSafe(F&& f) const {
    using Action = std::decay_t<F>;
    loop_->visit([&](pybind11::handle loop) {
      // The action lives only inside the Python callable, so that whatever it
      // holds is released with the callable, under the interpreter lock.
      pybind11::cpp_function callable(
          [action = std::make_shared<std::optional<Action>>(std::forward<F>(f))]() {
            if (auto once = std::exchange(*action, std::nullopt)) {
              (*once)();
            }
          });
      detail::postToLoop(loop, callable);
    });
  }

  // A new future of the loop, tracked by the factory. Throws
  // std::bad_optional_access while the interpreter finalises.
  template <typename T>
  PythonFuture<T> createPythonFuture() const {
    std::optional<PyHandle> future;
    loop_->visit([&](pybind11::handle loop) {
      future = factory_->create([&] { return loop.attr("create_future")(); });
    });
    return PythonFuture<T>(std::move(future.value()), loopThread_);
  }

  // Submits a Python coroutine to the loop with asyncio's
  // run_coroutine_threadsafe. Does nothing while the interpreter finalises.
  void runCoroutineThreadsafe(pybind11::handle coroutine) const;

  // A new reference to the loop object.
  pybind11::object object() const { return loop_->borrow(); }

  const std::shared_ptr<PythonObjectsFactory>& factory() const noexcept { return factory_; }
  pthread_t loopThread() const noexcept { return loopThread_; }

 private:
  // Declared first: the loop handle is released before the factory.
  std::shared_ptr<PythonObjectsFactory> factory_;
  std::shared_ptr<PyHandle> loop_;
  pthread_t loopThread_;
};

}  // namespace nuvrel::python
