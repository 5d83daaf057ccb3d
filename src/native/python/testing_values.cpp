// Test-only bindings for the value layer: a registry standing in for the
// context, and messages "received" through it.

#include <capnp/capability.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "protocol/easy_message.h"
#include "protocol/schema_loader.h"
#include "python/capability_client_registry.h"
#include "python/dynamic_value_wrapper.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

// Records what the value layer asks of its context. Releases messages on the
// calling thread (there is no worker here).
class RecordingRegistry final : public CapabilityClientRegistry {
 public:
  py::object registerCapabilityClient(capnp::DynamicValue::Reader capability,
                                      std::shared_ptr<EasyMessage<capnp::DynamicStruct>>) override {
    ++registered;
    auto client = capability.as<capnp::DynamicCapability>();
    return py::make_tuple("client", client.getSchema().getProto().getId());
  }

  void destroyRootOnWorkerThread(std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) override {
    ++released;
    lastUseCount = message.use_count();
    message.reset();
  }

  int registered = 0;
  int released = 0;
  long lastUseCount = 0;
};

// The Python handle owns the registry; `drop` releases it while wrappers
// still refer to it weakly (a context that is gone).
struct RegistryHandle {
  std::shared_ptr<RecordingRegistry> registry = std::make_shared<RecordingRegistry>();
  std::weak_ptr<RecordingRegistry> weak = registry;
};

}  // namespace

void addTestingBindingsValues(py::module_& testing) {
  py::class_<RegistryHandle>(testing, "ValueTestRegistry")
      .def(py::init<>())
      .def_property_readonly("registered",
                             [](const RegistryHandle& h) { return h.weak.lock() ? h.weak.lock()->registered : -1; })
      .def_property_readonly("released",
                             [](const RegistryHandle& h) { return h.weak.lock() ? h.weak.lock()->released : -1; })
      .def_property_readonly("last_use_count",
                             [](const RegistryHandle& h) { return h.weak.lock() ? h.weak.lock()->lastUseCount : -1; })
      .def("drop", [](RegistryHandle& h) { h.registry.reset(); });

  // A packed message decoded as if it had arrived over RPC through `registry`.
  testing.def("receive", [](RegistryHandle& handle, const SchemaLoaderWrapper& loader,
                            std::uint64_t structId, const std::string& packed) {
    auto schema = loader.getStructSchema(structId);
    auto message = EasyMessage<capnp::DynamicStruct>::fromPackedCapnp(packed, schema, loader.getImpl());
    return DynamicStructWrapper::createRoot(std::move(message), RegistryRef(handle.registry));
  });

  // Puts a capability (a broken one: nothing is called) into an interface
  // field of `target`, as a received message would hold it.
  testing.def("set_test_capability", [](DynamicStructWrapper& target, const std::string& name) {
    auto builder = target.getBuilder();
    auto field = builder.getSchema().getFieldByName(name);
    auto client = capnp::Capability::Client(capnp::newBrokenCap("test capability"))
                      .castAs<capnp::DynamicCapability>(field.getType().asInterface());
    builder.set(field, kj::mv(client));
  });
}

}  // namespace nuvrel::python
