#include "python/connection_providers.h"

#include <fmt/format.h>

#include "errors/python_errc.h"
#include "errors/throw_error.h"
#include "kj/async_io.h"
#include "kj/timeout.h"

namespace nuvrel::python {

PlainConnectionProvider::PlainConnectionProvider(const std::string& host, std::uint16_t port,
                                                 std::chrono::milliseconds timeout)
    : host_(kj::heapString(host.data(), host.size())), port_(port), timeout_(timeout) {}

kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>> PlainConnectionProvider::operator()(
    kj::Network& network, kj::Timer& timer) {
  auto name = fmt::format("connection to {}:{}", host_.cStr(), port_);
  // The connect step resolves synchronously: started inside hopefullyNow, a
  // resolution failure becomes the error instead of escaping.
  auto attempt = kj_asio::hopefullyNow(
      [&]() { return kj_asio::connect(network, host_, port_); });
  return preciseTimeoutAfter(timer, timeout_, kj::mv(attempt), kj::mv(name));
}

std::pair<kj::Own<kj::AsyncIoStream>, PipeConnectionProvider> PipeConnectionProvider::create() {
  auto pipe = kj::newTwoWayPipe();
  return {kj::mv(pipe.ends[0]), PipeConnectionProvider(kj::mv(pipe.ends[1]))};
}

kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>> PipeConnectionProvider::operator()(kj::Network&,
                                                                                  kj::Timer&) {
  return kj_asio::hopefullyNow([this]() -> kj::Own<kj::AsyncIoStream> {
    if (end_.get() == nullptr) {
      throwError(PythonCapnpErrc::internal, "The pipe end was already handed over");
    }
    return kj::mv(end_);
  });
}

}  // namespace nuvrel::python
