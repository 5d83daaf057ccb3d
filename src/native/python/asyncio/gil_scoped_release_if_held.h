// Releases the interpreter lock for the lifetime of the guard if, and only
// if, the calling thread holds it; the destructor takes it back. Used around
// every wait for the worker thread, which may need the lock to deliver.
#pragma once

#include <pybind11/gil.h>

#include <optional>

namespace nuvrel::python {

class GilScopedReleaseIfHeld {
 public:
  GilScopedReleaseIfHeld() {
    if (PyGILState_Check()) {
      release_.emplace();
    }
  }
  GilScopedReleaseIfHeld(const GilScopedReleaseIfHeld&) = delete;
  GilScopedReleaseIfHeld& operator=(const GilScopedReleaseIfHeld&) = delete;

  bool released() const noexcept { return release_.has_value(); }

 private:
  std::optional<pybind11::gil_scoped_release> release_;
};

}  // namespace nuvrel::python
