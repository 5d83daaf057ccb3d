// The `errors` submodule and the rule by which a native failure becomes a
// Python exception. Everything here needs the interpreter lock.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>

#include "errors/error_kind.h"
#include "errors/python_errc.h"

namespace nuvrel::python {

// The Python exception object for a native failure: the chosen class called
// with the failure's message. Used to fail asyncio futures.
pybind11::object makeErrorObject(std::exception_ptr error);

// The class a failure maps to (BaseError for a null pointer).
pybind11::handle getErrorClass(std::exception_ptr error);
pybind11::handle getErrorClassFromErrc(PythonCapnpErrc code);
pybind11::handle getErrorClassFromKind(ErrorKind kind);

}  // namespace nuvrel::python
