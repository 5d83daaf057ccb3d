@0xb5c9e2a1f0d3c402;

struct Remote {
  id @0 :UInt32;
  struct Leaf {
    weight @0 :Float32;
  }
}

struct Payload {
  data @0 :Data;
}

struct Unused {
  x @0 :Int32;
}
