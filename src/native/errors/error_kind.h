// The coarse kinds of failure shared with the wire protocol, and the
// "ks:kind" error category in which they are expressed as error conditions.
#pragma once

#include <boost/system/error_category.hpp>
#include <boost/system/error_code.hpp>
#include <boost/system/error_condition.hpp>

#include <cstdint>

namespace nuvrel {

// Same names and numbers as the wire enumeration `ErrorKind`.
enum class ErrorKind : std::uint16_t {
  ok = 0,
  cancelled = 1,
  unknown = 2,
  notFound = 3,
  overwhelmed = 4,
  badRequest = 5,
  unimplemented = 6,
  internal = 7,
  unavailable = 8,
  timeout = 9,
};

// The device API's own kind enumeration; same numbers as ErrorKind.
enum KSErrorKind_enum : std::int32_t {
  KS_ERROR_KIND_OK = 0,
  KS_ERROR_KIND_CANCELLED = 1,
  KS_ERROR_KIND_UNKNOWN = 2,
  KS_ERROR_KIND_NOT_FOUND = 3,
  KS_ERROR_KIND_OVERWHELMED = 4,
  KS_ERROR_KIND_BAD_REQUEST = 5,
  KS_ERROR_KIND_UNIMPLEMENTED = 6,
  KS_ERROR_KIND_INTERNAL = 7,
  KS_ERROR_KIND_UNAVAILABLE = 8,
  KS_ERROR_KIND_TIMEOUT = 9,
};

class ErrorKindCategory final : public boost::system::error_category {
 public:
  const char* name() const noexcept override;
  std::string message(int value) const override;
};

const boost::system::error_category& errorKindCategory() noexcept;

boost::system::error_condition make_error_condition(ErrorKind kind) noexcept;

// The kind of a code: its category's default condition, when that condition
// is a "ks:kind" one; `unknown` for every other code.
ErrorKind getKind(const boost::system::error_code& code) noexcept;

// Values below 10 pass unchanged, anything else becomes `unknown`.
KSErrorKind_enum toKsErrorKind(ErrorKind kind) noexcept;
ErrorKind fromKsErrorKind(int kind) noexcept;

}  // namespace nuvrel

template <>
struct boost::system::is_error_condition_enum<nuvrel::ErrorKind> : std::true_type {};
