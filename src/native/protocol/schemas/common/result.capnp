# Either a value or an error. The value layer unwraps this struct by its id
# (a single `Result` field of a response is replaced by its content), so the
# id must never change.
@0xb2ad272bb59e8ffa;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

struct Result @0xbab0f33e1934323d (Type, Error) {
  union {
    ok @0 :Type;
    err @1 :Error;
  }
}
