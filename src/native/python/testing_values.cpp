// Test-only bindings for the value layer: a registry standing in for the
// context, and messages "received" through it.

#include <capnp/capability.h>
#include <pybind11/pybind11.h>

#include <chrono>
#include <exception>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "protocol/easy_message.h"
#include "protocol/schema_loader.h"
#include "python/asyncio/python_objects_factory.h"
#include "python/capability_client_registry.h"
#include "python/dynamic_input.h"
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

  // Request parameters filled on another thread, as the worker fills them:
  // the object is reached through a handle, the GIL taken by the conversion.
  // With `drop_factory` the handle's owner is gone first.
  testing.def("fill_on_thread", [](py::object arguments, const SchemaLoaderWrapper& loader,
                                   std::uint64_t structId, bool dropFactory) {
    auto schema = loader.getStructSchema(structId);
    auto message = std::make_shared<EasyMessage<capnp::DynamicStruct>>(schema, loader.getImpl());
    auto factory = PythonObjectsFactory::make();
    auto handle = factory->create([&] { return arguments; });
    if (dropFactory) {
      factory.reset();
    }
    std::promise<void> done;
    auto finished = done.get_future();
    auto builder = message->getBuilder();
    {
      py::gil_scoped_release release;
      std::thread worker([&handle, builder, &done]() mutable {
        try {
          CapnpTrait<PyHandle, capnp::DynamicStruct>::toCapnp(handle, builder);
          done.set_value();
        } catch (...) {
          done.set_exception(std::current_exception());
        }
      });
      if (finished.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        worker.detach();  // leaks rather than hangs the test run
        throw std::runtime_error("conversion on the worker thread did not finish");
      }
      worker.join();
    }
    finished.get();
    handle = PyHandle();
    return DynamicStructWrapper::createRoot(std::move(message), RegistryRef());
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
