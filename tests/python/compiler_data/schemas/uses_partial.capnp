@0xb5c9e2a1f0d3c441;
using P = import "partial.capnp";
struct User { inner @0 :P.Outer.Inner; }
