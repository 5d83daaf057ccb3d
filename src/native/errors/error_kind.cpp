#include "errors/error_kind.h"

#include <array>
#include <string>

namespace nuvrel {

const char* ErrorKindCategory::name() const noexcept { return "ks:kind"; }

std::string ErrorKindCategory::message(int value) const {
  static constexpr std::array<const char*, 10> kMessages = {
      "Ok",           "Cancelled",     "Unknown",  "Not Found",   "Overwhelmed",
      "Bad Request",  "Unimplemented", "Internal", "Unavailable", "Timeout"};
  if (value < 0 || value >= static_cast<int>(kMessages.size())) {
    return "Unknown";
  }
  return kMessages[static_cast<std::size_t>(value)];
}

const boost::system::error_category& errorKindCategory() noexcept {
  static const ErrorKindCategory category;
  return category;
}

boost::system::error_condition make_error_condition(ErrorKind kind) noexcept {
  return {static_cast<int>(kind), errorKindCategory()};
}

ErrorKind getKind(const boost::system::error_code& code) noexcept {
  const auto condition = code.default_error_condition();
  if (condition.category() == errorKindCategory()) {
    return static_cast<ErrorKind>(condition.value());
  }
  return ErrorKind::unknown;
}

KSErrorKind_enum toKsErrorKind(ErrorKind kind) noexcept {
  const auto value = static_cast<int>(kind);
  return static_cast<KSErrorKind_enum>(value < 10 ? value : 2);
}

ErrorKind fromKsErrorKind(int kind) noexcept {
  return static_cast<ErrorKind>(kind >= 0 && kind < 10 ? kind : 2);
}

}  // namespace nuvrel
