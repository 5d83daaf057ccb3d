@0xb5c9e2a1f0d3c4ff;
# The layout of the blob embedded in generated modules, for decoding it
# independently of the module under test.
using Schema = import "/capnp/schema.capnp";

struct CapSchema {
  typeId @0 :UInt64;
  theSchema @1 :List(Schema.Node);
}
