// The physical interface over which a data server reaches a device, as a
// bit value, and its wire enum in the orchestrator schema.
#pragma once

#include <cstdint>

#include "protocol/capnp_trait.h"
#include "protocol/schemas/orchestrator/orchestrator.capnp.h"

namespace nuvrel {

enum class DeviceInterface : std::uint32_t {
  none = 0,
  ethernet = 1,
  usb = 2,
  pcie = 8,
  // A second Ethernet flavour; it shares the wire value of `ethernet`.
  ethernetDirect = 16,
  // What a wire value this client does not know reads as.
  unknown = 0x80000000,
};

template <>
struct CapnpTrait<DeviceInterface> {
  // none, ethernet (and ethernetDirect), usb and pcie have wire values 0-3;
  // every other value is written as `other` (4).
  static nuvrel_capnp::DeviceInterface toCapnp(DeviceInterface interface) noexcept;
  // Wire values above 3 read as `unknown`.
  static DeviceInterface fromCapnp(nuvrel_capnp::DeviceInterface interface) noexcept;
};

}  // namespace nuvrel
