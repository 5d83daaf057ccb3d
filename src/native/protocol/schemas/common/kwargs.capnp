# Keyword arguments: an ordered list of named values.
@0xaa530348707f0006;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

using import "value.capnp".Value;

struct Kwargs @0x8f25ce07a664cee0 {
  struct Entry @0xa2644e6fd3dc2553 {
    key @0 :Text;
    # An entry without a value reads as `none`.
    value @1 :Value = (none = ());
  }

  entries @0 :List(Entry);
}
