@0xb5c9e2a1f0d3c410;

struct Point {
  x @0 :Float64;
  tags @1 :List(Text);
  inner @2 :Inner;
}

enum Mode {
  fast @0;
  slow @1;
}

interface Device {
  getValue @0 (path :Text) -> (value :Float64);
}

struct Inner {
  id @0 :UInt32;
}
