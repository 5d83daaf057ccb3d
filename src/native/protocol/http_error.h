// The refusals of the HTTP upgrade to a data-server kernel. Every one is an
// ApiConnectionException with a fixed message; the texts tell the user which
// side to update where that is the likely cause.
#pragma once

#include <kj/exception.h>

#include <string>
#include <string_view>

#include "errors/exception.h"

namespace nuvrel {

struct HttpError {
  // The event library's description of `e`, unchanged.
  static ApiConnectionException unexpectedKjException(const kj::Exception& e);
  // "The server returned a response with the unsupported content type
  // '<ct>'. This usually means ..."
  static ApiConnectionException unsupportedContentType(std::string_view contentType);
  // "Server response does not specify the content type."
  static ApiConnectionException missingContentType();
  // "Could not parse data-server HTTP response: <description>"
  static ApiConnectionException cantParseBody(const kj::Exception& e);
  // "The server reported HTTP status code <status>"
  static ApiConnectionException httpErrorStatus(unsigned status);
  // "Server HTTP response does not contain an 'Upgrade' header."
  static ApiConnectionException missingUpgradeHeader();
  // "Server requires upgrade to unsupported protocol <p>. This usually ..."
  static ApiConnectionException unsupportedUpgradeProtocol(std::string_view protocol);
  // "The client does not support protocol upgrade. This usually ..."
  static ApiConnectionException missingPort();
  // "Server UUID '<text>' cannot be parsed"
  static ApiConnectionException cantParseUidHeader(std::string_view text);
  // "Server response does not have a UUID header"
  static ApiConnectionException uidHeaderMissing();
  // "Server version '<text>' cannot be parsed"
  static ApiConnectionException invalidKernelVersion(std::string_view text);
  // "Server did not provide its version"
  static ApiConnectionException missingKernelVersion();
};

}  // namespace nuvrel
