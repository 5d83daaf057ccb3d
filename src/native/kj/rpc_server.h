// The server side of two-party Cap'n Proto RPC: one RPC system per accepted
// stream, serving a given bootstrap capability.
#pragma once

#include <capnp/capability.h>
#include <capnp/message.h>
#include <kj/async-io.h>
#include <kj/source-location.h>

#include <optional>

#include "errors/scope_guards.h"
#include "kj/connection_handler.h"
#include "kj/io_provider.h"
#include "kj/logging_task_set.h"

namespace nuvrel::kj_asio {

// Each connection's stream, network and RPC system live exactly as long as
// the connection: until the peer disconnects, or until this server is
// destroyed. Event-loop thread only.
class RpcServer {
 public:
  // `location` names the task set that holds the connections.
  explicit RpcServer(kj::SourceLocation location = {});
  RpcServer(const RpcServer&) = delete;
  RpcServer& operator=(const RpcServer&) = delete;
  ~RpcServer() noexcept(false);

  // Serves `bootstrap` on `stream` until it closes. Never throws for a
  // connection that cannot be set up: it is logged at debug and dropped.
  void newConnection(kj::Own<kj::AsyncIoStream>&& stream, capnp::Capability::Client bootstrap,
                     capnp::ReaderOptions options);

  // Connections being served.
  bool isEmpty() { return tasks_.isEmpty(); }

 private:
  LoggingTaskSet tasks_;
};

// Serves one capability as the bootstrap of every connection it receives.
class SingleCapabilityRpcServer final : public ConnectionHandler {
 public:
  // Without an IoProvider the server cannot take raw descriptors.
  SingleCapabilityRpcServer(capnp::Capability::Client bootstrap, capnp::ReaderOptions options,
                            kj::SourceLocation location = {});
  SingleCapabilityRpcServer(IoProvider& io, capnp::Capability::Client bootstrap,
                            capnp::ReaderOptions options, kj::SourceLocation location = {});
  ~SingleCapabilityRpcServer() noexcept(false) override;

  // A new reference to the bootstrap capability.
  capnp::Capability::Client api();

  bool isEmpty() { return server_->isEmpty(); }

 protected:
  void doNewConnection(kj::Own<kj::AsyncIoStream>&& stream,
                       const ConnectionMetadata& metadata) override;
  // Throws 0x801F "SingleCapabilityRpcServer cannot wrap existing fd without
  // ioProvider" when constructed without one.
  void doNewConnection(kj::AutoCloseFd&& fd, const ConnectionMetadata& metadata) override;

 private:
  IoProvider* io_;
  utils::DestructorCatcher<capnp::Capability::Client> bootstrap_;
  capnp::ReaderOptions options_;
  utils::DestructorCatcher<RpcServer> server_;
};

}  // namespace nuvrel::kj_asio
