// Python class `DestinationParams`: which kernel `connect_orvane` asks the
// data server for. Built only by its two static factories; a bad device
// serial raises when the destination is made, before any connection attempt.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>

#include "protocol/destination_params.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

void addPythonBindingsForDestinationParams(py::module_& module) {
  py::class_<DestinationParams>(module, "DestinationParams")
      .def_static(
          "ks_connection", [] { return DestinationParams::ksConnection(KS_API_LEVEL_6); },
          "Create the destination params for a connection to a Orvane Orchestrator.\n\n"
          "Returns:\n"
          "    Destination parameters for the connection.")
      .def_static(
          "device_connection",
          [](const std::string& deviceId, const std::string& interface) {
            return DestinationParams::deviceConnection(
                DeviceSerial::fromPath(deviceId),
                orchestrator::DeviceConnectionSettings{interface, orchestrator::AutoLaunch(true),
                                                       KS_API_LEVEL_6});
          },
          py::arg("device_id"), py::arg("interface") = "",
          "Create the destination params for a connection to a device.\n\n"
          "Args:\n"
          "    device_id: The device serial.\n"
          "    interface: The interface that data server should use to\n"
          "        establish the connection. If empty the data server will\n"
          "        use the default interface. (default = \"\")\n\n"
          "Returns:\n"
          "    Destination parameters for the connection.");
}

}  // namespace nuvrel::python
