#include "protocol/uuid.h"

#include <algorithm>

#include "errors/throw_error.h"

namespace nuvrel {

kj::ArrayPtr<const kj::byte> CapnpTrait<boost::uuids::uuid, capnp::Data>::toCapnp(
    const boost::uuids::uuid& uuid) noexcept {
  return kj::arrayPtr(uuid.data, uuid.size());
}

boost::uuids::uuid CapnpTrait<boost::uuids::uuid, capnp::Data>::fromCapnp(
    capnp::Data::Reader data) {
  boost::uuids::uuid uuid{};
  if (data.size() != uuid.size()) {
    throwError(KS_ERROR_INVALID_ARGUMENT,
               "Cannot deserialize UUID from capnp. The capnp data is {} bytes instead of {}",
               data.size(), uuid.size());
  }
  std::copy(data.begin(), data.end(), uuid.begin());
  return uuid;
}

}  // namespace nuvrel
