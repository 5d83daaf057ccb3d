#include "kj/rpc_client.h"

#include <string>

#include "errors/exception.h"
#include "errors/kj_error_category.h"

namespace nuvrel::kj_asio {

RpcClient::RpcClient(kj::Own<kj::AsyncIoStream> stream, capnp::ReaderOptions options)
    : stream_(kj::mv(stream)),
      network_(*stream_, capnp::rpc::twoparty::Side::CLIENT, options,
               kj::systemCoarseMonotonicClock()),
      rpcSystem_(capnp::makeRpcClient(network_)) {}

capnp::Capability::Client RpcClient::getMain() {
  capnp::MallocMessageBuilder message(1024, capnp::AllocationStrategy::GROW_HEURISTICALLY);
  auto vatId = message.initRoot<capnp::rpc::twoparty::VatId>();
  vatId.setSide(capnp::rpc::twoparty::Side::SERVER);
  return rpcSystem_.bootstrap(vatId);
}

Hopefully<void> RpcClient::onDisconnect() {
  return network_.onDisconnect().then(
      []() { return ExceptionOr<void>(); },
      [](kj::Exception&& exception) {
        return ExceptionOr<void>(std::make_exception_ptr(
            Exception(kj::make_error_code(exception.getType()),
                      "Unexpected exception while waiting for disconnection: " +
                          std::string(exception.getDescription().cStr()))));
      });
}

}  // namespace nuvrel::kj_asio
