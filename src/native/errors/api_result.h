// Result codes of the device API ("ks:api"), their messages and their kinds.
#pragma once

#include <boost/system/error_category.hpp>
#include <boost/system/error_code.hpp>

#include <cstdint>
#include <string>
#include <string_view>

#include "errors/error_kind.h"

namespace nuvrel {

// 0 is success, 0x4000-0x4005 are warnings, 0x8000 and up are errors
// (0x9000-0x91xx are reported by a device). Only the codes that the module
// names itself have enumerators; every other 32-bit value is a valid code.
enum KSResult_enum : std::uint32_t {
  KS_SUCCESS = 0x0000,
  KS_WARNING_GENERAL = 0x4000,
  KS_WARNING_NOT_FOUND = 0x4003,
  KS_WARNING_INVALID_KEYWORD = 0x4005,
  KS_ERROR_GENERAL = 0x8000,
  KS_ERROR_MALLOC = 0x8002,
  KS_ERROR_CONNECTION_INVALID = 0x800c,
  KS_ERROR_TIMEOUT = 0x800d,
  KS_ERROR_COMMAND_INTERNAL = 0x800e,
  KS_ERROR_COMMAND_SERVER = 0x800f,
  KS_ERROR_BUFFER_TOO_SMALL = 0x8010,
  KS_ERROR_FILE = 0x8011,
  KS_ERROR_DUPLICATE = 0x8012,
  KS_ERROR_READ_ONLY = 0x8013,
  KS_ERROR_DEVICE_NOT_VISIBLE = 0x8014,
  KS_ERROR_DEVICE_IN_USE = 0x8015,
  KS_ERROR_DEVICE_INTERFACE = 0x8016,
  KS_ERROR_DEVICE_CONNECTION_TIMEOUT = 0x8017,
  KS_ERROR_DEVICE_DIFFERENT_INTERFACE = 0x8018,
  KS_ERROR_DEVICE_NEEDS_FW_UPGRADE = 0x8019,
  KS_ERROR_TYPE_MISMATCH_POLL = 0x801a,
  KS_ERROR_DEVICE_NOT_FOUND = 0x801b,
  KS_ERROR_NOT_SUPPORTED_COMMAND = 0x801c,
  KS_ERROR_TOO_MANY_SESSIONS = 0x801d,
  KS_ERROR_NOT_SUPPORTED_ON_Q7R = 0x801e,
  KS_ERROR_INVALID_ARGUMENT = 0x801f,
  KS_ERROR_WRITE_ONLY = 0x8020,
  KS_ERROR_SAMPLE_LOSS = 0x8021,
};

// The message of a code, or "Unknown error code" for a code not in the table.
const std::string& getApiErrorMessage(KSResult_enum code) noexcept;

// Number of entries in the message table.
std::size_t apiErrorMessageCount() noexcept;

// 0 for 0; 0x4000 for 0x4000-0x4005; 0x8000 for every other code.
KSResult_enum getApiErrorBase(KSResult_enum code) noexcept;

class KsApiErrorCategory final : public boost::system::error_category {
 public:
  const char* name() const noexcept override;
  std::string message(int value) const override;
  boost::system::error_condition default_error_condition(int value) const noexcept override;
};

const boost::system::error_category& ksApiErrorCategory() noexcept;

boost::system::error_code make_error_code(KSResult_enum code) noexcept;

// A code received from a peer: its category by name and its value.
struct RemoteErrorCode {
  std::string category;
  int value = 0;
};

bool isApiError(const boost::system::error_code& code) noexcept;
bool isApiError(const RemoteErrorCode& code) noexcept;

// ok -> 0, badRequest -> 0x801f, timeout -> 0x800d, anything else -> 0x8000.
KSResult_enum toApiCode(ErrorKind kind) noexcept;

}  // namespace nuvrel

template <>
struct boost::system::is_error_code_enum<nuvrel::KSResult_enum> : std::true_type {};
