#include "protocol/kernel_descriptor.h"

#include <boost/throw_exception.hpp>
#include <capnp/blob.h>

#include <ostream>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "errors/throw_error.h"
#include "protocol/uuid.h"

namespace nuvrel {

std::string format_as(const KernelDescriptor& descriptor) {
  return fmt::format("{}:{}", descriptor.host, descriptor.port);
}

std::ostream& operator<<(std::ostream& out, const KernelDescriptor& descriptor) {
  return out << format_as(descriptor);
}

nuvrel_capnp::ClientWireProtocol CapnpTrait<ClientWireProtocol>::toCapnp(
    ClientWireProtocol protocol) {
  switch (protocol) {
    case ClientWireProtocol::binmsg: return nuvrel_capnp::ClientWireProtocol::BINMSG;
    case ClientWireProtocol::capnp: return nuvrel_capnp::ClientWireProtocol::CAPNP;
  }
  throwError(KS_ERROR_GENERAL, "Unknown client wire protocol");
}

ClientWireProtocol CapnpTrait<ClientWireProtocol>::fromCapnp(
    nuvrel_capnp::ClientWireProtocol protocol) {
  switch (protocol) {
    case nuvrel_capnp::ClientWireProtocol::BINMSG: return ClientWireProtocol::binmsg;
    case nuvrel_capnp::ClientWireProtocol::CAPNP: return ClientWireProtocol::capnp;
  }
  throwError(KS_ERROR_GENERAL, "Unknown client wire protocol");
}

void CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::toCapnp(
    const KernelDescriptor& descriptor, nuvrel_capnp::KernelDescriptor::Builder builder) {
  if (descriptor.protocols.empty()) {
    throwError(KS_ERROR_GENERAL, "A kernel descriptor needs at least one wire protocol");
  }
  builder.setHost(descriptor.host);
  builder.setPort(descriptor.port);
  builder.setUid(CapnpTrait<boost::uuids::uuid, capnp::Data>::toCapnp(descriptor.uid));
  builder.setProtocol(CapnpTrait<ClientWireProtocol>::toCapnp(*descriptor.protocols.begin()));
  builder.setReserved(0);
  builder.setFlag(descriptor.flag);
  builder.setVersion(toString(descriptor.version));
}

KernelDescriptor CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::fromCapnp(
    nuvrel_capnp::KernelDescriptor::Reader reader) {
  KernelDescriptor descriptor;
  descriptor.host = reader.getHost();
  descriptor.port = reader.getPort();
  descriptor.uid = CapnpTrait<boost::uuids::uuid, capnp::Data>::fromCapnp(reader.getUid());
  descriptor.protocols = {CapnpTrait<ClientWireProtocol>::fromCapnp(reader.getProtocol())};
  descriptor.flag = reader.getFlag();
  descriptor.version = extractVersionTriple(reader.getVersion());
  return descriptor;
}

ExceptionOr<KernelDescriptor>
CapnpTrait<ExceptionOr<KernelDescriptor>, KernelRequestResult>::fromCapnp(
    KernelRequestResult::Reader reader) noexcept {
  auto parseFailure = [](const std::string& detail) {
    return ExceptionOr<KernelDescriptor>(std::make_exception_ptr(
        ApiInternalException("Failed to parse message from the server. " + detail)));
  };
  try {
    switch (reader.which()) {
      case KernelRequestResult::ERR: {
        auto error = reader.getErr();
        return ExceptionOr<KernelDescriptor>(std::make_exception_ptr(ApiServerException(
            make_error_code(orchestrator::getKsApiError(error.getCode())),
            std::string(error.getMessage().cStr()))));
      }
      case KernelRequestResult::OK:
        return CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::fromCapnp(
            reader.getOk());
    }
    // A member added by a newer schema: neither a descriptor nor an error
    // this client could report faithfully.
    return parseFailure(fmt::format("The result holds the unknown member {}.",
                                    static_cast<unsigned>(reader.which())));
  } catch (...) {
    // A descriptor that does not convert, or a message that cannot even be
    // read (kj::Exception from a malformed pointer).
    return parseFailure(currentExceptionDiagnosticInfo());
  }
}

namespace orchestrator {

nuvrel_capnp::ErrorCode getCapnpError(KSResult_enum code) noexcept {
  using Wire = nuvrel_capnp::ErrorCode;
  switch (code) {
    case KS_SUCCESS: return Wire::OK;
    case KS_ERROR_GENERAL: return Wire::GENERAL;
    case KS_ERROR_DEVICE_NOT_VISIBLE: return Wire::DEVICE_NOT_VISIBLE;
    case KS_ERROR_DEVICE_IN_USE: return Wire::DEVICE_IN_USE;
    case KS_ERROR_DEVICE_INTERFACE: return Wire::INTERFACE_NOT_SUPPORTED;
    case KS_ERROR_DEVICE_DIFFERENT_INTERFACE: return Wire::DIFFERENT_INTERFACE;
    case KS_ERROR_DEVICE_NEEDS_FW_UPGRADE: return Wire::FIRMWARE_UPGRADE_REQUIRED;
    case KS_ERROR_DEVICE_NOT_FOUND: return Wire::DEVICE_NOT_FOUND;
    case KS_ERROR_INVALID_ARGUMENT: return Wire::INVALID_ARGUMENT;
    default: return Wire::INTERNAL;
  }
}

KSResult_enum getKsApiError(nuvrel_capnp::ErrorCode code) noexcept {
  using Wire = nuvrel_capnp::ErrorCode;
  switch (code) {
    case Wire::OK: return KS_SUCCESS;
    case Wire::GENERAL: return KS_ERROR_GENERAL;
    case Wire::DEVICE_NOT_FOUND: return KS_ERROR_DEVICE_NOT_FOUND;
    case Wire::INVALID_ARGUMENT: return KS_ERROR_INVALID_ARGUMENT;
    case Wire::DEVICE_NOT_VISIBLE: return KS_ERROR_DEVICE_NOT_VISIBLE;
    case Wire::INTERNAL: return KS_ERROR_COMMAND_INTERNAL;
    case Wire::FIRMWARE_UPGRADE_REQUIRED: return KS_ERROR_DEVICE_NEEDS_FW_UPGRADE;
    case Wire::INTERFACE_NOT_SUPPORTED: return KS_ERROR_DEVICE_INTERFACE;
    case Wire::DIFFERENT_INTERFACE: return KS_ERROR_DEVICE_DIFFERENT_INTERFACE;
    case Wire::DEVICE_IN_USE: return KS_ERROR_DEVICE_IN_USE;
    case Wire::NOT_SUPPORTED_IN_CONTEXT: return KS_ERROR_NOT_SUPPORTED_COMMAND;
    case Wire::MALFORMED_REQUEST: return KS_ERROR_INVALID_ARGUMENT;
  }
  return KS_ERROR_GENERAL;
}

}  // namespace orchestrator

}  // namespace nuvrel
