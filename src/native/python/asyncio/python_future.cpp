#include "python/asyncio/python_future.h"

#include "logging/log.h"
#include "python/errors_module.h"

namespace py = pybind11;

namespace nuvrel::python::detail {

py::object makeFutureError(const std::exception_ptr& error) { return makeErrorObject(error); }

void completeFuture(const PyHandle& future, pthread_t loopThread, FutureCompletion completion,
                    const std::function<py::object()>& makeArgument) {
  const char* method = completion == FutureCompletion::result ? "set_result" : "set_exception";
  future.visit([&](py::handle target) {
    // Made first, so that what the caller handed over becomes a Python
    // object (and is released as one) even if the future is not completed.
    py::object argument = makeArgument();
    if (pthread_equal(pthread_self(), loopThread)) {
      if (target.attr("cancelled")().cast<bool>()) {
        return;
      }
      target.attr(method)(argument);
      return;
    }
    // Posted: by the time the loop runs this, Python may have cancelled the
    // future, which is not an error worth reporting.
    py::cpp_function complete([future = py::reinterpret_borrow<py::object>(target), argument,
                               method]() {
      if (!future.attr("cancelled")().cast<bool>()) {
        future.attr(method)(argument);
      }
    });
    try {
      target.attr("get_loop")().attr("call_soon_threadsafe")(complete);
    } catch (py::error_already_set& error) {
      if (completion == FutureCompletion::result) {
        logging::logf(logging::Severity::warning, "Could not set result on future. {}",
                      error.what());
      } else {
        logging::logf(logging::Severity::warning, "Could not set exception on future. {}",
                      error.what());
      }
    }
  });
}

}  // namespace nuvrel::python::detail
