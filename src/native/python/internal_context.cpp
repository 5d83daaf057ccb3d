#include "python/internal_context.h"

#include <kj/exception.h>

#include <limits>
#include <utility>

#include "errors/exception.h"
#include "errors/python_errc.h"
#include "errors/throw_error.h"
#include "logging/log.h"
#include "protocol/schemas/reflection/reflection.capnp.h"
#include "python/dynamic_input.h"
#include "python/dynamic_server.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

thread_local CapnpThreadInternalContext* currentContext = nullptr;

void findMethodNames(capnp::InterfaceSchema interface, std::set<std::string>& names) {
  for (auto method : interface.getMethods()) {
    names.insert(method.getProto().getName().cStr());
  }
  for (auto superclass : interface.getSuperclasses()) {
    findMethodNames(superclass, names);
  }
}

// The error alternative of a synchronous result, by the kind of failure.
template <typename T>
Result<T> currentErrorResult() {
  try {
    throw;
  } catch (const kj::Exception& exception) {
    return Result<T>::error(make_error_code(getPythonCapnpErrc(exception)),
                            exception.getDescription().cStr());
  } catch (const Exception& exception) {
    return Result<T>::error(exception.code(), exception.what());
  } catch (const std::exception& exception) {
    return Result<T>::error(make_error_code(PythonCapnpErrc::internal), exception.what());
  } catch (...) {
    return Result<T>::error(make_error_code(PythonCapnpErrc::internal),
                            currentExceptionDiagnosticInfo());
  }
}

// The keyword arguments into the request parameters. While the interpreter
// finalises the conversion cannot run, and the request must not go out with
// default parameters.
void fillParameters(const PyHandle& arguments, capnp::DynamicStruct::Builder parameters) {
  auto converted = arguments.visit([&](py::handle kwargs) {
    CapnpTrait<py::dict, capnp::DynamicStruct>::toCapnp(py::reinterpret_borrow<py::dict>(kwargs),
                                                        parameters);
    return true;
  });
  if (!converted) {
    throwError(PythonCapnpErrc::cancelled,
               "The interpreter is shutting down: the request was not sent.");
  }
}

kj_asio::Hopefully<std::shared_ptr<InterfaceSchemaWrapper>> fetchSchema(
    capnp::Capability::Client capability) {
  NUVREL_LOG(status) << "Requesting rpc schema from server through the reflection interface.";
  auto reflection = capability.castAs<nuvrel_capnp::Reflection>();
  kj::Promise<capnp::Response<nuvrel_capnp::Reflection::GetTheSchemaResults>> response =
      reflection.getTheSchemaRequest().send();
  return kj_asio::captureExceptions(kj::mv(response))
      .then(kj_asio::ifOk(
          [](capnp::Response<nuvrel_capnp::Reflection::GetTheSchemaResults>&& answer) {
            auto capSchema = answer.getTheSchema();
            NUVREL_LOG(status) << "Loading rpc schema with Id: " << capSchema.getTypeId();
            return std::make_shared<InterfaceSchemaWrapper>(capnp::AnyStruct::Reader(capSchema));
          }));
}

kj_asio::Hopefully<void> checkServerIsResponsive(capnp::Capability::Client capability) {
  auto reflection = capability.castAs<nuvrel_capnp::Reflection>();
  kj::Promise<capnp::Response<nuvrel_capnp::Reflection::GetReflectionVersionResults>> response =
      reflection.getReflectionVersionRequest().send();
  return response.then(
      [](auto&&) { return ExceptionOr<void>(); },
      [](kj::Exception&& exception) {
        const auto type = exception.getType();
        // The server is there; it just does not offer reflection.
        if (type == kj::Exception::Type::FAILED || type == kj::Exception::Type::UNIMPLEMENTED) {
          return ExceptionOr<void>();
        }
        return ExceptionOr<void>(std::make_exception_ptr(kj::mv(exception)));
      });
}

}  // namespace

