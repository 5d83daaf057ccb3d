// What the client reads from the response headers of the HTTP upgrade.
#pragma once

#include <kj/compat/http.h>

#include <optional>
#include <string>
#include <variant>

#include "protocol/kernel_descriptor.h"
#include "version/version_triple.h"

namespace nuvrel {

struct CapnpTag {
  friend bool operator==(const CapnpTag&, const CapnpTag&) = default;
};
struct BinmsgTag {
  friend bool operator==(const BinmsgTag&, const BinmsgTag&) = default;
};
// A value this client does not know, kept for the message.
struct UnsupportedTag {
  std::string text;
  friend bool operator==(const UnsupportedTag&, const UnsupportedTag&) = default;
};
// The header is absent or empty.
struct UnspecifiedTag {
  friend bool operator==(const UnspecifiedTag&, const UnspecifiedTag&) = default;
};

struct ParsedHeaders {
  using UpgradeProtocol = std::variant<CapnpTag, BinmsgTag, UnsupportedTag, UnspecifiedTag>;
  using ContentType = std::variant<CapnpTag, UnsupportedTag, UnspecifiedTag>;

  // Throws the HttpError for a kernel uid or version header that is present
  // but malformed (cantParseUidHeader, invalidKernelVersion).
  explicit ParsedHeaders(const kj::HttpHeaders& headers);

  // `Upgrade`: exactly "capnp" or "binmsg" (case matters), else unsupported.
  static UpgradeProtocol getUpgradeProtocol(const kj::HttpHeaders& headers);
  // `Content-Type`: Cap'n Proto when it contains "application/capnp"
  // anywhere (parameters may follow).
  static ContentType getContentType(const kj::HttpHeaders& headers);
  // "Nuvrel-Kernel-Uid": 32 hex digits, optionally as 8-4-4-4-12 groups and
  // optionally in braces.
  static std::optional<KernelUid> getUid(const kj::HttpHeaders& headers);
  // "Nuvrel-Kernel-Version": read leniently; a text that gives 0.0.0 is
  // refused.
  static std::optional<VersionTriple> getKernelVersion(const kj::HttpHeaders& headers);

  UpgradeProtocol upgradeProtocol;
  ContentType contentType;
  std::optional<KernelUid> kernelUid;
  std::optional<VersionTriple> kernelVersion;
};

}  // namespace nuvrel
