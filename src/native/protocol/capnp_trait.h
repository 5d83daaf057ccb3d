// Conversions between native values and their Cap'n Proto wire form. Each
// specialisation offers `toCapnp` and/or `fromCapnp`; the second parameter
// names the wire type where the native type alone does not decide it.
#pragma once

namespace nuvrel {

template <typename Native, typename Capnp = void>
struct CapnpTrait;

}  // namespace nuvrel
