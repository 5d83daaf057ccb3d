# The announcement a data server sends, as JSON padded to `fixedLength`
# bytes, on every new connection before any other traffic.
@0x862a5c1e81824ce5;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

struct HelloMsg @0xd62994dbff882318 {
  const fixedLength @0x9e6be575b808b8a5 :UInt16 = 256;

  enum Kind @0x8dc0ce66c2de04e2 {
    unknown @0;
    orchestrator @1;
    vkr @2;
    client @3;
  }

  enum Protocol @0xe737d5f7b51820cf {
    unknown @0;
    capnp @1;
    http @2;
  }

  kind @0 :Kind;
  protocol @1 :Protocol = capnp;
  # The session schema version of the sender (semantic version).
  schema @2 :Text;
  # The product version of the sender (calendar version).
  pvVer @3 :Text;
}
