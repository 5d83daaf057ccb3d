// The Cap'n Proto server behind `listen`, `create_pipe` and Callback objects
// placed in interface fields, and the Python handle of a listening server.
#pragma once

#include <capnp/dynamic.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "protocol/schema_loader.h"
#include "python/context_ids.h"
#include "python/python_callback.h"

namespace nuvrel::python {

class CapnpContext;

// Lives on the worker thread, owned by the RPC system (or by the message
// that carries it as a capability).
class DynamicServer final : public capnp::DynamicCapability::Server {
 public:
  // Serves the wrapper's interface; answers Reflection.getTheSchema itself.
  DynamicServer(std::shared_ptr<InterfaceSchemaWrapper> schema, PythonCallback callback);
  // Serves `schema` with no loader to answer reflection from; `keepAlive`
  // keeps the schema's loader alive, if the caller knows it.
  DynamicServer(capnp::InterfaceSchema schema, PythonCallback callback,
                std::shared_ptr<const void> keepAlive = {});

  kj::Promise<void> call(capnp::InterfaceSchema::Method method,
                         capnp::CallContext<capnp::DynamicStruct, capnp::DynamicStruct> context)
      override;

 private:
  std::shared_ptr<InterfaceSchemaWrapper> wrapper_;
  std::shared_ptr<const void> keepAlive_;
  PythonCallback callback_;
};

// Python class `DynamicServer`: the context, the server id and the port.
// Closing or destroying it unregisters the server on the worker.
class DynamicServerWrapper {
 public:
  DynamicServerWrapper(std::shared_ptr<CapnpContext> context, ServerInformation information);
  DynamicServerWrapper(const DynamicServerWrapper&) = delete;
  DynamicServerWrapper& operator=(const DynamicServerWrapper&) = delete;
  ~DynamicServerWrapper();

  std::uint16_t port() const { return information_.port; }
  ServerId id() const { return information_.id; }
  void close();

 private:
  std::shared_ptr<CapnpContext> context_;
  ServerInformation information_;
  bool closed_ = false;
};

}  // namespace nuvrel::python
