// The client side of two-party Cap'n Proto RPC on one byte stream.
#pragma once

#include <capnp/message.h>
#include <capnp/rpc-twoparty.h>
#include <kj/async-io.h>

#include "kj/hopefully.h"

namespace nuvrel::kj_asio {

// Owns the stream, the network on it and the RPC system, declared so that
// they are torn down in the only safe order: RPC system, network, stream.
// Destroying the client closes the connection. Event-loop thread only.
class RpcClient {
 public:
  RpcClient(kj::Own<kj::AsyncIoStream> stream, capnp::ReaderOptions options);
  RpcClient(const RpcClient&) = delete;
  RpcClient& operator=(const RpcClient&) = delete;

  // The server's bootstrap capability.
  capnp::Capability::Client getMain();

  // Resolves when the peer disconnects: success for a normal end; a
  // nuvrel::Exception with the failure's "kj" code and "Unexpected exception
  // while waiting for disconnection: <description>" otherwise.
  Hopefully<void> onDisconnect();

 private:
  kj::Own<kj::AsyncIoStream> stream_;
  capnp::TwoPartyVatNetwork network_;
  capnp::RpcSystem<capnp::rpc::twoparty::VatId> rpcSystem_;
};

}  // namespace nuvrel::kj_asio
