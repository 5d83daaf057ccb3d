// A handle on the calling thread's event loop, as the worker holds it.
#pragma once

#include <kj/async.h>

#include "errors/exception_utils.h"
#include "kj/io_provider.h"
#include "kj/thread_local_execution_context.h"

namespace nuvrel::kj_asio {

// How work is run on the executor's loop. The worker uses `primary`; nothing
// in the system uses `secondary`.
enum class AsyncBehavior : int { primary = 0, secondary = 1 };

// A value holding one counted reference to the thread's execution context:
// the first executor on a thread creates its event loop, the last one to go
// destroys it. Copies share the context; all of them belong to that thread.
template <AsyncBehavior B = AsyncBehavior::primary>
class ThreadLocalExecutor {
 public:
  ThreadLocalExecutor() : context_(ThreadLocalExecutionContext::getThreadLocal()) {}
  ThreadLocalExecutor(const ThreadLocalExecutor& other) : context_(shared(other)) {}
  ThreadLocalExecutor& operator=(const ThreadLocalExecutor& other) {
    if (this != &other) {
      context_ = shared(other);
    }
    return *this;
  }
  ThreadLocalExecutor(ThreadLocalExecutor&&) noexcept = default;
  ThreadLocalExecutor& operator=(ThreadLocalExecutor&&) noexcept = default;
  // Never throws: a failure while destroying the event loop is logged.
  ~ThreadLocalExecutor() noexcept {
    doTryAndLog([this]() { context_ = nullptr; }, "ThreadLocalExecutor dtor");
  }

  kj::WaitScope& waitScope() { return context_->waitScope(); }
  IoProvider& ioProvider() { return *context_; }
  static constexpr AsyncBehavior asyncBehavior() { return B; }

 private:
  // Counting a reference does not change the context.
  static kj::Own<ThreadLocalExecutionContext> shared(const ThreadLocalExecutor& other) {
    return const_cast<ThreadLocalExecutionContext&>(*other.context_).addRef();
  }

  kj::Own<ThreadLocalExecutionContext> context_;
};

}  // namespace nuvrel::kj_asio
