#include "protocol/http_error.h"

#include <fmt/format.h>

namespace nuvrel {
namespace {

constexpr std::string_view kSameVersion =
    "This usually means that the data-server version is newer than the client version. Please "
    "make sure client and server are on the same Orvane version.";

}  // namespace

ApiConnectionException HttpError::unexpectedKjException(const kj::Exception& e) {
  return ApiConnectionException(std::string(e.getDescription().cStr()));
}

ApiConnectionException HttpError::unsupportedContentType(std::string_view contentType) {
  return ApiConnectionException(fmt::format(
      "The server returned a response with the unsupported content type '{}'. {}", contentType,
      kSameVersion));
}

ApiConnectionException HttpError::missingContentType() {
  return ApiConnectionException("Server response does not specify the content type.");
}

ApiConnectionException HttpError::cantParseBody(const kj::Exception& e) {
  return ApiConnectionException(
      fmt::format("Could not parse data-server HTTP response: {}", e.getDescription().cStr()));
}

ApiConnectionException HttpError::httpErrorStatus(unsigned status) {
  return ApiConnectionException(fmt::format("The server reported HTTP status code {}", status));
}

ApiConnectionException HttpError::missingUpgradeHeader() {
  return ApiConnectionException("Server HTTP response does not contain an 'Upgrade' header.");
}

ApiConnectionException HttpError::unsupportedUpgradeProtocol(std::string_view protocol) {
  return ApiConnectionException(
      fmt::format("Server requires upgrade to unsupported protocol {}. {}", protocol, kSameVersion));
}

ApiConnectionException HttpError::missingPort() {
  return ApiConnectionException(
      fmt::format("The client does not support protocol upgrade. {}", kSameVersion));
}

ApiConnectionException HttpError::cantParseUidHeader(std::string_view text) {
  return ApiConnectionException(fmt::format("Server UUID '{}' cannot be parsed", text));
}

ApiConnectionException HttpError::uidHeaderMissing() {
  return ApiConnectionException("Server response does not have a UUID header");
}

ApiConnectionException HttpError::invalidKernelVersion(std::string_view text) {
  return ApiConnectionException(fmt::format("Server version '{}' cannot be parsed", text));
}

ApiConnectionException HttpError::missingKernelVersion() {
  return ApiConnectionException("Server did not provide its version");
}

}  // namespace nuvrel
