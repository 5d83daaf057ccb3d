// Test-only bindings of the RPC layer (hidden submodule `_testing`).
#include <pybind11/pybind11.h>

#include <stdexcept>

#include "python/python_context.h"
#include "python/registrations.h"
#include "runtime/capnp_worker_thread.h"

namespace py = pybind11;

namespace nuvrel::python {

void addTestingBindingsRpc(py::module_& testing) {
  // Worker threads running in the process, detached ones included.
  testing.def("running_worker_threads", []() { return CapnpWorkerThread::runningThreads(); });

  // Posts an item whose action throws: the worker ends as crashed with the
  // text, as it would on an unexpected failure.
  testing.def(
      "crash_worker",
      [](CapnpContextWrapper& context, const std::string& text) {
        context.context->tryPushWork(Work(
            [text](CapnpThreadInternalContext&) { throw std::runtime_error(text); }, "crash"));
      },
      py::arg("context"), py::arg("text"));

  // (tracked, graveyard) object counts of the context's Python-object factory.
  testing.def("tracked_python_objects", [](const CapnpContextWrapper& context) {
    const auto& factory = context.context->objectsFactory();
    return py::make_tuple(factory.trackedObjects(), factory.graveyardSize());
  });
}

}  // namespace nuvrel::python
