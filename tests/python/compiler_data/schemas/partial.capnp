@0xb5c9e2a1f0d3c440;
# Imported by uses_partial.capnp: only Outer.Inner is used.
struct Outer { x @0 :Int32; struct Inner { y @0 :Text; } }
struct Unused { x @0 :NotDefinedAnywhere; }
