#include "version/orvane_version_check.h"

#include <boost/throw_exception.hpp>
#include <fmt/format.h>

#include "errors/exception.h"
#include "version/build_info.h"

namespace nuvrel {

namespace {

// Shared by both schema messages when the products are the same release, in
// which case telling either side to update would be wrong.
constexpr std::string_view kSameReleaseMessage =
    "Incompatible server version. Please ensure the client and server run on the same Orvane "
    "version.";

bool isClientRelease(const CalVer& serverProduct) {
  return isSet(serverProduct) && serverProduct == clientOrvaneVersion();
}

std::string textOrUnknown(const CalVer& version) {
  return isSet(version) ? toString(version) : std::string("unknown");
}

}  // namespace

const CalVer& clientOrvaneVersion() noexcept {
  static const CalVer version(26, 11, 0);
  return version;
}

const CalVer& getOrvaneVersion() noexcept {
  static const CalVer version(26, 11, 0, 336);
  return version;
}

const std::string& getOrvaneVersionWithCommitHash() noexcept {
  static const std::string text = [] {
    const auto& version = getOrvaneVersion();
    return fmt::format("{}.{} ({})", toString(version), version.build(),
                       std::string_view(version::commitHash()).substr(0, 12));
  }();
  return text;
}

bool versionMatches(const CalVer& server) noexcept {
  const auto& client = clientOrvaneVersion();
  return server.year() == client.year() && server.month() == client.month();
}

void checkVersionMatch(const CalVer& server, OnOrvaneVersionMismatch policy) {
  if (policy == OnOrvaneVersionMismatch::accept || versionMatches(server)) return;
  boost::throw_exception(ApiVersionMismatchException(productVersionMismatchMessage(server)),
                         BOOST_CURRENT_LOCATION);
}

std::string productVersionMismatchMessage(const CalVer& server) {
  const auto& client = clientOrvaneVersion();
  std::string advice =
      client < server
          ? std::string("Please update the Orvane client to the newer version by installing the "
                        "corresponding Python/MATLAB/C/.NET API of Orvane software.")
          : fmt::format("Please update the Orvane data-server to the newer version by installing "
                        "the corresponding Orvane software package available at {}.",
                        kDownloadPageUrl);
  return fmt::format(
      "Version mismatch detected. The server is at Orvane version '{}' but the client is at "
      "Orvane version '{}'. {}",
      toString(server), toString(client), advice);
}

std::string serverSchemaTooOldMessage(const CalVer& serverProduct) {
  if (isClientRelease(serverProduct)) return std::string(kSameReleaseMessage);
  return fmt::format(
      "The server version is too old. The server runs on version '{}' but the client runs on "
      "version '{}'. Please update the Orvane Software.",
      textOrUnknown(serverProduct), toString(clientOrvaneVersion()));
}

std::string clientSchemaTooOldMessage(const CalVer& serverProduct) {
  if (isClientRelease(serverProduct)) return std::string(kSameReleaseMessage);
  return fmt::format(
      "The client version is too old to connect to the data server. The client is on version {} "
      "while the server is on version {}",
      toString(clientOrvaneVersion()), textOrUnknown(serverProduct));
}

}  // namespace nuvrel
