// The Python side of serving: `PythonCallback` (Python class `Callback`)
// hands each incoming call to an async Python function together with a
// `FulfillerWrapper` (Python class `Fulfiller`) through which the function
// answers.
//
// Threads: `submit` runs on the worker thread and takes the interpreter lock
// only inside; the function's coroutine runs on the asyncio loop of the
// thread that registered the callback, and `fulfill`/`reject` run there.
//
// Results never touch the call's own results message from the asyncio
// thread: `fulfill` converts the data into a message owned by the fulfiller
// and hands that message over through a cross-thread fulfiller. The worker
// copies it into the call's results only while it still awaits the call; a
// call that was cancelled or whose connection is gone simply drops it. So a
// fulfiller used late can never write into freed results.
#pragma once

#include <capnp/dynamic.h>
#include <capnp/message.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>

#include "protocol/easy_message.h"
#include "python/asyncio/asyncio_event_loop.h"
#include "python/asyncio/python_objects_factory.h"
#include "python/capability_client_registry.h"
#include "python/kj_fulfiller.h"

namespace nuvrel::python {

using CallResults = kj::Own<capnp::MallocMessageBuilder>;

class FulfillerWrapper {
 public:
  // Values are the Cap'n Proto exception types of the same names.
  enum class RejectReason : int { FAILED = 0, OVERLOADED = 1, DISCONNECTED = 2, UNIMPLEMENTED = 3 };

  FulfillerWrapper(kj_asio::KjFulfiller<CallResults> fulfiller, capnp::StructSchema resultType,
                   std::shared_ptr<const void> keepAlive);
  FulfillerWrapper(FulfillerWrapper&&) = default;
  FulfillerWrapper& operator=(FulfillerWrapper&&) = default;

  // Converts `data` (dict(data)), or the keyword arguments when `data` is
  // None, into the results and completes the request. A conversion error is
  // raised and leaves the request pending. Does nothing once used.
  void fulfill(pybind11::handle data, const pybind11::kwargs& kwargs);

  // Completes the request with a Cap'n Proto exception of `reason`'s type;
  // an unknown reason counts as FAILED. Does nothing once used.
  void reject(int reason, const std::string& message);

  bool used() const { return fulfiller_.used(); }

 private:
  kj_asio::KjFulfiller<CallResults> fulfiller_;
  capnp::StructSchema resultType_;
  std::shared_ptr<const void> keepAlive_;
};

// Copyable; copies share the function and the loop.
class PythonCallback {
 public:
  PythonCallback(std::shared_ptr<PyHandle> function, AsyncioEventLoop loop,
                 std::weak_ptr<CapabilityClientRegistry> registry);

  // Worker thread. Starts the function's coroutine for one call; the promise
  // resolves with the results once the Fulfiller is used, or rejects (its
  // reason; FAILED when the Fulfiller was released unused; UNIMPLEMENTED
  // when the function could not be invoked as a coroutine function).
  // `parameters` is released on the worker thread through the registry.
  kj::Promise<CallResults> submit(std::uint64_t interfaceId, std::uint16_t methodIndex,
                                  std::shared_ptr<EasyMessage<capnp::DynamicStruct>> parameters,
                                  capnp::StructSchema resultType,
                                  std::shared_ptr<const void> keepAlive) const;

  const std::weak_ptr<CapabilityClientRegistry>& registry() const { return registry_; }

 private:
  std::shared_ptr<PyHandle> function_;
  AsyncioEventLoop loop_;
  std::weak_ptr<CapabilityClientRegistry> registry_;
};

}  // namespace nuvrel::python
