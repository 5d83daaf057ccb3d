// The worker thread's half of a context: it owns every Cap'n Proto object
// of the context (connections to servers, capability clients, listening
// servers) and performs the operations that the Python side posts as work
// items. It exists only on the worker thread and is touched by nothing else.
//
// Operations that wait for the network run as tasks of its task set and end
// by calling the Fulfiller they were given. Destroying the context cancels
// every task in flight: their fulfillers go unused and the results become
// "Operation was cancelled.".
#pragma once

#include <capnp/capability.h>
#include <capnp/dynamic.h>
#include <capnp/message.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "kj/io_provider.h"
#include "kj/logging_task_set.h"
#include "kj/rpc_client.h"
#include "kj/rpc_server.h"
#include "kj/tcp_server.h"
#include "protocol/easy_message.h"
#include "protocol/schema_loader.h"
#include "python/asyncio/python_objects_factory.h"
#include "python/connection_providers.h"
#include "python/context_ids.h"
#include "python/python_callback.h"
#include "runtime/fulfiller.h"

namespace nuvrel::python {

using ResponsePtr = std::shared_ptr<EasyMessage<capnp::DynamicStruct>>;

class CapnpThreadInternalContext {
 public:
  explicit CapnpThreadInternalContext(kj_asio::IoProvider& io);
  CapnpThreadInternalContext(const CapnpThreadInternalContext&) = delete;
  CapnpThreadInternalContext& operator=(const CapnpThreadInternalContext&) = delete;
  ~CapnpThreadInternalContext() noexcept(false);

  // Connects with `connectFunction`, puts an RPC client on the stream, and
  // fetches the schema through Reflection when none is given (otherwise
  // checks that the server answers). Task "CapnpThreadInternalContext::connect".
  void connect(ConnectFunction&& connectFunction,
               std::optional<std::shared_ptr<InterfaceSchemaWrapper>> schema,
               utils::Fulfiller<ClientInformation> fulfiller);

  // Listens on host:port (0: any free port). The id is taken first, so a
  // failed listen uses one up. Task "CapnpThreadInternalContext::listen".
  void listen(std::string host, unsigned short port, PythonCallback callback,
              std::shared_ptr<InterfaceSchemaWrapper> schema,
              utils::Fulfiller<ServerInformation> fulfiller);

  // Serves `stream` as the only connection of a new server (port 0).
  Result<ServerInformation> serveSingleStream(kj::Own<kj::AsyncIoStream> stream,
                                              PythonCallback callback,
                                              std::shared_ptr<InterfaceSchemaWrapper> schema);

  // Converts `arguments` (a keyword dictionary) into the request under the
  // interpreter lock and sends it. Never throws; failures go to the
  // fulfiller. Task "CapnpThreadInternalContext::send".
  void send(ClientId id, const std::string& methodName, PyHandle&& arguments,
            utils::Fulfiller<ResponsePtr> fulfiller);

  // A request on a live client; "Client {} already disconnected ({}). ..."
  // (disconnected) or "Capability {} not found" (internal) otherwise.
  capnp::Request<capnp::DynamicStruct, capnp::DynamicStruct> newRequest(
      ClientId id, const std::string& methodName);

  void explicitlyDeleteClient(ClientId id, std::string reason);

  // A client for a capability read from `message`. Never throws.
  Result<ClientInformation> registerCapabilityClient(capnp::DynamicValue::Reader capability,
                                                     ResponsePtr message);

  // The capability of a live client, for passing it on in a request.
  std::optional<capnp::DynamicCapability::Client> findClient(ClientId id);

  void unregister(ClientId id);
  void unregister(ServerId id);

  // The context of the worker running on this thread, if any (for the
  // argument conversion that meets a DynamicClient in an interface field).
  static CapnpThreadInternalContext* current();

 private:
  struct ClientContext {
    ClientContext(capnp::DynamicCapability::Client client,
                  std::unique_ptr<kj_asio::RpcClient> rpcClient,
                  std::shared_ptr<InterfaceSchemaWrapper> schema);
    ClientContext(capnp::DynamicCapability::Client client, ResponsePtr message);
    ClientContext(ClientContext&&) = default;
    ClientContext& operator=(ClientContext&&) = default;
    ~ClientContext() noexcept(false);

    capnp::Request<capnp::DynamicStruct, capnp::DynamicStruct> newRequest(
        kj::StringPtr methodName);
    std::shared_ptr<const void> schemaKeepAlive() const;

    std::unique_ptr<kj_asio::RpcClient> rpcClient;
    std::shared_ptr<InterfaceSchemaWrapper> schema;
    ResponsePtr message;
    // Declared last, released first.
    std::optional<capnp::DynamicCapability::Client> client;
  };

  struct ServerContext {
    ServerContext() = default;
    ServerContext(ServerContext&&) = default;
    ServerContext& operator=(ServerContext&&) = default;
    ~ServerContext() noexcept(false);
    std::uint16_t port() const;

    std::unique_ptr<kj_asio::SingleCapabilityRpcServer> rpcServer;
    // Declared last, stopped first.
    std::optional<std::unique_ptr<kj_asio::TcpServer>> tcpServer;
  };

  std::uint64_t allocateId();
  kj_asio::Hopefully<ClientInformation> doConnectAndStore(
      ConnectFunction connectFunction,
      std::optional<std::shared_ptr<InterfaceSchemaWrapper>> schema);
  kj_asio::Hopefully<ServerInformation> doListen(std::string host, unsigned short port,
                                                 PythonCallback callback,
                                                 std::shared_ptr<InterfaceSchemaWrapper> schema);
  kj_asio::Hopefully<ResponsePtr> doSend(ClientId id, std::string methodName,
                                         PyHandle arguments);

  kj_asio::IoProvider& io_;
  kj_asio::LoggingTaskSet tasks_;
  std::uint64_t nextId_ = 0;
  std::unordered_map<ClientId, ClientContext, IdHash> clients_;
  std::unordered_map<ServerId, ServerContext, IdHash> servers_;
  std::map<ClientId, std::string, IdLess> disconnectedClients_;
};

// Reader limits of the connections: clients read without a traversal limit,
// servers with 8 Mi words; both nest up to 64.
capnp::ReaderOptions clientReaderOptions();
capnp::ReaderOptions serverReaderOptions();

}  // namespace nuvrel::python
