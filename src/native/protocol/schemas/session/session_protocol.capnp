# The session a data server offers each client: node listing, value access
# and subscriptions.
@0xcb25a1e74ac458e0;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

using import "../common/error.capnp".Error;
using import "../common/result.capnp".Result;
using import "../common/value.capnp".AnnotatedValue;
using import "../common/value.capnp".Value;
using import "../common/value.capnp".VoidStruct;
using import "../streaming/streaming.capnp".Subscription;

enum LookupMode @0xda5049b5e072f425 {
  directLookup @0;
  withExpansion @1;
}

enum ReturnFromSetWhen @0xdd2da53aac55edf9 {
  asap @0;
  deviceAck @1;
  unusedAsync @2;
  unusedTransactional @3;
}

interface Session @0xb9d445582da4a55c {
  # The schema version a client compares with the server's in the hello
  # check (major numbers must agree).
  const capabilityVersion @0xb750ae1c962f02d0 :Text = "1.17.0";

  listNodes @0 (pathExpression :Text, flags :UInt32, subscriberId :Data)
      -> (paths :List(Text));
  deprecatedGetValues @1 (paths :List(Text), client :Data = "")
      -> (result :List(Result(AnnotatedValue, Error)));
  deprecatedSetValue @2 (path :Text, value :Value, completeWhen :ReturnFromSetWhen = deviceAck)
      -> (result :Result(VoidStruct, Error));
  subscribe @3 (subscription :Subscription) -> (result :Result(VoidStruct, Error));
  disconnectDevice @4 () -> VoidStruct;
  listNodesJson @5 (pathExpression :Text, flags :UInt32, subscriberId :Data)
      -> (nodeProps :Text);
  unsubscribe @6 (subscriberId :Data, paths :List(Text)) -> VoidStruct;
  getSessionVersion @7 () -> (version :Text);
  deprecatedSetValue2 @8 (path :Text, value :Value,
                          completeWhen :ReturnFromSetWhen = deviceAck, client :Data = "")
      -> (result :Result(AnnotatedValue, Error));
  setValue @9 (pathExpression :Text, value :Value, lookupMode :LookupMode = directLookup,
               completeWhen :ReturnFromSetWhen = deviceAck, client :Data = "")
      -> (result :List(Result(AnnotatedValue, Error)));
  getValue @10 (pathExpression :Text, lookupMode :LookupMode = directLookup, flags :UInt32 = 0,
                client :Data = "")
      -> (result :List(Result(AnnotatedValue, Error)));
  cancel @11 (client :Data) -> VoidStruct;
}
