// Test-only view of a DestinationParams: what the upgrade request will be
// built from. Not part of the public API.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <boost/property_tree/ptree.hpp>

#include <string>
#include <utility>
#include <vector>

#include "protocol/destination_params.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

void addTestingBindingsDestinations(py::module_& testing) {
  testing.def("describe_destination", [](const DestinationParams& destination) {
    py::dict description;
    description["api_level"] = int(destination.apiLevel());
    if (const auto* device = std::get_if<DeviceConnectionParams>(&destination.params())) {
      std::vector<std::pair<std::string, std::string>> settings;
      for (const auto& [key, value] : orchestrator::toPropertyTree(device->settings)) {
        settings.emplace_back(key, value.data());
      }
      description["kind"] = "device";
      description["serial"] = device->serial.toStringLowerCase();
      description["settings"] = settings;
    } else {
      description["kind"] = "ks";
    }
    return description;
  });
}

}  // namespace nuvrel::python
