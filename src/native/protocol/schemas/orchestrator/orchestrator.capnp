# The data server's own kernel. A client that asks for a kernel it cannot be
# upgraded to receives a `Result(KernelDescriptor, Orchestrator.Error)`.
@0x982f0e7ac5f19797;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

enum ClientWireProtocol @0xe1f874dc54525678 {
  binmsg @0;
  capnp @1;
}

# The physical interface over which the server reaches a device.
enum DeviceInterface @0xb2cb5725fb3efecc {
  none @0;
  ethernet @1;
  usb @2;
  pcie @3;
  # Written for interfaces that have no wire value of their own.
  other @4;
}

enum ErrorCode @0xfbae13420614145a {
  ok @0;
  general @1;
  deviceNotFound @2;
  invalidArgument @3;
  deviceNotVisible @4;
  internal @5;
  firmwareUpgradeRequired @6;
  interfaceNotSupported @7;
  differentInterface @8;
  deviceInUse @9;
  notSupportedInContext @10;
  malformedRequest @11;
}

# Where a kernel can be reached.
struct KernelDescriptor @0xc8d7b1a0e4f25a13 {
  host @0 :Text;
  port @1 :UInt16;
  # A UUID: exactly 16 bytes.
  uid @2 :Data;
  protocol @3 :ClientWireProtocol;
  reserved @4 :UInt16;
  # Carried on the wire for the server's own use.
  flag @5 :Bool;
  # "a.b.c"
  version @6 :Text;
}

struct Orchestrator @0xe0b4f3c9a7d21e56 {
  struct Error @0xa1c6e8d3b5f70942 {
    code @0 :ErrorCode;
    message @1 :Text;
  }
}
