@0xb5c9e2a1f0d3c443;
using B = import "broken_scope.capnp";
struct User { inner @0 :B.Outer.Inner; }
