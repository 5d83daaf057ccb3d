// UUIDs on the wire: a Data field of exactly 16 bytes.
#pragma once

#include <boost/uuid/uuid.hpp>
#include <capnp/blob.h>
#include <kj/common.h>

#include "protocol/capnp_trait.h"

namespace nuvrel {

template <>
struct CapnpTrait<boost::uuids::uuid, capnp::Data> {
  // Points into `uuid`, which must outlive the result.
  static kj::ArrayPtr<const kj::byte> toCapnp(const boost::uuids::uuid& uuid) noexcept;
  // Throws an Exception (0x801f) "Cannot deserialize UUID from capnp. The
  // capnp data is <n> bytes instead of 16" for any other size.
  static boost::uuids::uuid fromCapnp(capnp::Data::Reader data);
};

}  // namespace nuvrel
