// Where a data-server kernel can be reached, as a server describes it when it
// declines to upgrade a connection, and the conversions of that description
// and of the orchestrator's errors from and to the wire.
#pragma once

#include <boost/uuid/uuid.hpp>
#include <fmt/format.h>

#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>

#include "errors/api_result.h"
#include "errors/exception_or.h"
#include "protocol/capnp_trait.h"
#include "protocol/client_wire_protocol.h"
#include "protocol/schemas/common/result.capnp.h"
#include "protocol/schemas/orchestrator/orchestrator.capnp.h"
#include "version/version_triple.h"

namespace nuvrel {

using KernelUid = boost::uuids::uuid;

struct KernelDescriptor {
  std::string host;
  // 0: the server named no port.
  std::uint16_t port = 0;
  KernelUid uid{};
  std::set<ClientWireProtocol> protocols;
  // Carried on the wire for the server; this client does not interpret it.
  bool flag = false;
  VersionTriple version{0, 0, 0};

  friend bool operator==(const KernelDescriptor&, const KernelDescriptor&) = default;
};

// "host:port".
std::string format_as(const KernelDescriptor& descriptor);
std::ostream& operator<<(std::ostream& out, const KernelDescriptor& descriptor);

template <>
struct CapnpTrait<ClientWireProtocol> {
  // Both throw an Exception "Unknown client wire protocol" for a value that
  // is neither binmsg nor capnp.
  static nuvrel_capnp::ClientWireProtocol toCapnp(ClientWireProtocol protocol);
  static ClientWireProtocol fromCapnp(nuvrel_capnp::ClientWireProtocol protocol);
};

template <>
struct CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor> {
  // Writes the smallest of the protocols (the set must not be empty, else an
  // Exception), the version as "a.b.c" and the reserved field as 0.
  static void toCapnp(const KernelDescriptor& descriptor,
                      nuvrel_capnp::KernelDescriptor::Builder builder);
  // Throws an Exception for a uid that is not 16 bytes or an unknown
  // protocol; a version text that does not parse reads as 0.0.0.
  static KernelDescriptor fromCapnp(nuvrel_capnp::KernelDescriptor::Reader reader);
};

using KernelRequestResult =
    nuvrel_capnp::Result<nuvrel_capnp::KernelDescriptor, nuvrel_capnp::Orchestrator::Error>;

template <>
struct CapnpTrait<ExceptionOr<KernelDescriptor>, KernelRequestResult> {
  // Never throws. `err` gives an ApiServerException with the mapped code and
  // the server's message; an `ok` that does not convert (or a message that
  // cannot be read at all) gives an ApiInternalException "Failed to parse
  // message from the server. <diagnostic>".
  static ExceptionOr<KernelDescriptor> fromCapnp(KernelRequestResult::Reader reader) noexcept;
};

namespace orchestrator {

// API result code -> wire error code; codes without a wire value become
// `internal`.
nuvrel_capnp::ErrorCode getCapnpError(KSResult_enum code) noexcept;
// Wire error code -> API result code; values this client does not know
// become 0x8000.
KSResult_enum getKsApiError(nuvrel_capnp::ErrorCode code) noexcept;

}  // namespace orchestrator

}  // namespace nuvrel

template <>
struct fmt::formatter<nuvrel::KernelDescriptor> : fmt::formatter<std::string> {
  template <typename Context>
  auto format(const nuvrel::KernelDescriptor& descriptor, Context& context) const {
    return fmt::formatter<std::string>::format(format_as(descriptor), context);
  }
};
