#include "python/asyncio/asyncio_event_loop.h"

#include "logging/log.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace detail {

void postToLoop(py::handle loop, const py::object& callable) {
  try {
    loop.attr("call_soon_threadsafe")(callable);
  } catch (py::error_already_set& error) {
    logging::logf(logging::Severity::warning, "Could not post continuation on asyncio event loop. {}",
                  error.what());
  }
}

}  // namespace detail

AsyncioEventLoop::AsyncioEventLoop(std::shared_ptr<PythonObjectsFactory> factory)
    : factory_(std::move(factory)), loopThread_(pthread_self()) {
  factory_->sweep();
  loop_ = std::make_shared<PyHandle>(
      factory_->create([] { return py::module_::import("asyncio").attr("get_event_loop")(); }));
  logging::log(logging::Severity::debug, "Created asyncio event loop");
}

void AsyncioEventLoop::runCoroutineThreadsafe(py::handle coroutine) const {
  if (isInterpreterFinalizing()) {
    return;
  }
  py::gil_scoped_acquire gil;
  py::object loop = loop_->borrow();
  py::module_::import("asyncio").attr("run_coroutine_threadsafe")(coroutine, loop);
}

}  // namespace nuvrel::python
