// Python classes Fulfiller (with RejectReason), Callback, _CapnpContext,
// DynamicClient and DynamicServer.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "python/connection_providers.h"
#include "python/dynamic_input.h"
#include "python/dynamic_server.h"
#include "python/internal_context.h"
#include "python/python_callback.h"
#include "python/python_context.h"
#include "python/registrations.h"
#include "runtime/orvane_connection_provider.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

constexpr const char* kRejectReasonDoc =
    "Reason for rejecting a promise. This information can be used by the client to decide how "
    "to handle the rejection.";

constexpr const char* kCallbackDoc =
    "Registered Callback.\n\n"
    "Wraps an async function so that it can be passed into the API. The function must be async\n"
    "and take four arguments: interface_id (int), method_index (int), input (DynamicStruct) and\n"
    "fulfiller (Fulfiller), and return None. `input` holds the parameters the method was called\n"
    "with; the `fulfiller` fulfills or rejects the request. The function itself must return\n"
    "nothing, so that the Cap'n Proto thread can await the result without dealing with the\n"
    "async function.\n\n"
    "Warning: a callback that returns or raises before using the fulfiller leaves the request\n"
    "hanging until the fulfiller is released. This is always to be avoided.\n";

constexpr const char* kFulfillDoc =
    "Fulfill the request.\n\n"
    "The data is passed as a dictionary. Optionally, the data can be passed\n"
    "as keyword arguments.\n";

constexpr const char* kRejectDoc =
    "Reject the request.\n\n"
    "Args:\n"
    "    reason: The reason for rejecting the request.\n"
    "    message: The message the caller receives.\n";

constexpr const char* kDynamicClientDoc =
    "Client connection to a capnp server.\n\n"
    "The available methods are determined dynamically from the provided interface; the `dir`\n"
    "function lists them. The methods have the same signature as the server interface: the\n"
    "input is a kwargs dictionary with the required arguments, and the return value is a future\n"
    "object that can be awaited to get the result.\n\n"
    "Example:\n"
    "    result = await client.setValue(path=\"/dev1/value\", value={\"double\": 1.5})\n";

constexpr const char* kClientCloseDoc =
    "Close the underlying connection to the capnp server.\n\n"
    "Python has no deterministic destruction, so this closes the connection explicitly\n"
    "instead of waiting for the garbage collector.\n";

constexpr const char* kServerDoc =
    "Capnp server instance.\n\n"
    "The server can not be created directly but only through the context.\n";

constexpr const char* kServerCloseDoc =
    "Close the underlying socket.\n\n"
    "Python has no deterministic destruction, so this frees the port explicitly instead of\n"
    "waiting for the garbage collector.\n";

std::shared_ptr<InterfaceSchemaWrapper> requireSchema(
    const std::shared_ptr<InterfaceSchemaWrapper>& schema, const char* method) {
  if (!schema) {
    throw py::type_error(std::string(method) +
                         "(): argument 'schema' must be an InterfaceSchema, not None");
  }
  return schema;
}

std::uint16_t checkPort(int port) {
  if (port < 0 || port > 65535) {
    throw py::value_error("argument 'port' must be in 0..65535, got " + std::to_string(port));
  }
  return static_cast<std::uint16_t>(port);
}

std::chrono::milliseconds checkTimeout(long long timeout) {
  if (timeout < 0) {
    throw py::value_error("argument 'timeout' must not be negative, got " +
                          std::to_string(timeout));
  }
  return std::chrono::milliseconds(timeout);
}

// Names of the interface's methods and of every interface it extends, by
// (declaring interface id, method index).
void collectMethodNames(capnp::InterfaceSchema interface,
                        std::map<std::pair<std::uint64_t, std::uint16_t>, std::string>& names) {
  const auto id = interface.getProto().getId();
  for (auto method : interface.getMethods()) {
    names.emplace(std::make_pair(id, method.getIndex()), method.getProto().getName().cStr());
  }
  for (auto superclass : interface.getSuperclasses()) {
    collectMethodNames(superclass, names);
  }
}

