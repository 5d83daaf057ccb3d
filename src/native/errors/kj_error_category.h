// Cap'n Proto exception types as error codes (category "kj").
#pragma once

#include <boost/system/error_category.hpp>
#include <boost/system/error_code.hpp>
#include <kj/exception.h>

namespace nuvrel {

class KjErrorCategory final : public boost::system::error_category {
 public:
  const char* name() const noexcept override;
  std::string message(int value) const override;
  boost::system::error_condition default_error_condition(int value) const noexcept override;
};

const boost::system::error_category& kjErrorCategory() noexcept;

}  // namespace nuvrel

namespace kj {
boost::system::error_code make_error_code(kj::Exception::Type type) noexcept;
}  // namespace kj

template <>
struct boost::system::is_error_code_enum<kj::Exception::Type> : std::true_type {};
