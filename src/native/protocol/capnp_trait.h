// Conversions between native values and Cap'n Proto values, one
// specialisation per pair:
//
//   template <> struct CapnpTrait<Thing, SomeStruct> {
//     static void toCapnp(const Thing&, SomeStruct::Builder);
//     static Thing fromCapnp(SomeStruct::Reader);
//   };
#pragma once

namespace nuvrel {

template <typename T, typename CapnpType, typename Enable = void>
struct CapnpTrait;

}  // namespace nuvrel
