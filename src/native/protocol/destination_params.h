// Which kernel of a data server a connection asks for: a device's kernel
// (by serial, with the settings for reaching the device) or the data
// server's own KS kernel.
#pragma once

#include <boost/property_tree/ptree_fwd.hpp>

#include <string>
#include <variant>

#include "protocol/device_serial.h"
#include "protocol/typed_value.h"

namespace nuvrel {

// The API level a client speaks; a plain number, of which this module only
// ever asks for 6.
enum KSAPIVersion_enum : int {
  KS_API_LEVEL_6 = 6,
};

namespace orchestrator {

struct AutoLaunchTag {};
using AutoLaunch = TypedValue<bool, AutoLaunchTag>;

struct DeviceConnectionSettings {
  // Empty: the server's default interface for the device.
  std::string interface;
  // Whether the server may start the device's kernel when none runs yet.
  AutoLaunch autolaunch{true};
  KSAPIVersion_enum apiLevel = KS_API_LEVEL_6;

  friend bool operator==(const DeviceConnectionSettings&,
                         const DeviceConnectionSettings&) = default;
};

// The entries, in this order: "interface" (the text), "autolaunch" ("1" or
// "0"), "api" (decimal). They become the query of the upgrade URL in the
// same order.
boost::property_tree::ptree toPropertyTree(const DeviceConnectionSettings& settings);

}  // namespace orchestrator

struct DeviceConnectionParams {
  DeviceSerial serial;
  orchestrator::DeviceConnectionSettings settings;
};

struct KsPathConnectionParams {
  KSAPIVersion_enum apiLevel = KS_API_LEVEL_6;
};

class DestinationParams {
 public:
  using Params = std::variant<DeviceConnectionParams, KsPathConnectionParams>;

  explicit DestinationParams(Params params) : params_(std::move(params)) {}

  static DestinationParams deviceConnection(DeviceSerial serial,
                                            orchestrator::DeviceConnectionSettings settings);
  static DestinationParams ksConnection(KSAPIVersion_enum apiLevel);

  // The settings' level for a device, the stored level for the KS kernel.
  KSAPIVersion_enum apiLevel() const noexcept;

  const Params& params() const noexcept { return params_; }

 private:
  Params params_;
};

}  // namespace nuvrel
