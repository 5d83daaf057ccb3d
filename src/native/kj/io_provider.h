// The I/O of one thread's event loop, as the toolkit and the worker-side code
// see it. Implemented by ThreadLocalExecutionContext; every reference handed
// out belongs to the thread that owns the event loop and is used only there.
#pragma once

#include <kj/async-io.h>
#include <kj/async-unix.h>
#include <kj/io.h>
#include <kj/timer.h>

namespace nuvrel::kj_asio {

class IoProvider {
 public:
  virtual ~IoProvider() noexcept(false) = default;

  virtual kj::Network& network() = 0;
  virtual kj::Timer& timer() = 0;
  virtual kj::UnixEventPort& unixEventPort() = 0;
  // Takes ownership of a connected socket and makes it a stream of this loop.
  virtual kj::Own<kj::AsyncIoStream> wrapSocketFd(kj::AutoCloseFd fd) = 0;
};

}  // namespace nuvrel::kj_asio
