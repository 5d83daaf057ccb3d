# An error as it travels on the wire. The numbers of `ErrorKind` are those of
# the native error kinds, so a kind converts by number in both directions.
@0xeadb3961c63e6cc0;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

enum ErrorKind @0xb7e671e24a9802bd {
  ok @0;
  cancelled @1;
  unknown @2;
  notFound @3;
  overwhelmed @4;
  badRequest @5;
  unimplemented @6;
  internal @7;
  unavailable @8;
  timeout @9;
}

struct Error @0xc4e34e4c517d11d9 {
  code @0 :UInt32;
  message @1 :Text;
  category @2 :Text;
  kind @3 :ErrorKind = unknown;
  source @4 :Text;
}
