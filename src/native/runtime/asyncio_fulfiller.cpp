#include "runtime/asyncio_fulfiller.h"

#include <kj/exception.h>

#include <string>

#include "errors/exception.h"
#include "errors/python_errc.h"
#include "errors/throw_error.h"

namespace nuvrel::python::detail {

std::exception_ptr translateRejection(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const kj::Exception& e) {
    try {
      throwError(getPythonCapnpErrc(e), "{}", std::string(e.getDescription().cStr()));
    } catch (...) {
      return std::current_exception();
    }
  } catch (...) {
  }
  return error;
}

}  // namespace nuvrel::python::detail
