#include "protocol/destination_params.h"

#include <boost/property_tree/ptree.hpp>

namespace nuvrel {

namespace orchestrator {

boost::property_tree::ptree toPropertyTree(const DeviceConnectionSettings& settings) {
  boost::property_tree::ptree tree;
  // push_back keeps the order; put() would too, but also merges equal keys.
  tree.push_back({"interface", boost::property_tree::ptree(settings.interface)});
  tree.push_back(
      {"autolaunch", boost::property_tree::ptree(settings.autolaunch.value() ? "1" : "0")});
  tree.push_back({"api", boost::property_tree::ptree(std::to_string(int(settings.apiLevel)))});
  return tree;
}

}  // namespace orchestrator

DestinationParams DestinationParams::deviceConnection(
    DeviceSerial serial, orchestrator::DeviceConnectionSettings settings) {
  return DestinationParams(DeviceConnectionParams{std::move(serial), std::move(settings)});
}

DestinationParams DestinationParams::ksConnection(KSAPIVersion_enum apiLevel) {
  return DestinationParams(KsPathConnectionParams{apiLevel});
}

KSAPIVersion_enum DestinationParams::apiLevel() const noexcept {
  if (const auto* device = std::get_if<DeviceConnectionParams>(&params_)) {
    return device->settings.apiLevel;
  }
  return std::get<KsPathConnectionParams>(params_).apiLevel;
}

}  // namespace nuvrel
