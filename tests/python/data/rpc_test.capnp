# Interfaces of the RPC tests. The wire schemas are imported from the source
# tree (import path: src/native).
@0xe3b5f6c2a1d40917;

using Reflection = import "/protocol/schemas/reflection/reflection.capnp".Reflection;

interface Base {
  ping @0 () -> (pong :Text);
}

interface Counter {
  next @0 () -> (value :Int64);
}

interface Listener {
  notify @0 (value :Text) -> (received :Text);
}

interface Calculator extends(Base, Reflection) {
  add @0 (a :Int64, b :Int64) -> (sum :Int64);
  echo @1 (text :Text) -> (text :Text);
  sleep @2 (ms :UInt32) -> ();
  fail @3 (reason :UInt8, text :Text) -> ();
  scale @4 (values :List(Float64), factor :Float64) -> (values :List(Float64));
  makeCounter @5 (start :Int64) -> (counter :Counter);
  subscribe @6 (listener :Listener, value :Text) -> (ack :Text);
  missing @7 () -> ();
}

# Served without reflection.
interface Plain {
  add @0 (a :Int64, b :Int64) -> (sum :Int64);
}
