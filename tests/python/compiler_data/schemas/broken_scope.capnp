@0xb5c9e2a1f0d3c442;
# Imported by uses_broken_scope.capnp: the scope of the used type is broken.
struct Outer { x @0 :NotDefined; struct Inner { y @0 :Text; } }
