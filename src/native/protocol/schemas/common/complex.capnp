# A complex number. The value layer converts this struct to and from the
# Python `complex` type by its id, so the id must never change.
@0xa5ed7ccdaaeae9ef;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

struct Complex @0xaaf1afaf97b4b157 {
  real @0 :Float64;
  imag @1 :Float64;
}
