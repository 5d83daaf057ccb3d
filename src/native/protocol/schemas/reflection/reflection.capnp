# Self-description of a served interface: a peer asks for the schema nodes it
# needs to call the interface without knowing it in advance.
@0x9d641066afb9e422;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

using Schema = import "/capnp/schema.capnp";

struct CapSchema @0xcb31ef7a76eb85cf {
  # The id of the served interface.
  typeId @0 :UInt64;
  # Every node needed to use the interface: the interface itself, its
  # superclasses, and the types of all method parameters and results.
  theSchema @1 :List(Schema.Node);
}

interface Reflection @0xf9a52e68104bc776 {
  const capabilityVersion @0x8ccbe575060ffd5a :Text = "1.0.0";

  getTheSchema @0 () -> (theSchema :CapSchema);
  # Cheap enough to serve as a liveness probe.
  getReflectionVersion @1 () -> (version :Text);
}
