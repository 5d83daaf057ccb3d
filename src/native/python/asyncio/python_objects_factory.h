// Python objects kept alive by native code that may run on any thread.
//
// A `PythonObjectsFactory` owns every Python reference that the native side
// of a context keeps; a `PyHandle` is a non-owning, thread-safe handle to one
// of them. The rule: a Python reference is created, and finally dropped,
// only while the interpreter lock is held, yet any thread may hold, move or
// destroy a handle without the lock. Destroying a handle moves its object to
// the factory's graveyard (no reference count is touched); the graveyard is
// emptied under the lock by the next `create` or `sweep`.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "python/asyncio/interpreter_state.h"

namespace nuvrel::python {

class PythonObjectsFactory;

using PyObjectList = std::list<pybind11::object>;

// What a handle needs from its owner. Implemented only by
// PythonObjectsFactory.
class PythonObjectsGarbageCollector : public std::enable_shared_from_this<PythonObjectsFactory> {
 public:
  virtual ~PythonObjectsGarbageCollector() = default;
  // Moves the object from the tracked list to the graveyard. Needs no
  // interpreter lock.
  virtual void free(PyObjectList::iterator object) noexcept = 0;
};

namespace detail {
[[noreturn]] void throwInaccessible();
}  // namespace detail

// Move-only; a moved-from or default-constructed handle is empty.
class PyHandle {
 public:
  PyHandle() = default;
  PyHandle(std::weak_ptr<PythonObjectsGarbageCollector> owner, PyObjectList::iterator object)
      : owner_(std::move(owner)), object_(object) {}
  PyHandle(PyHandle&& other) noexcept
      : owner_(std::move(other.owner_)), object_(std::exchange(other.object_, std::nullopt)) {}
  PyHandle& operator=(PyHandle&& other) noexcept {
    if (this != &other) {
      release();
      owner_ = std::move(other.owner_);
      object_ = std::exchange(other.object_, std::nullopt);
    }
    return *this;
  }
  PyHandle(const PyHandle&) = delete;
  PyHandle& operator=(const PyHandle&) = delete;
  ~PyHandle() { release(); }

  bool empty() const noexcept { return !object_.has_value(); }

  // Calls `f(pybind11::handle)` with the interpreter lock held and returns
  // what it returns (as an optional for a non-void result). While the
  // interpreter finalises, `f` is not called (and the optional is empty).
  // Throws "Underlying python object is no longer accessible" when the
  // handle is empty or its factory is gone.
  template <typename F>
  auto visit(F&& f) const {
    using R = std::invoke_result_t<F&, pybind11::handle>;
    if (isInterpreterFinalizing()) {
      if constexpr (std::is_void_v<R>) {
        return;
      } else {
        return std::optional<R>();
      }
    }
    pybind11::gil_scoped_acquire gil;
    // Declared after the lock guard: if this is the last reference to the
    // factory, the factory dies while the lock is still held.
    auto owner = owner_.lock();
    if (!owner || !object_) {
      detail::throwInaccessible();
    }
    if constexpr (std::is_void_v<R>) {
      f(pybind11::handle(**object_));
    } else {
      return std::optional<R>(f(pybind11::handle(**object_)));
    }
  }

  // A new strong reference to the object; the same failure as `visit`.
  pybind11::object borrow() const;

 private:
  void release() noexcept;

  std::weak_ptr<PythonObjectsGarbageCollector> owner_;
  std::optional<PyObjectList::iterator> object_;
};

class PythonObjectsFactory final : public PythonObjectsGarbageCollector {
  struct Private {
    explicit Private() = default;
  };

 public:
  explicit PythonObjectsFactory(Private) {}
  PythonObjectsFactory(const PythonObjectsFactory&) = delete;
  PythonObjectsFactory& operator=(const PythonObjectsFactory&) = delete;

  static std::shared_ptr<PythonObjectsFactory> make();

  // Drops every reference still held. With the interpreter lock held (the
  // normal case: the owning context dies on a Python thread) they are simply
  // dropped. On a thread without the lock (the last reference was let go by
  // a detached worker, or by a handle's destructor there) the lock is
  // acquired for the drop, unless the interpreter is finalising: then the
  // references are leaked, because waiting for the lock could never end and
  // a reference count must never be touched without it.
  ~PythonObjectsFactory() override;

  // Sweeps the graveyard, then calls `makeObject()` with the interpreter lock
  // held and tracks the `pybind11::object` it returns. The lock is taken
  // inside (a lock already held is fine).
  template <typename F>
  PyHandle create(F&& makeObject) {
    PyObjectList fresh;
    {
      PyObjectList dead = takeGraveyard();
      pybind11::gil_scoped_acquire gil;
      dead.clear();
      fresh.push_back(pybind11::object(std::forward<F>(makeObject)()));
    }
    return track(std::move(fresh));
  }

  // Drops the references of the objects in the graveyard (takes the lock).
  void sweep();

  void free(PyObjectList::iterator object) noexcept override;

  std::size_t trackedObjects() const;
  std::size_t graveyardSize() const;

 private:
  PyObjectList takeGraveyard();
  PyHandle track(PyObjectList&& one);

  mutable std::mutex mutex_;
  PyObjectList tracked_;
  PyObjectList graveyard_;
};

}  // namespace nuvrel::python
