// Test-only bindings that throw native failures, so the Python tests can
// check how each one reaches Python (synchronously through the translator
// and as the exception object given to a future).
#include <kj/exception.h>
#include <pybind11/functional.h>
#include <pybind11/stl.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "errors/throw_error.h"
#include "python/errors_module.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {
namespace {

[[noreturn]] void throwNative(const std::string& which, const std::string& message) {
  static const std::map<std::string, std::function<void(const std::string&)>> throwers = {
      {"Exception", [](const std::string& m) { throw Exception(m); }},
      {"KSIOException", [](const std::string& m) { throw KSIOException(m); }},
      {"KSIOTimeoutException", [](const std::string& m) { throw KSIOTimeoutException(m); }},
      {"KSTimeoutException", [](const std::string& m) { throw KSTimeoutException(m); }},
      {"ApiTimeoutException", [](const std::string&) { throw ApiTimeoutException(); }},
      {"ApiNotFoundException", [](const std::string& m) { throw ApiNotFoundException(m); }},
      {"ApiConnectionException", [](const std::string& m) { throw ApiConnectionException(m); }},
      {"std::runtime_error", [](const std::string& m) { throw std::runtime_error(m); }},
  };
  throwers.at(which)(message);
  throw std::logic_error("unreachable");
}

std::exception_ptr kjFailure(int type, const std::string& description, bool converted) {
  kj::Exception e(static_cast<kj::Exception::Type>(type), __FILE__, __LINE__,
                  kj::heapString(description));
  auto error = std::make_exception_ptr(e);
  return converted ? std::make_exception_ptr(toException(error)) : error;
}

}  // namespace

void addTestingBindingsErrors(py::module_& testing) {
  testing.def("raise_errc", [](int code, const std::string& message) {
    throwError(static_cast<PythonCapnpErrc>(code), "{}", message);
  });
  testing.def("raise_native", &throwNative);
  testing.def("raise_kj", [](int type, const std::string& description, bool converted) {
    std::rethrow_exception(kjFailure(type, description, converted));
  });
  // The exception object a future would be failed with.
  testing.def("kj_error_object", [](int type, const std::string& description, bool converted) {
    return makeErrorObject(kjFailure(type, description, converted));
  });
  testing.def("native_error_object", [](const std::string& which, const std::string& message) {
    try {
      throwNative(which, message);
    } catch (...) {
      return makeErrorObject(std::current_exception());
    }
  });
}

}  // namespace nuvrel::python