capnp::ReaderOptions clientReaderOptions() {
  capnp::ReaderOptions options;
  options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
  options.nestingLimit = 64;
  return options;
}

capnp::ReaderOptions serverReaderOptions() {
  capnp::ReaderOptions options;
  options.traversalLimitInWords = 8u * 1024u * 1024u;
  options.nestingLimit = 64;
  return options;
}

CapnpThreadInternalContext::ClientContext::ClientContext(
    capnp::DynamicCapability::Client client, std::unique_ptr<kj_asio::RpcClient> rpcClient,
    std::shared_ptr<InterfaceSchemaWrapper> schema)
    : rpcClient(std::move(rpcClient)), schema(std::move(schema)), client(kj::mv(client)) {}

CapnpThreadInternalContext::ClientContext::ClientContext(capnp::DynamicCapability::Client client,
                                                         ResponsePtr message)
    : message(std::move(message)), client(kj::mv(client)) {}

CapnpThreadInternalContext::ClientContext::~ClientContext() noexcept(false) {
  // The capability goes before the connection it runs on.
  client.reset();
  message.reset();
  schema.reset();
  rpcClient.reset();
}

capnp::Request<capnp::DynamicStruct, capnp::DynamicStruct>
CapnpThreadInternalContext::ClientContext::newRequest(kj::StringPtr methodName) {
  return client->newRequest(methodName);
}

std::shared_ptr<const void> CapnpThreadInternalContext::ClientContext::schemaKeepAlive() const {
  if (schema) {
    return schema;
  }
  return message;
}

CapnpThreadInternalContext::ServerContext::~ServerContext() noexcept(false) {
  if (tcpServer) {
    tcpServer->reset();
  }
  rpcServer.reset();
}

std::uint16_t CapnpThreadInternalContext::ServerContext::port() const {
  return tcpServer && *tcpServer ? (*tcpServer)->port() : 0;
}

CapnpThreadInternalContext::CapnpThreadInternalContext(kj_asio::IoProvider& io)
    : io_(io), tasks_(kj::SourceLocation()) {
  currentContext = this;
}

CapnpThreadInternalContext::~CapnpThreadInternalContext() noexcept(false) {
  if (currentContext == this) {
    currentContext = nullptr;
  }
  disconnectedClients_.clear();
  servers_.clear();
  clients_.clear();
}

CapnpThreadInternalContext* CapnpThreadInternalContext::current() { return currentContext; }

std::uint64_t CapnpThreadInternalContext::allocateId() {
  const std::uint64_t id = nextId_ != 0 ? nextId_ : 1;
  nextId_ = id + 1;
  return id;
}

void CapnpThreadInternalContext::connect(
    ConnectFunction&& connectFunction,
    std::optional<std::shared_ptr<InterfaceSchemaWrapper>> schema,
    utils::Fulfiller<ClientInformation> fulfiller) {
  auto task = doConnectAndStore(std::move(connectFunction), std::move(schema))
                  .then([fulfiller = std::move(fulfiller)](
                            ExceptionOr<ClientInformation>&& result) mutable {
                    fulfiller(std::move(result));
                  });
  tasks_.fireAndForget(kj::mv(task), "CapnpThreadInternalContext::connect",
                       logging::Severity::error);
}

