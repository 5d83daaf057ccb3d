#include "python/errors_module.h"

#include <kj/exception.h>
#include <pybind11/gil_safe_call_once.h>

#include <array>
#include <string>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {
namespace {

enum ErrorClass : std::size_t {
  kBaseError,
  kCancelledError,
  kNotFoundError,
  kOverwhelmedError,
  kUnimplementedError,
  kBadRequestError,
  kTimeoutError,
  kUnavailableError,
  kDisconnectError,
  kErrorClassCount,
};

constexpr std::array<const char*, kErrorClassCount> kClassNames = {
    "BaseError",          "CancelledError",  "NotFoundError",
    "OverwhelmedError",   "UnimplementedError", "BadRequestError",
    "TimeoutError",       "UnavailableError",   "DisconnectError"};

// One once-initialised slot per class: the classes are created on the first
// registration and reused by a second one in the same process.
std::array<py::gil_safe_call_once_and_store<py::object>, kErrorClassCount>& classSlots() {
  static std::array<py::gil_safe_call_once_and_store<py::object>, kErrorClassCount> slots;
  return slots;
}

py::handle errorClass(ErrorClass which) { return classSlots()[which].get_stored(); }

py::handle builtin(PyObject* type) { return py::handle(type); }

}  // namespace

py::handle getErrorClassFromKind(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::cancelled:
      return errorClass(kCancelledError);
    case ErrorKind::notFound:
      return errorClass(kNotFoundError);
    case ErrorKind::overwhelmed:
      return errorClass(kOverwhelmedError);
    case ErrorKind::badRequest:
      return errorClass(kBadRequestError);
    case ErrorKind::unimplemented:
      return errorClass(kUnimplementedError);
    case ErrorKind::unavailable:
      return errorClass(kUnavailableError);
    case ErrorKind::timeout:
      return errorClass(kTimeoutError);
    default:
      return errorClass(kBaseError);
  }
}

py::handle getErrorClassFromErrc(PythonCapnpErrc code) {
  switch (code) {
    case PythonCapnpErrc::cancelled:
      return errorClass(kCancelledError);
    case PythonCapnpErrc::notFound:
      return errorClass(kNotFoundError);
    case PythonCapnpErrc::overwhelmed:
      return errorClass(kOverwhelmedError);
    case PythonCapnpErrc::badRequest:
      return errorClass(kBadRequestError);
    case PythonCapnpErrc::unimplemented:
      return errorClass(kUnimplementedError);
    case PythonCapnpErrc::unavailable:
      return errorClass(kUnavailableError);
    case PythonCapnpErrc::timeout:
      return errorClass(kTimeoutError);
    case PythonCapnpErrc::valueError:
      return builtin(PyExc_ValueError);
    case PythonCapnpErrc::disconnected:
      return errorClass(kDisconnectError);
    case PythonCapnpErrc::keyError:
      return builtin(PyExc_KeyError);
    default:
      return errorClass(kBaseError);
  }
}

py::handle getErrorClass(std::exception_ptr error) {
  if (!error) {
    return errorClass(kBaseError);
  }
  try {
    std::rethrow_exception(error);
  } catch (const KSIOException&) {
    return errorClass(kUnavailableError);
  } catch (const Exception& e) {
    const auto code = e.code();
    if (isPythonCapnpError(code)) {
      return getErrorClassFromErrc(static_cast<PythonCapnpErrc>(code.value()));
    }
    return getErrorClassFromKind(getKind(code));
  } catch (const kj::Exception& e) {
    return getErrorClassFromErrc(getPythonCapnpErrc(e));
  } catch (...) {
    return errorClass(kBaseError);
  }
}

py::object makeErrorObject(std::exception_ptr error) {
  return getErrorClass(error)(extractMessage(error));
}

void makeErrorModule(py::module_& module) {
  auto errors = module.def_submodule("errors", "Exception classes.");
  const std::string prefix = py::str(errors.attr("__name__"));
  for (std::size_t i = 0; i < kErrorClassCount; ++i) {
    auto& slot = classSlots()[i];
    const char* name = kClassNames[i];
    slot.call_once_and_store_result([&] {
      PyObject* base = i == kBaseError ? PyExc_RuntimeError : errorClass(kBaseError).ptr();
      const std::string qualified = prefix + "." + name;
      PyObject* type = PyErr_NewException(qualified.c_str(), base, nullptr);
      if (type == nullptr) {
        throw py::error_already_set();
      }
      return py::reinterpret_steal<py::object>(type);
    });
    if (py::hasattr(errors, name)) {
      py::pybind11_fail(std::string("Error during initialization: multiple incompatible "
                                    "definitions with name \"") + name + "\"");
    }
    errors.attr(name) = slot.get_stored();
  }

  py::register_local_exception_translator([](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const Exception&) {
      PyErr_SetString(getErrorClass(error).ptr(), extractMessage(error).c_str());
    } catch (const kj::Exception&) {
      PyErr_SetString(getErrorClass(error).ptr(), extractMessage(error).c_str());
    }
  });
}

}  // namespace nuvrel::python
