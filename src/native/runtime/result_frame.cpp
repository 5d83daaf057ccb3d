#include "runtime/result_frame.h"

#include <boost/throw_exception.hpp>

#include "errors/exception.h"
#include "errors/python_errc.h"
#include "errors/throw_error.h"

namespace nuvrel::python::detail {
namespace {

std::exception_ptr capture(auto&& raise) {
  try {
    raise();
  } catch (...) {
    return std::current_exception();
  }
  return {};
}

}  // namespace

std::exception_ptr makeCancellationError() {
  return capture([] { throwError(PythonCapnpErrc::internal, "Operation was cancelled."); });
}

std::exception_ptr makeReadBeforeSetError() {
  return capture([] {
    BOOST_THROW_EXCEPTION(Exception(std::string("Unable read result value before it was set.")));
  });
}

void throwConsumedTwice() {
  throwError(PythonCapnpErrc::internal, "Unable to consume a Coroutine more than once.");
}

}  // namespace nuvrel::python::detail
