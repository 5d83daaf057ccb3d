// Turns an error record received from a server back into the exception it
// stands for.
#pragma once

#include <capnp/dynamic.h>

namespace nuvrel {

// Reads "kind" (an enumerant, taken as a PythonCapnpErrc) and "message" and
// throws `Exception` with that code and message. A record whose fields
// cannot be read throws code runtimeError with "Unable to parse server error
// (<description>)". Never returns.
[[noreturn]] void rethrowError(capnp::DynamicStruct::Reader error);

}  // namespace nuvrel
