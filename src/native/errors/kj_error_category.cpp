#include "errors/kj_error_category.h"

#include "errors/error_kind.h"

namespace nuvrel {

const char* KjErrorCategory::name() const noexcept { return "kj"; }

std::string KjErrorCategory::message(int value) const {
  switch (value) {
    case 0:
      return "Failed";
    case 1:
      return "Overloaded";
    case 2:
      return "Disconnected";
    case 3:
      return "Unimplemented";
    default:
      return "Unknown";
  }
}

boost::system::error_condition KjErrorCategory::default_error_condition(int value) const noexcept {
  switch (value) {
    case 0:
      return make_error_condition(ErrorKind::internal);
    case 1:
      return make_error_condition(ErrorKind::overwhelmed);
    case 2:
      return make_error_condition(ErrorKind::unavailable);
    case 3:
      return make_error_condition(ErrorKind::unimplemented);
    default:
      return make_error_condition(ErrorKind::unknown);
  }
}

const boost::system::error_category& kjErrorCategory() noexcept {
  static const KjErrorCategory category;
  return category;
}

}  // namespace nuvrel

namespace kj {
boost::system::error_code make_error_code(kj::Exception::Type type) noexcept {
  return {static_cast<int>(type), nuvrel::kjErrorCategory()};
}
}  // namespace kj
