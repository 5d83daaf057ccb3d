// Test-only bindings of the worker runtime (hidden submodule `_testing`).
#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "python/registrations.h"
#include "runtime/blocking_region.h"

namespace py = pybind11;

namespace nuvrel::python {

void addTestingBindingsRuntime(py::module_& testing) {
  // Waits, the way the core waits for a worker, for a thread that needs the
  // interpreter lock. True if that thread got the lock within the bound; with
  // the caller's lock held throughout it could not.
  testing.def(
      "wait_for_thread_needing_gil",
      [](int timeoutMs) {
        std::atomic<bool> done{false};
        std::thread needsLock([&done]() {
          py::gil_scoped_acquire acquire;
          done = true;
        });
        bool gotIt = false;
        runBlockingRegion([&]() {
          const auto deadline =
              std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
          while (!done.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
          gotIt = done.load();
        });
        {
          // The helper may still be waiting for the lock.
          py::gil_scoped_release release;
          needsLock.join();
        }
        return gotIt;
      },
      py::arg("timeout_ms"));
}

}  // namespace nuvrel::python
