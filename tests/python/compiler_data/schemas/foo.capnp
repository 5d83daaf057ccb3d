@0xb5c9e2a1f0d3c401;
# A schema touching every feature the stub generator and the request walk
# know about.

using Cxx = import "/capnp/c++.capnp";
using Other = import "other.capnp";
$Cxx.namespace("fixture");

annotation tag(struct, field) :Text;

const fileLevelTimeout :Float64 = 2;
const greeting :Text = "tab\there \"quoted\" back\\slash";
const defaultMode :Mode = slow;
const blob :Data = "ignored";

struct Point $tag("point") {
  x @0 :Float64;
  tags @1 :List(Text);
  inner @2 :Inner;
  values @3 :List(UInt16);
  list @4 :List(Int32);
  shape :union {
    circle @5 :Float32;
    square @6 :Int64;
  }
  settings :group {
    enabled @7 :Bool;
    level @8 :Int8 $tag("lvl");
  }
  remote @9 :Other.Remote.Leaf;
  box @10 :Box(Other.Payload);
  mode @11 :Mode;

  const origin :Int32 = -7;
  const preferred :Mode = fast;

  struct Inner {
    id @0 :UInt64;
    union {
      none @1 :Void;
      name @2 :Text;
    }
  }
}

struct Box(T) {
  content @0 :T;
}

enum Mode {
  fast @0;
  slow @1;
}

interface Device {
  getValue @0 (path :Text) -> (value :Float64);
  setMode @1 (mode :Mode, point :Point) -> ();
  const version :Text = "1.0";
  const fallback :Mode = fast;
}

interface Sensor extends(Device) {
  read @0 () -> (sample :Other.Payload);
}
