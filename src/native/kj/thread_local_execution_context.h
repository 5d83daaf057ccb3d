// The KJ event loop and asynchronous I/O of one thread.
#pragma once

#include <kj/async-io.h>
#include <kj/refcount.h>

#include "errors/scope_guards.h"
#include "kj/io_provider.h"

namespace nuvrel::kj_asio {

// At most one per thread, shared through counted references that must all be
// used and released on that thread. The first `getThreadLocal` on a thread
// creates the event loop; the last reference destroys it.
class ThreadLocalExecutionContext final : public kj::Refcounted, public IoProvider {
 public:
  // The calling thread's context, created on first use.
  static kj::Own<ThreadLocalExecutionContext> getThreadLocal();

  // The calling thread's context if it has one, without creating it.
  static ThreadLocalExecutionContext* current() noexcept;

  // Public only for kj::refcounted; use getThreadLocal().
  explicit ThreadLocalExecutionContext(kj::AsyncIoContext io);
  ThreadLocalExecutionContext(const ThreadLocalExecutionContext&) = delete;
  ThreadLocalExecutionContext& operator=(const ThreadLocalExecutionContext&) = delete;

  // Cancels the loop's detached promises, forgets the thread's context, then
  // destroys the event loop and its I/O objects (a failure is logged).
  ~ThreadLocalExecutionContext() noexcept(false) override;

  kj::Own<ThreadLocalExecutionContext> addRef();
  kj::WaitScope& waitScope() { return io_->waitScope; }

  kj::Network& network() override;
  kj::Timer& timer() override;
  kj::UnixEventPort& unixEventPort() override;
  kj::Own<kj::AsyncIoStream> wrapSocketFd(kj::AutoCloseFd fd) override;

 private:
  utils::DestructorCatcher<kj::AsyncIoContext> io_;
};

}  // namespace nuvrel::kj_asio
