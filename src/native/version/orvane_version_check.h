// The client's own versions, and the checks and messages by which a
// connection refuses a data server whose version it cannot talk to.
#pragma once

#include <string>
#include <string_view>

#include "version/cal_ver.h"

namespace nuvrel {

// What to do when the server's product version differs from the client's.
enum class OnOrvaneVersionMismatch : int {
  // Any server version is accepted.
  accept = 0,
  // The server must be at the client's year and month; any other value than
  // `accept` is treated as this.
  raise = 1,
};

// Where the message for an outdated data server sends the user.
inline constexpr std::string_view kDownloadPageUrl = "https://example.com/downloads";

// The client's product version as announced and compared on connections:
// 26.11.0 (build 0). Built once; then only read.
const CalVer& clientOrvaneVersion() noexcept;

// 26.11.0 with build 336.
const CalVer& getOrvaneVersion() noexcept;
// "26.11.0.336 (<first 12 hex digits of the build's commit>)".
const std::string& getOrvaneVersionWithCommitHash() noexcept;

// True when `server` has the client's year and month (patch and build are
// not compared).
bool versionMatches(const CalVer& server) noexcept;

// Nothing under `accept` or when the versions match; otherwise throws
// ApiVersionMismatchException with `productVersionMismatchMessage`.
void checkVersionMatch(const CalVer& server, OnOrvaneVersionMismatch policy);

// "Version mismatch detected. ..." naming both versions and the side that
// should be updated (the client when it is the older one).
std::string productVersionMismatchMessage(const CalVer& server);

// Texts for a session schema of an incompatible major version, given the
// server's product version (unset when the server did not announce one).
std::string serverSchemaTooOldMessage(const CalVer& serverProduct);
std::string clientSchemaTooOldMessage(const CalVer& serverProduct);

}  // namespace nuvrel
