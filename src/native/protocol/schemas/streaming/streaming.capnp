# Subscriptions: the client hands the server a handle through which batches
# of annotated values flow back as a stream.
@0x8ecd2b1b748395bd;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

using import "../common/value.capnp".AnnotatedValue;
using import "../common/kwargs.capnp".Kwargs;

interface StreamingHandle @0xf51e28a7f5b41574 {
  sendValues @0 (values :List(AnnotatedValue)) -> stream;
}

struct Subscription @0xedac21a53de1b1d4 {
  path @0 :Text;
  streamingHandle @1 :StreamingHandle;
  subscriberId @2 :Data;
  kwargs @3 :Kwargs;
}
