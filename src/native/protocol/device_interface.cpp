#include "protocol/device_interface.h"

namespace nuvrel {

nuvrel_capnp::DeviceInterface CapnpTrait<DeviceInterface>::toCapnp(
    DeviceInterface interface) noexcept {
  using Wire = nuvrel_capnp::DeviceInterface;
  switch (interface) {
    case DeviceInterface::none: return Wire::NONE;
    case DeviceInterface::ethernet:
    case DeviceInterface::ethernetDirect: return Wire::ETHERNET;
    case DeviceInterface::usb: return Wire::USB;
    case DeviceInterface::pcie: return Wire::PCIE;
    default: return Wire::OTHER;
  }
}

DeviceInterface CapnpTrait<DeviceInterface>::fromCapnp(
    nuvrel_capnp::DeviceInterface interface) noexcept {
  using Wire = nuvrel_capnp::DeviceInterface;
  switch (interface) {
    case Wire::NONE: return DeviceInterface::none;
    case Wire::ETHERNET: return DeviceInterface::ethernet;
    case Wire::USB: return DeviceInterface::usb;
    case Wire::PCIE: return DeviceInterface::pcie;
    default: return DeviceInterface::unknown;
  }
}

}  // namespace nuvrel
