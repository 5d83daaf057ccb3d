#include "errors/python_errc.h"

#include <kj/exception.h>

#include <array>

#include "errors/error_kind.h"

namespace nuvrel {

const char* PythonCapnpErrorCategory::name() const noexcept { return "ks:pycapnp"; }

std::string PythonCapnpErrorCategory::message(int value) const {
  switch (static_cast<PythonCapnpErrc>(value)) {
    case PythonCapnpErrc::runtimeError:
      return "RuntimeError";
    case PythonCapnpErrc::valueError:
      return "ValueError";
    case PythonCapnpErrc::disconnected:
      return "DisconnectError";
    case PythonCapnpErrc::keyError:
      return "KeyError";
    default:
      break;
  }
  if (value >= 0 && value <= 9) {
    // The same words as the error kind of that number.
    return make_error_condition(static_cast<ErrorKind>(value)).message();
  }
  return "Unknown";
}

boost::system::error_condition PythonCapnpErrorCategory::default_error_condition(
    int value) const noexcept {
  ErrorKind kind = ErrorKind::unknown;
  switch (static_cast<PythonCapnpErrc>(value)) {
    case PythonCapnpErrc::runtimeError:
    case PythonCapnpErrc::valueError:
      kind = ErrorKind::internal;
      break;
    case PythonCapnpErrc::disconnected:
    case PythonCapnpErrc::keyError:
      kind = ErrorKind::notFound;
      break;
    default:
      if (value >= 0 && value <= 9) {
        kind = static_cast<ErrorKind>(value);
      }
      break;
  }
  return make_error_condition(kind);
}

const boost::system::error_category& pythonCapnpErrorCategory() noexcept {
  static const PythonCapnpErrorCategory category;
  return category;
}

boost::system::error_code make_error_code(PythonCapnpErrc code) noexcept {
  return {static_cast<int>(code), pythonCapnpErrorCategory()};
}

bool isPythonCapnpError(const boost::system::error_code& code) noexcept {
  return code.category() == pythonCapnpErrorCategory();
}

PythonCapnpErrc getPythonCapnpErrc(const kj::Exception& exception) noexcept {
  static constexpr std::array<PythonCapnpErrc, 4> kByType = {
      PythonCapnpErrc::badRequest, PythonCapnpErrc::overwhelmed, PythonCapnpErrc::disconnected,
      PythonCapnpErrc::unimplemented};
  const auto type = static_cast<unsigned>(exception.getType());
  return type < kByType.size() ? kByType[type] : PythonCapnpErrc::internal;
}

}  // namespace nuvrel
