#include "kj/thread_local_execution_context.h"

#include <mutex>

#include "errors/exception_utils.h"

namespace nuvrel::kj_asio {
namespace {
thread_local ThreadLocalExecutionContext* threadContext = nullptr;

// kj::setupAsyncIo() writes process-wide state of the library (seen by
// ThreadSanitizer when two workers start at once), so event loops are set up
// one at a time.
kj::AsyncIoContext setupAsyncIoSerialised() {
  static std::mutex setupMutex;
  std::lock_guard lock(setupMutex);
  return kj::setupAsyncIo();
}

}  // namespace

kj::Own<ThreadLocalExecutionContext> ThreadLocalExecutionContext::getThreadLocal() {
  if (threadContext != nullptr) {
    return threadContext->addRef();
  }
  auto context = kj::refcounted<ThreadLocalExecutionContext>(setupAsyncIoSerialised());
  threadContext = context.get();
  return context;
}

ThreadLocalExecutionContext* ThreadLocalExecutionContext::current() noexcept {
  return threadContext;
}

ThreadLocalExecutionContext::ThreadLocalExecutionContext(kj::AsyncIoContext io)
    : io_(kj::mv(io)) {}

ThreadLocalExecutionContext::~ThreadLocalExecutionContext() noexcept(false) {
  doTryAndLog([this]() { io_->waitScope.cancelAllDetached(); },
              "ThreadLocalExecutionContext::cancelAllDetached");
  if (threadContext == this) {
    threadContext = nullptr;
  }
}

kj::Own<ThreadLocalExecutionContext> ThreadLocalExecutionContext::addRef() {
  return kj::addRef(*this);
}

kj::Network& ThreadLocalExecutionContext::network() { return io_->provider->getNetwork(); }

kj::Timer& ThreadLocalExecutionContext::timer() { return io_->provider->getTimer(); }

kj::UnixEventPort& ThreadLocalExecutionContext::unixEventPort() { return io_->unixEventPort; }

kj::Own<kj::AsyncIoStream> ThreadLocalExecutionContext::wrapSocketFd(kj::AutoCloseFd fd) {
  return io_->lowLevelProvider->wrapSocketFd(kj::mv(fd));
}

}  // namespace nuvrel::kj_asio
