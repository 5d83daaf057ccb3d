// How a connect request obtains the byte stream that two-party RPC runs on.
// A provider is built on the calling Python thread from the user's
// arguments, moved into a work item and called once on the worker thread
// with the worker's network and timer. Providers own all their data and hold
// nothing bound to a thread until they are called.
#pragma once

#include <kj/async-io.h>
#include <kj/string.h>
#include <kj/timer.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "kj/hopefully.h"
#include "utils/move_only_function.h"

namespace nuvrel::python {

using ConnectFunction = utils::ts::MoveOnlyFunction<kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>>(
    kj::Network&, kj::Timer&)>;

// A TCP connection to host:port, bounded as a whole (resolution included) by
// the time-out. Failures: those of kj_asio::connect, or KSTimeoutException
// "Execution of connection to <host>:<port> took longer than <duration>.".
class PlainConnectionProvider {
 public:
  PlainConnectionProvider(const std::string& host, std::uint16_t port,
                          std::chrono::milliseconds timeout);

  kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>> operator()(kj::Network& network,
                                                            kj::Timer& timer);

 private:
  kj::String host_;
  std::uint16_t port_;
  std::chrono::milliseconds timeout_;
};

// One end of an in-process two-way pipe; the other end is served by the
// same context. No network, no time-out.
class PipeConnectionProvider {
 public:
  // The other end of a fresh pipe (for the serving side) and the provider
  // holding this end.
  static std::pair<kj::Own<kj::AsyncIoStream>, PipeConnectionProvider> create();

  explicit PipeConnectionProvider(kj::Own<kj::AsyncIoStream> end) : end_(kj::mv(end)) {}
  PipeConnectionProvider(PipeConnectionProvider&&) = default;
  PipeConnectionProvider& operator=(PipeConnectionProvider&&) = default;

  // Hands over the end; a second call fails.
  kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>> operator()(kj::Network& network,
                                                            kj::Timer& timer);

 private:
  kj::Own<kj::AsyncIoStream> end_;
};

}  // namespace nuvrel::python
