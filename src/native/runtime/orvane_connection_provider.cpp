#include "runtime/orvane_connection_provider.h"

#include <variant>
#include <vector>

#include "errors/exception.h"
#include "protocol/http_protocol_upgrade.h"

namespace nuvrel::python {

OrvaneConnectionProvider::OrvaneConnectionProvider(std::string_view host, std::uint16_t port,
                                                   DestinationParams destination,
                                                   std::chrono::milliseconds timeout)
    : host_(kj::heapString(host.data(), host.size())),
      port_(port),
      destination_(std::move(destination)),
      timeout_(timeout) {}

kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>> OrvaneConnectionProvider::operator()(
    kj::Network& network, kj::Timer& timer) {
  using Stream = kj::Own<kj::AsyncIoStream>;
  return HttpProtocolUpgrade::attemptUpgrade(
             network, timer, kj::heapString(host_), port_, destination_, HandshakeBehavior::Check,
             timeout_, {ClientWireProtocol::capnp}, LyrVectorParsing::yes,
             OnOrvaneVersionMismatch::accept)
      .then(kj_asio::ifOk([](KernelEndpoint&& endpoint) -> ExceptionOr<Stream> {
        if (auto* kernel = std::get_if<KernelStream>(&endpoint)) {
          return kj::mv(kernel->stream);
        }
        return ExceptionOr<Stream>(std::make_exception_ptr(ApiConnectionException(
            "The Server has an unsupported version. This usually means that the data-server "
            "version is older than the client version. Please make sure client and server are on "
            "the same Orvane version.")));
      }));
}

}  // namespace nuvrel::python
