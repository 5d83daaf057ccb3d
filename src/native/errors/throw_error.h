// Throws a `nuvrel::Exception` with an error code, a message formatted with
// fmt and the caller's source location:
//
//   throwError(PythonCapnpErrc::keyError, "Schema has no struct {}", name);
#pragma once

#include <boost/assert/source_location.hpp>
#include <boost/throw_exception.hpp>
#include <fmt/format.h>

#include <source_location>

#include "errors/exception.h"
#include "errors/python_errc.h"

namespace nuvrel {

template <typename... Args>
struct throwError {
  template <typename Code>
  [[noreturn]] throwError(Code code, fmt::format_string<Args...> format, Args&&... args,
                          const std::source_location& location = std::source_location::current()) {
    using boost::system::error_code;
    Exception exception(error_code(make_error_code(code)),
                        fmt::format(format, std::forward<Args>(args)...));
    boost::throw_exception(exception, boost::source_location(location.file_name(), location.line(),
                                                             location.function_name()));
  }
};

template <typename Code, typename... Args>
throwError(Code, fmt::format_string<Args...>, Args&&...) -> throwError<Args...>;

}  // namespace nuvrel