kj_asio::Hopefully<ClientInformation> CapnpThreadInternalContext::doConnectAndStore(
    ConnectFunction connectFunction,
    std::optional<std::shared_ptr<InterfaceSchemaWrapper>> schema) {
  // The provider owns what its stream step refers to (the host name, the
  // pipe end): it lives until that step has settled.
  auto provider = kj::heap<ConnectFunction>(std::move(connectFunction));
  auto& call = *provider;
  auto stream = kj_asio::hopefullyNow([&]() { return call(io_.network(), io_.timer()); })
                    .attach(kj::mv(provider));
  return stream.then(kj_asio::ifOk([this, schema = std::move(schema)](
                                       kj::Own<kj::AsyncIoStream>&& connected) mutable {
    auto rpcClient = std::make_unique<kj_asio::RpcClient>(kj::mv(connected), clientReaderOptions());
    auto main = rpcClient->getMain();
    kj_asio::Hopefully<std::shared_ptr<InterfaceSchemaWrapper>> schemaStep =
        schema ? checkServerIsResponsive(main).then(kj_asio::doReturn(*schema))
               : fetchSchema(main);
    return schemaStep.then(kj_asio::ifOk(
        [this, main = kj::mv(main), rpcClient = std::move(rpcClient)](
            std::shared_ptr<InterfaceSchemaWrapper>&& loaded) mutable {
          auto interface = loaded->getInterface();
          auto client = main.castAs<capnp::DynamicCapability>(interface);
          ClientInformation information;
          findMethodNames(interface, information.methods);
          information.id = ClientId(allocateId());
          clients_.emplace(information.id,
                           ClientContext(kj::mv(client), std::move(rpcClient), std::move(loaded)));
          return information;
        }));
  }));
}

void CapnpThreadInternalContext::listen(std::string host, unsigned short port,
                                        PythonCallback callback,
                                        std::shared_ptr<InterfaceSchemaWrapper> schema,
                                        utils::Fulfiller<ServerInformation> fulfiller) {
  auto task = doListen(std::move(host), port, std::move(callback), std::move(schema))
                  .then([fulfiller = std::move(fulfiller)](
                            ExceptionOr<ServerInformation>&& result) mutable {
                    fulfiller(std::move(result));
                  });
  tasks_.fireAndForget(kj::mv(task), "CapnpThreadInternalContext::listen",
                       logging::Severity::error);
}

kj_asio::Hopefully<ServerInformation> CapnpThreadInternalContext::doListen(
    std::string host, unsigned short port, PythonCallback callback,
    std::shared_ptr<InterfaceSchemaWrapper> schema) {
  const ServerId id(allocateId());
  return kj_asio::hopefullyNow([&]() { return io_.network().parseAddress(host, port); })
      .then(kj_asio::ifOk([this, id, callback = std::move(callback), schema = std::move(schema)](
                              kj::Own<kj::NetworkAddress>&& address) mutable {
        auto receiver = address->listen();
        ServerContext context;
        context.rpcServer = std::make_unique<kj_asio::SingleCapabilityRpcServer>(
            io_, capnp::Capability::Client(kj::heap<DynamicServer>(schema, std::move(callback))),
            serverReaderOptions(), kj::SourceLocation());
        context.tcpServer = std::make_unique<kj_asio::TcpServer>(
            io_.network(), kj::mv(receiver), *context.rpcServer, "CapnpInternalContext");
        ServerInformation information{id, context.port()};
        servers_.emplace(id, std::move(context));
        return information;
      }));
}

Result<ServerInformation> CapnpThreadInternalContext::serveSingleStream(
    kj::Own<kj::AsyncIoStream> stream, PythonCallback callback,
    std::shared_ptr<InterfaceSchemaWrapper> schema) {
  try {
    const ServerId id(allocateId());
    ServerContext context;
    context.rpcServer = std::make_unique<kj_asio::SingleCapabilityRpcServer>(
        io_, capnp::Capability::Client(kj::heap<DynamicServer>(schema, std::move(callback))),
        serverReaderOptions(), kj::SourceLocation());
    context.rpcServer->newConnection(kj::mv(stream), kj_asio::ConnectionMetadata());
    servers_.emplace(id, std::move(context));
    return Result<ServerInformation>::ok(ServerInformation{id, 0});
  } catch (...) {
    return currentErrorResult<ServerInformation>();
  }
}

