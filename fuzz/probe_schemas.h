// The structs of the probe schemas the serialize targets decode into; the
// first input byte picks one.
#pragma once

#include <capnp/schema.h>

#include <cstddef>
#include <cstdint>

#include "values_test.capnp.h"

namespace nuvrel::fuzz {

inline capnp::StructSchema probeSchema(std::uint8_t pick) {
  switch (pick % 5) {
    case 0: return capnp::Schema::from<AllTypes>();
    case 1: return capnp::Schema::from<Tree>();
    case 2: return capnp::Schema::from<Lists>();
    case 3: return capnp::Schema::from<WithInnerResult>();
    default: return capnp::Schema::from<Plain>();
  }
}

}  // namespace nuvrel::fuzz
