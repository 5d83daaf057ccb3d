# Interfaces and structs of the benchmarks (bench/run.py). The wire schemas
# are imported from the source tree (import path: src/native).
@0xc9abbd8475f008ef;

using Reflection = import "/protocol/schemas/reflection/reflection.capnp".Reflection;

struct Point {
  x @0 :Float64;
  y @1 :Float64;
  id @2 :Int64;
  flag @3 :Bool;
}

# One message of the serialization scenario.
struct Record {
  name @0 :Text;
  id @1 :UInt32;
  value @2 :Float64;
  flag @3 :Bool;
  point @4 :Point;
}

interface Bench extends(Reflection) {
  add @0 (a :Int64, b :Int64) -> (sum :Int64);
  echoFloats @1 (values :List(Float64)) -> (values :List(Float64));
  echoPoints @2 (points :List(Point)) -> (points :List(Point));
}
