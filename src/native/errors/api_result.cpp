#include "errors/api_result.h"

namespace nuvrel {

KSResult_enum getApiErrorBase(KSResult_enum code) noexcept {
  if (code == 0) {
    return KS_SUCCESS;
  }
  if (code >= 0x4000 && code <= 0x4005) {
    return KS_WARNING_GENERAL;
  }
  return KS_ERROR_GENERAL;
}

const char* KsApiErrorCategory::name() const noexcept { return "ks:api"; }

std::string KsApiErrorCategory::message(int value) const {
  return getApiErrorMessage(static_cast<KSResult_enum>(value));
}

boost::system::error_condition KsApiErrorCategory::default_error_condition(
    int value) const noexcept {
  ErrorKind kind = ErrorKind::unknown;
  switch (static_cast<std::uint32_t>(value)) {
    case 0:
      kind = ErrorKind::ok;
      break;
    case 16387:
      kind = ErrorKind::notFound;
      break;
    case 16389: case 32787: case 32794: case 32796: case 32798: case 32799: case 32800:
      kind = ErrorKind::badRequest;
      break;
    case 32770: case 32782: case 32783: case 32784: case 32786:
      kind = ErrorKind::internal;
      break;
    case 32781:
      kind = ErrorKind::timeout;
      break;
    case 32788: case 32789: case 32792: case 32793: case 32795:
      kind = ErrorKind::unavailable;
      break;
    case 32797:
      kind = ErrorKind::overwhelmed;
      break;
    default:
      break;
  }
  return make_error_condition(kind);
}

const boost::system::error_category& ksApiErrorCategory() noexcept {
  static const KsApiErrorCategory category;
  return category;
}

boost::system::error_code make_error_code(KSResult_enum code) noexcept {
  return {static_cast<int>(code), ksApiErrorCategory()};
}

bool isApiError(const boost::system::error_code& code) noexcept {
  return code.category() == ksApiErrorCategory();
}

bool isApiError(const RemoteErrorCode& code) noexcept { return code.category == "ks:api"; }

KSResult_enum toApiCode(ErrorKind kind) noexcept {
  switch (kind) {
    case ErrorKind::ok:
      return KS_SUCCESS;
    case ErrorKind::badRequest:
      return KS_ERROR_INVALID_ARGUMENT;
    case ErrorKind::timeout:
      return KS_ERROR_TIMEOUT;
    default:
      return KS_ERROR_GENERAL;
  }
}

}  // namespace nuvrel