void CapnpThreadInternalContext::send(ClientId id, const std::string& methodName,
                                      PyHandle&& arguments,
                                      utils::Fulfiller<ResponsePtr> fulfiller) {
  doTryAndLog(
      [&] {
        auto task = doSend(id, methodName, std::move(arguments))
                        .then([fulfiller](ExceptionOr<ResponsePtr>&& result) mutable {
                          fulfiller(std::move(result));
                        });
        tasks_.fireAndForget(kj::mv(task), "CapnpThreadInternalContext::send",
                             logging::Severity::error);
      },
      "CapnpThreadInternalContext::send", logging::Severity::error);
}

kj_asio::Hopefully<ResponsePtr> CapnpThreadInternalContext::doSend(ClientId id,
                                                                  std::string methodName,
                                                                  PyHandle arguments) {
  return kj_asio::hopefullyNow([&]() -> kj_asio::Hopefully<ResponsePtr> {
    auto request = newRequest(id, methodName);
    auto keepAlive = clients_.at(id).schemaKeepAlive();
    fillParameters(arguments, request);
    kj::Promise<capnp::Response<capnp::DynamicStruct>> response = request.send();
    return response.then(
        [keepAlive](capnp::Response<capnp::DynamicStruct>&& answer) {
          return ExceptionOr<ResponsePtr>(
              EasyMessage<capnp::DynamicStruct>::fromReader(answer, keepAlive));
        },
        [this, id](kj::Exception&& exception) {
          if (exception.getType() == kj::Exception::Type::DISCONNECTED) {
            explicitlyDeleteClient(id, exception.getDescription().cStr());
          }
          return ExceptionOr<ResponsePtr>(std::make_exception_ptr(kj::mv(exception)));
        });
  });
}

capnp::Request<capnp::DynamicStruct, capnp::DynamicStruct> CapnpThreadInternalContext::newRequest(
    ClientId id, const std::string& methodName) {
  if (auto found = clients_.find(id); found != clients_.end()) {
    return found->second.newRequest(kj::StringPtr(methodName.c_str()));
  }
  if (auto gone = disconnectedClients_.find(id); gone != disconnectedClients_.end()) {
    throwError(PythonCapnpErrc::disconnected,
               "Client {} already disconnected ({}). Cannot send any request anymore.",
               id.value(), gone->second);
  }
  throwError(PythonCapnpErrc::internal, "Capability {} not found", id.value());
}

void CapnpThreadInternalContext::explicitlyDeleteClient(ClientId id, std::string reason) {
  if (auto found = clients_.find(id); found != clients_.end()) {
    clients_.erase(found);
    disconnectedClients_[id] = std::move(reason);
  }
}

Result<ClientInformation> CapnpThreadInternalContext::registerCapabilityClient(
    capnp::DynamicValue::Reader capability, ResponsePtr message) {
  try {
    auto client = capability.as<capnp::DynamicCapability>();
    ClientInformation information;
    findMethodNames(client.getSchema(), information.methods);
    information.id = ClientId(allocateId());
    clients_.emplace(information.id, ClientContext(kj::mv(client), std::move(message)));
    return Result<ClientInformation>::ok(std::move(information));
  } catch (...) {
    return currentErrorResult<ClientInformation>();
  }
}

std::optional<capnp::DynamicCapability::Client> CapnpThreadInternalContext::findClient(
    ClientId id) {
  if (auto found = clients_.find(id); found != clients_.end() && found->second.client) {
    return *found->second.client;
  }
  return std::nullopt;
}

void CapnpThreadInternalContext::unregister(ClientId id) {
  if (clients_.erase(id) > 0) {
    return;
  }
  if (disconnectedClients_.erase(id) > 0) {
    return;
  }
  logging::logf(logging::Severity::debug, "Client {}requested to be killed but is already dead",
                id.value());
}

void CapnpThreadInternalContext::unregister(ServerId id) {
  if (servers_.erase(id) > 0) {
    return;
  }
  logging::logf(logging::Severity::error, "Server {}requested to be killed but is already dead",
                id.value());
}

}  // namespace nuvrel::python
