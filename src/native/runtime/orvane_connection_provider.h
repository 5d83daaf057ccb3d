// The connection provider for a data-server kernel: TCP connect, the hello
// handshake and the HTTP upgrade, bounded as one step.
//
// A provider is built on the calling (Python) thread from the user's
// arguments, moved to the worker inside a work item and called there once,
// with the worker's network and timer; it owns copies of all its data and
// holds nothing thread-bound until called. Plug it in as the connection
// function of a connect request:
//
//   kj::Function<kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>>(kj::Network&, kj::Timer&)>
//       provider = OrvaneConnectionProvider(host, port, destination, timeout);
//
// and put an RpcClient on the stream it yields.
#pragma once

#include <kj/async-io.h>
#include <kj/string.h>
#include <kj/timer.h>

#include <chrono>
#include <cstdint>
#include <string_view>

#include "kj/hopefully.h"
#include "protocol/destination_params.h"

namespace nuvrel::python {

class OrvaneConnectionProvider {
 public:
  // `timeout` bounds connect, hello, request and response together (the
  // Python surface's default is 5000 ms).
  OrvaneConnectionProvider(std::string_view host, std::uint16_t port,
                           DestinationParams destination, std::chrono::milliseconds timeout);

  // The upgraded stream of the kernel named by the destination. Never
  // rejects. Failures: those of HttpProtocolUpgrade::attemptUpgrade (connect,
  // hello, HTTP refusals, server errors, KSTimeoutException "Execution of
  // connection to the data-server took longer than <duration>."), and for a
  // server that declines with a descriptor ApiConnectionException "The Server
  // has an unsupported version. ..." (no connection to the described kernel
  // is attempted). Event-loop thread only; network and timer must outlive
  // the promise.
  kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>> operator()(kj::Network& network,
                                                            kj::Timer& timer);

 private:
  kj::String host_;
  std::uint16_t port_;
  DestinationParams destination_;
  std::chrono::milliseconds timeout_;
};

}  // namespace nuvrel::python
