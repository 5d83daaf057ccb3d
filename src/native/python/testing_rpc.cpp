// Test-only bindings of the RPC layer (hidden submodule `_testing`).
#include <pybind11/pybind11.h>

#include "python/registrations.h"
#include "runtime/capnp_worker_thread.h"

namespace py = pybind11;

namespace nuvrel::python {

void addTestingBindingsRpc(py::module_& testing) {
  // Worker threads running in the process, detached ones included.
  testing.def("running_worker_threads", []() { return CapnpWorkerThread::runningThreads(); });
}

}  // namespace nuvrel::python