// An object placed in an interface-typed field or list element: a Callback
// becomes a local server of the field's interface; a DynamicClient passes
// its own capability on (only while a request is being built on the worker,
// where the capability lives).
capnp::DynamicCapability::Client interfaceFromPython(py::handle value,
                                                     capnp::InterfaceSchema schema) {
  if (py::isinstance<PythonCallback>(value)) {
    capnp::Capability::Client client(
        kj::heap<DynamicServer>(schema, value.cast<const PythonCallback&>()));
    return client.castAs<capnp::DynamicCapability>(schema);
  }
  if (py::isinstance<DynamicClientWrapper>(value)) {
    auto* context = CapnpThreadInternalContext::current();
    if (context == nullptr) {
      throw py::type_error(
          "A DynamicClient can only be passed as an argument of a method call, not in results.");
    }
    auto id = value.cast<const DynamicClientWrapper&>().id();
    auto client = context->findClient(id);
    if (!client) {
      throw py::value_error("The DynamicClient " + std::to_string(id.value()) +
                            " passed as an argument is closed.");
    }
    return client->castAs<capnp::DynamicCapability>(schema);
  }
  throw py::cast_error("Unable to cast Python instance of type " +
                       static_cast<std::string>(py::str(py::type::handle_of(value))) +
                       " to an interface: a Callback or a DynamicClient is expected");
}

}  // namespace

void addPythonBindingsForCallback(py::module_& module) {
  py::class_<FulfillerWrapper> fulfiller(module, "Fulfiller",
                                         "Fulfills or rejects one request of a server callback.");
  py::enum_<FulfillerWrapper::RejectReason>(fulfiller, "RejectReason", kRejectReasonDoc)
      .value("FAILED", FulfillerWrapper::RejectReason::FAILED,
             "Something went wrong. This is the usual reject reason.")
      .value("OVERLOADED", FulfillerWrapper::RejectReason::OVERLOADED,
             "The call failed because of a temporary lack of resources. This could be space\n"
             "resources (out of memory, out of disk space) or time resources (request queue\n"
             "overflow, operation timed out). The operation might work if tried again, but it\n"
             "should NOT be repeated immediately as this may simply exacerbate the problem.")
      .value("DISCONNECTED", FulfillerWrapper::RejectReason::DISCONNECTED,
             "The call required communication over a connection that has been lost. The callee\n"
             "will need to re-establish connections and try again.")
      .value("UNIMPLEMENTED", FulfillerWrapper::RejectReason::UNIMPLEMENTED,
             "The requested method is not implemented. The caller may wish to revert to a\n"
             "fallback approach based on other methods.")
      .export_values();
  fulfiller
      .def(
          "fulfill",
          [](FulfillerWrapper& self, py::object data, py::kwargs kwargs) {
            self.fulfill(data, kwargs);
          },
          py::arg("dict") = py::none(), kFulfillDoc)
      .def(
          "reject",
          [](FulfillerWrapper& self, FulfillerWrapper::RejectReason reason,
             const std::string& message) { self.reject(static_cast<int>(reason), message); },
          py::arg("reason"), py::arg("message"), kRejectDoc);

  py::class_<PythonCallback>(module, "Callback", kCallbackDoc);
  setInterfaceInputConverter(interfaceFromPython);

  // The server base class of the Python package dispatches by (interface
  // id, method index); not part of the documented API.
  auto interfaceSchema = py::reinterpret_borrow<
      py::class_<InterfaceSchemaWrapper, std::shared_ptr<InterfaceSchemaWrapper>>>(
      module.attr("InterfaceSchema"));
  interfaceSchema.def("_method_names", [](const InterfaceSchemaWrapper& self) {
    std::map<std::pair<std::uint64_t, std::uint16_t>, std::string> names;
    collectMethodNames(self.getInterface(), names);
    return names;
  });
  interfaceSchema.def_property_readonly("_id", &InterfaceSchemaWrapper::schemaId);
}

