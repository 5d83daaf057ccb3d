#include "kj/rpc_server.h"

#include <capnp/rpc-twoparty.h>
#include <fmt/format.h>

#include <string>

#include "errors/exception.h"
#include "errors/throw_error.h"
#include "kj/endpoints.h"
#include "logging/log.h"

namespace nuvrel::kj_asio {
namespace {

// Stream, network and RPC system of one accepted connection, declared in
// the order that tears them down safely.
struct ConnectionContext {
  ConnectionContext(kj::Own<kj::AsyncIoStream>&& s, capnp::Capability::Client bootstrap,
                    capnp::ReaderOptions options)
      : stream(kj::mv(s)),
        network(*stream, capnp::rpc::twoparty::Side::SERVER, options,
                kj::systemCoarseMonotonicClock()),
        rpcSystem(capnp::makeRpcServer(network, kj::mv(bootstrap))) {}

  kj::Own<kj::AsyncIoStream> stream;
  capnp::TwoPartyVatNetwork network;
  capnp::RpcSystem<capnp::rpc::twoparty::VatId> rpcSystem;
};

std::string peerText(kj::AsyncIoStream& stream) {
  try {
    return getPeerEndpoint(stream).address().to_string();
  } catch (const kj::Exception& exception) {
    logging::logf(logging::Severity::debug, "Failed to determine the client endpoint: {}",
                  exception.getDescription().cStr());
  } catch (const Exception& exception) {
    logging::logf(logging::Severity::debug, "Failed to determine the client endpoint: {}",
                  exception.what());
  }
  return "unknown client";
}

}  // namespace

RpcServer::RpcServer(kj::SourceLocation location) : tasks_(location) {}

RpcServer::~RpcServer() noexcept(false) = default;

void RpcServer::newConnection(kj::Own<kj::AsyncIoStream>&& stream,
                              capnp::Capability::Client bootstrap, capnp::ReaderOptions options) {
  const std::string peer = peerText(*stream);
  try {
    auto context = kj::heap<ConnectionContext>(kj::mv(stream), kj::mv(bootstrap), options);
    auto disconnected = context->network.onDisconnect();
    tasks_.fireAndForget(disconnected.attach(kj::mv(context)),
                         fmt::format("disposal of {} connection", peer), logging::Severity::error);
    logging::logf(logging::Severity::debug, "Accepted connection request from {}", peer);
  } catch (const kj::Exception& exception) {
    logging::logf(logging::Severity::debug, "Cannot accept connection request from {}: {}", peer,
                  kj::str(exception).cStr());
  }
}

SingleCapabilityRpcServer::SingleCapabilityRpcServer(capnp::Capability::Client bootstrap,
                                                     capnp::ReaderOptions options,
                                                     kj::SourceLocation location)
    : io_(nullptr), bootstrap_(kj::mv(bootstrap)), options_(options), server_(location) {}

SingleCapabilityRpcServer::SingleCapabilityRpcServer(IoProvider& io,
                                                     capnp::Capability::Client bootstrap,
                                                     capnp::ReaderOptions options,
                                                     kj::SourceLocation location)
    : io_(&io), bootstrap_(kj::mv(bootstrap)), options_(options), server_(location) {}

SingleCapabilityRpcServer::~SingleCapabilityRpcServer() noexcept(false) = default;

capnp::Capability::Client SingleCapabilityRpcServer::api() { return *bootstrap_; }

void SingleCapabilityRpcServer::doNewConnection(kj::Own<kj::AsyncIoStream>&& stream,
                                                const ConnectionMetadata&) {
  server_->newConnection(kj::mv(stream), api(), options_);
}

void SingleCapabilityRpcServer::doNewConnection(kj::AutoCloseFd&& fd,
                                                const ConnectionMetadata& metadata) {
  if (io_ == nullptr) {
    throwError(KS_ERROR_INVALID_ARGUMENT,
               "SingleCapabilityRpcServer cannot wrap existing fd without ioProvider");
  }
  doNewConnection(io_->wrapSocketFd(kj::mv(fd)), metadata);
}

}  // namespace nuvrel::kj_asio
