// The one-shot hand-over of a result between two threads.
//
// A `ResultFrame<T>` receives one result (a value or an error) from a
// producer, typically the worker thread through a fulfiller, and hands it to
// a consumer that registered a continuation, typically the Python side. The
// frame is shared by everything that refers to it and lives as long as the
// last of them.
//
// Threads: every operation may be called from any thread. The continuation
// runs on the thread that completes the hand-over: the producer's thread when
// the continuation was registered first, the registering thread when the
// result was already there. It runs once the frame has a result, and never
// more than once, with no lock of the frame held, so it may read the frame.
// A result holding Python references is released wherever the frame is: such
// frames (T = pybind11::object) are only used on the asyncio loop's thread.
#pragma once

#include <concepts>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "errors/exception_or.h"
#include "errors/exception_utils.h"
#include "logging/log.h"
#include "utils/move_only_function.h"

namespace nuvrel::python {

template <typename T>
class ResultFrame;

// Anything that can be called with the frame once its result is there.
template <typename C, typename T>
concept Continuation = std::invocable<std::decay_t<C>&, ResultFrame<T>&> &&
                       std::move_constructible<std::decay_t<C>>;

namespace detail {

// Failures shared by every instantiation; defined in result_frame.cpp.
std::exception_ptr makeCancellationError();
std::exception_ptr makeReadBeforeSetError();
[[noreturn]] void throwConsumedTwice();

}  // namespace detail

template <typename T>
class ResultFrame : public std::enable_shared_from_this<ResultFrame<T>> {
  struct Private {
    explicit Private() = default;
  };

 public:
  using Value = T;
  using StoredContinuation = utils::ts::MoveOnlyFunction<void(ResultFrame&)>;

  enum State : int { Pending = 0, Available = 1, Consumed = 2 };

  // Use `make`; the constructor is public only for std::make_shared.
  ResultFrame(Private, std::string name) : name_(std::move(name)) {}
  ResultFrame(const ResultFrame&) = delete;
  ResultFrame& operator=(const ResultFrame&) = delete;

  static std::shared_ptr<ResultFrame> make(const std::string& name) {
    logging::logf(logging::Severity::trace, "{} RF: Building ResultFrame", name);
    return std::make_shared<ResultFrame>(Private{}, name);
  }

  const std::string& name() const noexcept { return name_; }

  State state() const {
    std::lock_guard lock(mutex_);
    return state_;
  }

  // Stores the value (replacing anything stored before) and runs the
  // continuation if one is waiting.
  void setValue(T value) { store(ExceptionOr<T>(std::move(value)), false); }

  // Stores the error and runs the continuation if one is waiting. With
  // `onlyIfPending` a frame that already received a result is left alone.
  void doSetError(const std::exception_ptr& error, bool onlyIfPending) {
    store(ExceptionOr<T>(error), onlyIfPending);
  }

  // Completes a pending frame with "Operation was cancelled."
  // (PythonCapnpErrc::internal); a frame that holds a result keeps it.
  void cancel() {
    {
      std::lock_guard lock(mutex_);
      if (state_ != Pending) {
        return;
      }
    }
    doSetError(detail::makeCancellationError(), true);
  }

  // Moves the result out and marks the frame consumed; before any result was
  // stored (or after it was read) the error "Unable read result value before
  // it was set.".
  ExceptionOr<T> readValue() {
    std::lock_guard lock(mutex_);
    if (!result_) {
      return ExceptionOr<T>(detail::makeReadBeforeSetError());
    }
    state_ = Consumed;
    ExceptionOr<T> out = std::move(*result_);
    result_.reset();
    return out;
  }

  // Runs `continuation` now if the result is there, or keeps it until the
  // result arrives, replacing a continuation kept before. Throws "Unable to
  // consume a Coroutine more than once." on a consumed frame.
  template <typename C>
    requires Continuation<C, T>
  void setContinuation(C&& continuation) {
    // A continuation replaced here is released after the lock is let go:
    // what it holds may need other locks to be released.
    std::optional<StoredContinuation> replaced;
    std::unique_lock lock(mutex_);
    switch (state_) {
      case Available:
        lock.unlock();
        {
          StoredContinuation now(std::forward<C>(continuation));
          run(now);
        }
        return;
      case Consumed:
        lock.unlock();
        detail::throwConsumedTwice();
      case Pending:
        // Storing under the same lock that a result is stored under is what
        // keeps a result arriving now from missing the continuation.
        replaced = std::exchange(continuation_, std::nullopt);
        continuation_.emplace(std::forward<C>(continuation));
        lock.unlock();
        return;
    }
  }

 private:
  void store(ExceptionOr<T>&& result, bool onlyIfPending) {
    std::optional<ExceptionOr<T>> previous;
    std::optional<StoredContinuation> continuation;
    {
      std::lock_guard lock(mutex_);
      if (onlyIfPending && state_ != Pending) {
        return;
      }
      previous = std::exchange(result_, std::move(result));
      state_ = Available;
      // Taken out, not left in place: a second result (only an error may
      // follow a value, and only through misuse) must not resume a consumer
      // twice.
      continuation = std::exchange(continuation_, std::nullopt);
    }
    // Nothing of `this` is touched after the continuation ran: the consumer
    // may have released the frame by then. What the previous result and the
    // continuation hold is released here, outside the lock.
    if (continuation) {
      run(*continuation);
    }
  }

  void run(StoredContinuation& continuation) {
    doTryAndLog([&] { continuation(*this); }, "ResultFrame continuation");
  }

  const std::string name_;
  mutable std::mutex mutex_;
  State state_ = Pending;
  std::optional<ExceptionOr<T>> result_;
  std::optional<StoredContinuation> continuation_;
};

}  // namespace nuvrel::python
