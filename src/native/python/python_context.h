// The object a Python program creates once and uses for everything
// (Python class `_CapnpContext`): it owns one worker thread and one
// Python-object factory, and turns every request (connect, listen, create a
// pipe, call a method, release a client, server or message) into a work item
// for the worker plus, where a result is expected, an asyncio future.
//
// Threads: every operation runs on a Python thread holding the interpreter
// lock; the coroutines resume on the asyncio loop's thread. Every wait for
// the worker releases the lock first. `closedMessage_` is touched only with
// the lock held.
//
// After the worker has ended the context refuses every request with one of
// three messages: closed; closed and detached; crashed (with the worker's
// error).
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>

#include "protocol/schema_loader.h"
#include "python/asyncio/asyncio_awaitable.h"
#include "python/asyncio/asyncio_event_loop.h"
#include "python/asyncio/python_objects_factory.h"
#include "python/capability_client_registry.h"
#include "python/connection_providers.h"
#include "python/context_ids.h"
#include "python/python_callback.h"
#include "runtime/capnp_worker_thread.h"

namespace nuvrel::python {

class DynamicClientWrapper;
class DynamicServerWrapper;

class CapnpContext final : public CapabilityClientRegistry,
                           public std::enable_shared_from_this<CapnpContext> {
 public:
  CapnpContext();
  CapnpContext(const CapnpContext&) = delete;
  CapnpContext& operator=(const CapnpContext&) = delete;
  ~CapnpContext() override;

  AsyncioEventLoop createEventLoop();
  PyHandle wrapPythonObject(pybind11::object object);
  PythonCallback makeCallback(pybind11::object callback);

  AsyncioAwaitable<std::unique_ptr<DynamicClientWrapper>> connect(
      AsyncioEventLoop loop, std::string name, ConnectFunction connectFunction,
      std::optional<std::shared_ptr<InterfaceSchemaWrapper>> schema);

  AsyncioAwaitable<std::unique_ptr<DynamicServerWrapper>> listen(
      AsyncioEventLoop loop, std::string name, std::string host, unsigned short port,
      PythonCallback callback, std::shared_ptr<InterfaceSchemaWrapper> schema);

  AsyncioAwaitable<std::unique_ptr<DynamicServerWrapper>> serveSingleStream(
      AsyncioEventLoop loop, std::string name, kj::Own<kj::AsyncIoStream> stream,
      PythonCallback callback, std::shared_ptr<InterfaceSchemaWrapper> schema);

  // Resolves to the tuple (DynamicServer, DynamicClient).
  AsyncioAwaitable<pybind11::object> createPipe(AsyncioEventLoop loop, std::string name,
                                                PythonCallback callback,
                                                std::shared_ptr<InterfaceSchemaWrapper> schema);

  AsyncioAwaitable<pybind11::object> send(AsyncioEventLoop loop, std::string name, ClientId id,
                                          std::string methodName, pybind11::kwargs arguments);

  pybind11::object registerCapabilityClient(
      capnp::DynamicValue::Reader capability,
      std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) override;
  void destroyRootOnWorkerThread(
      std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) noexcept override;

  void unregister(ClientId id) noexcept;
  void unregister(ServerId id) noexcept;

  // Stops the worker and waits up to 2 s for it. Never raises.
  void close();
  void markThreadAsExited();
  // Posts `work`; throws UnavailableError-coded with the closed message when
  // the context no longer accepts work.
  void tryPushWork(Work&& work);

  // The factory of this context's Python objects (its counts show leaks).
  const PythonObjectsFactory& objectsFactory() const { return *factory_; }

 private:
  std::shared_ptr<PythonObjectsFactory> factory_;
  CapnpWorkerThread thread_;
  std::optional<std::string> closedMessage_;
};

// Python class `_CapnpContext`.
class CapnpContextWrapper {
 public:
  CapnpContextWrapper() : context(std::make_shared<CapnpContext>()) {}
  std::shared_ptr<CapnpContext> context;
};

// Python class `DynamicClient`: the context, the client id and the method
// names. Closing or destroying it unregisters the client on the worker.
class DynamicClientWrapper {
 public:
  DynamicClientWrapper(std::shared_ptr<CapnpContext> context, ClientInformation information);
  DynamicClientWrapper(const DynamicClientWrapper&) = delete;
  DynamicClientWrapper& operator=(const DynamicClientWrapper&) = delete;
  ~DynamicClientWrapper();

  pybind11::object getAttribute(const std::string& name) const;
  const std::set<std::string>& getAvailableAttributes() const { return information_.methods; }
  void close();
  ClientId id() const { return information_.id; }

 private:
  std::shared_ptr<CapnpContext> context_;
  ClientInformation information_;
  bool closed_ = false;
};

}  // namespace nuvrel::python
