#include "protocol/parsed_headers.h"

#include <boost/throw_exception.hpp>
#include <boost/uuid/string_generator.hpp>

#include <algorithm>
#include <cctype>

#include "kj/http_header.h"
#include "protocol/http_error.h"

namespace nuvrel {
namespace {

std::optional<std::string> nonEmpty(const kj::HttpHeaders& headers, kj::HttpHeaderId id) {
  KJ_IF_MAYBE(value, headers.get(id)) {
    if (value->size() != 0) {
      return std::string(value->cStr());
    }
  }
  return std::nullopt;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The textual UUID grammar: 32 hexadecimal digits, either plain or grouped
// 8-4-4-4-12 with hyphens, optionally in braces. Boost's generator is more
// lenient about hyphens, so the shape is checked first.
std::optional<KernelUid> parseUuid(std::string_view text) {
  if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, text.size() - 2);
  }
  bool shaped = false;
  if (text.size() == 32) {
    shaped = std::all_of(text.begin(), text.end(), isHex);
  } else if (text.size() == 36) {
    shaped = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
      shaped = shaped && (hyphen ? text[i] == '-' : isHex(text[i]));
    }
  }
  if (!shaped) {
    return std::nullopt;
  }
  try {
    return boost::uuids::string_generator()(text.begin(), text.end());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

ParsedHeaders::ParsedHeaders(const kj::HttpHeaders& headers)
    : upgradeProtocol(getUpgradeProtocol(headers)),
      contentType(getContentType(headers)),
      kernelUid(getUid(headers)),
      kernelVersion(getKernelVersion(headers)) {}

ParsedHeaders::UpgradeProtocol ParsedHeaders::getUpgradeProtocol(const kj::HttpHeaders& headers) {
  const auto value = nonEmpty(headers, kj::HttpHeaderId::UPGRADE);
  if (!value) {
    return UnspecifiedTag{};
  }
  if (*value == "capnp") {
    return CapnpTag{};
  }
  if (*value == "binmsg") {
    return BinmsgTag{};
  }
  return UnsupportedTag{*value};
}

ParsedHeaders::ContentType ParsedHeaders::getContentType(const kj::HttpHeaders& headers) {
  const auto value = nonEmpty(headers, kj::HttpHeaderId::CONTENT_TYPE);
  if (!value) {
    return UnspecifiedTag{};
  }
  if (value->find("application/capnp") != std::string::npos) {
    return CapnpTag{};
  }
  return UnsupportedTag{*value};
}

std::optional<KernelUid> ParsedHeaders::getUid(const kj::HttpHeaders& headers) {
  const auto value = nonEmpty(headers, kj_asio::HttpHeader::kernelUid());
  if (!value) {
    return std::nullopt;
  }
  auto uid = parseUuid(*value);
  if (!uid) {
    boost::throw_exception(HttpError::cantParseUidHeader(*value), BOOST_CURRENT_LOCATION);
  }
  return uid;
}

std::optional<VersionTriple> ParsedHeaders::getKernelVersion(const kj::HttpHeaders& headers) {
  const auto value = nonEmpty(headers, kj_asio::HttpHeader::kernelVersion());
  if (!value) {
    return std::nullopt;
  }
  const auto triple = extractVersionTriple(*value);
  if (!isSet(triple)) {
    boost::throw_exception(HttpError::invalidKernelVersion(*value), BOOST_CURRENT_LOCATION);
  }
  return triple;
}

}  // namespace nuvrel