void addPythonBindingsForContext(py::module_& module) {
  py::class_<CapnpContextWrapper>(module, "_CapnpContext")
      .def(py::init<>())
      .def(
          "connect",
          [](CapnpContextWrapper& self, const std::string& host, int port, long long timeout,
             std::shared_ptr<InterfaceSchemaWrapper> schema) {
            auto& context = *self.context;
            auto function = ConnectFunction(
                PlainConnectionProvider(host, checkPort(port), checkTimeout(timeout)));
            std::optional<std::shared_ptr<InterfaceSchemaWrapper>> given;
            if (schema) {
              given = std::move(schema);
            }
            auto loop = context.createEventLoop();
            return context.connect(loop, "connect", std::move(function), std::move(given))
                .forwardToFuture();
          },
          py::arg("host"), py::arg("port"), py::arg("timeout") = 5000,
          py::arg("schema") = py::none())
      .def(
          "connect_orvane",
          [](CapnpContextWrapper& self, const std::string& host, int port,
             std::optional<DestinationParams> destination, long long timeout,
             std::shared_ptr<InterfaceSchemaWrapper> schema) {
            auto& context = *self.context;
            // None is accepted by the signature but cannot name a kernel; the
            // call fails at once, before anything reaches the worker.
            auto chosen = std::move(destination.value());
            auto function = ConnectFunction(OrvaneConnectionProvider(
                host, checkPort(port), std::move(chosen), checkTimeout(timeout)));
            std::optional<std::shared_ptr<InterfaceSchemaWrapper>> given;
            if (schema) {
              given = std::move(schema);
            }
            auto loop = context.createEventLoop();
            return context
                .connect(loop, "connectOrvaneDevice", std::move(function), std::move(given))
                .forwardToFuture();
          },
          py::arg("host"), py::arg("port"), py::arg("destination"), py::arg("timeout") = 5000,
          py::arg("schema") = py::none())
      .def(
          "listen",
          [](CapnpContextWrapper& self, const std::string& host, int port, py::object callback,
             std::shared_ptr<InterfaceSchemaWrapper> schema) {
            auto& context = *self.context;
            auto checked = requireSchema(schema, "listen");
            auto boundPort = checkPort(port);
            auto loop = context.createEventLoop();
            auto wrapped = context.makeCallback(std::move(callback));
            return context.listen(loop, "listen", host, boundPort, std::move(wrapped), checked)
                .forwardToFuture();
          },
          py::arg("host"), py::arg("port"), py::arg("callback"), py::arg("schema"))
      .def(
          "create_pipe",
          [](CapnpContextWrapper& self, py::object callback,
             std::shared_ptr<InterfaceSchemaWrapper> schema) {
            auto& context = *self.context;
            auto checked = requireSchema(schema, "create_pipe");
            auto loop = context.createEventLoop();
            auto wrapped = context.makeCallback(std::move(callback));
            return context.createPipe(loop, "createPipe", std::move(wrapped), checked)
                .forwardToFuture();
          },
          py::arg("server_callback"), py::arg("schema"))
      .def(
          "register_callback",
          [](CapnpContextWrapper& self, py::object callback) {
            return self.context->makeCallback(std::move(callback));
          },
          py::arg("callback"))
      .def("close", [](CapnpContextWrapper& self) { self.context->close(); });
}

void addPythonBindingsForDynamicClient(py::module_& module) {
  py::class_<DynamicClientWrapper>(module, "DynamicClient", kDynamicClientDoc)
      .def("__getattr__", &DynamicClientWrapper::getAttribute, py::arg("name"))
      .def("__dir__", &DynamicClientWrapper::getAvailableAttributes)
      .def("close", &DynamicClientWrapper::close, kClientCloseDoc);
}

void addPythonBindingsForDynamicServer(py::module_& module) {
  py::class_<DynamicServerWrapper>(module, "DynamicServer", kServerDoc)
      .def_property_readonly("port", &DynamicServerWrapper::port,
                             "Return the port this server is listening on.")
      .def("close", &DynamicServerWrapper::close, kServerCloseDoc);
}

}  // namespace nuvrel::python
