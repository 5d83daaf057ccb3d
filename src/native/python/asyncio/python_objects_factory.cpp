#include "python/asyncio/python_objects_factory.h"

#include <boost/throw_exception.hpp>

#include <string>

#include "errors/exception.h"
#include "logging/log.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace detail {
void throwInaccessible() {
  BOOST_THROW_EXCEPTION(Exception(std::string("Underlying python object is no longer accessible")));
}
}  // namespace detail

py::object PyHandle::borrow() const {
  py::gil_scoped_acquire gil;
  auto owner = owner_.lock();
  if (!owner || !object_) {
    detail::throwInaccessible();
  }
  return **object_;
}

void PyHandle::release() noexcept {
  if (!object_) {
    return;
  }
  const auto object = *std::exchange(object_, std::nullopt);
  // If this turns out to be the last reference to the factory, the factory's
  // destructor deals with the interpreter lock.
  if (auto owner = owner_.lock()) {
    owner->free(object);
  }
}

std::shared_ptr<PythonObjectsFactory> PythonObjectsFactory::make() {
  return std::make_shared<PythonObjectsFactory>(Private{});
}

PythonObjectsFactory::~PythonObjectsFactory() {
  PyObjectList all;
  {
    std::lock_guard lock(mutex_);
    all.splice(all.end(), tracked_);
    all.splice(all.end(), graveyard_);
  }
  if (all.empty()) {
    return;
  }
  if (Py_IsInitialized() && PyGILState_Check()) {
    all.clear();
    return;
  }
  if (isInterpreterFinalizing()) {
    for (auto& object : all) {
      object.release();
    }
    logging::logf(logging::Severity::debug,
                  "{} Python references left behind: the interpreter is finalising", all.size());
    return;
  }
  py::gil_scoped_acquire gil;
  all.clear();
}

void PythonObjectsFactory::sweep() {
  PyObjectList dead = takeGraveyard();
  if (dead.empty()) {
    return;
  }
  py::gil_scoped_acquire gil;
  dead.clear();
}

void PythonObjectsFactory::free(PyObjectList::iterator object) noexcept {
  std::lock_guard lock(mutex_);
  graveyard_.splice(graveyard_.end(), tracked_, object);
}

std::size_t PythonObjectsFactory::trackedObjects() const {
  std::lock_guard lock(mutex_);
  return tracked_.size();
}

std::size_t PythonObjectsFactory::graveyardSize() const {
  std::lock_guard lock(mutex_);
  return graveyard_.size();
}

PyObjectList PythonObjectsFactory::takeGraveyard() {
  PyObjectList dead;
  std::lock_guard lock(mutex_);
  dead.swap(graveyard_);
  return dead;
}

PyHandle PythonObjectsFactory::track(PyObjectList&& one) {
  const auto object = one.begin();
  {
    std::lock_guard lock(mutex_);
    tracked_.splice(tracked_.end(), one);
  }
  return PyHandle(weak_from_this(), object);
}

}  // namespace nuvrel::python
