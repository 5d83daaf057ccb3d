// The module's own error codes ("ks:pycapnp"). The number alone decides the
// Python exception class a failure becomes; 0-9 share numbers with ErrorKind.
#pragma once

#include <boost/system/error_category.hpp>
#include <boost/system/error_code.hpp>

#include <cstdint>

namespace kj {
class Exception;
}

namespace nuvrel {

enum class PythonCapnpErrc : std::int32_t {
  ok = 0,
  cancelled = 1,
  runtimeError = 2,
  notFound = 3,
  overwhelmed = 4,
  badRequest = 5,
  unimplemented = 6,
  internal = 7,
  unavailable = 8,
  timeout = 9,
  valueError = 100,
  disconnected = 101,
  keyError = 102,
};

class PythonCapnpErrorCategory final : public boost::system::error_category {
 public:
  const char* name() const noexcept override;
  std::string message(int value) const override;
  boost::system::error_condition default_error_condition(int value) const noexcept override;
};

const boost::system::error_category& pythonCapnpErrorCategory() noexcept;

boost::system::error_code make_error_code(PythonCapnpErrc code) noexcept;

bool isPythonCapnpError(const boost::system::error_code& code) noexcept;

// FAILED -> badRequest, OVERLOADED -> overwhelmed, DISCONNECTED ->
// disconnected, UNIMPLEMENTED -> unimplemented, anything else -> internal.
PythonCapnpErrc getPythonCapnpErrc(const kj::Exception& exception) noexcept;

}  // namespace nuvrel

template <>
struct boost::system::is_error_code_enum<nuvrel::PythonCapnpErrc> : std::true_type {};
