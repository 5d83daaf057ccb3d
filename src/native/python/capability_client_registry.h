// The link from value wrappers back to the context that received their
// message: capabilities found in a message become client objects through it,
// and the last reference to a received message is handed back to it so that
// the message is released on the worker thread that owns its capabilities.
//
// Implemented by the context. Value wrappers hold it only weakly: a wrapper
// that outlives its context still works, except for capabilities.
#pragma once

#include <capnp/dynamic.h>
#include <pybind11/pybind11.h>

#include <memory>

#include "protocol/easy_message.h"

namespace nuvrel::python {

class CapabilityClientRegistry {
 public:
  virtual ~CapabilityClientRegistry() = default;

  // Called with the GIL held. Returns the Python object that stands for
  // `capability` (a client of it); `message` is the message it was read from
  // and must stay alive as long as that object.
  virtual pybind11::object registerCapabilityClient(
      capnp::DynamicValue::Reader capability,
      std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) = 0;

  // Takes over what is normally the last reference to a received message and
  // releases it on the worker thread. Must not throw.
  virtual void destroyRootOnWorkerThread(
      std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) = 0;
};

}  // namespace nuvrel::python
