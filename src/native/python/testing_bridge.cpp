// Test-only bindings that drive the asyncio bridge and result delivery from
// pytest with real threads: native coroutines awaiting results that other
// threads deliver, futures completed from other threads, handles destroyed
// without the interpreter lock. Registered under `_comms._testing.bridge`;
// not part of the public API.

#include <kj/exception.h>
#include <pthread.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "errors/python_errc.h"
#include "errors/throw_error.h"
#include "python/asyncio/asyncio_awaitable.h"
#include "python/asyncio/asyncio_event_loop.h"
#include "python/asyncio/gil_scoped_release_if_held.h"
#include "python/asyncio/python_objects_factory.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxDelayMs = 5000;

std::chrono::milliseconds checkedDelay(int delayMs) {
  if (delayMs < 0 || delayMs > kMaxDelayMs) {
    throwError(PythonCapnpErrc::valueError, "delay must be between 0 and {} ms, not {}",
               kMaxDelayMs, delayMs);
  }
  return std::chrono::milliseconds(delayMs);
}

// Threads started by the bindings. Every body ends on its own within a
// bounded time; joining releases the interpreter lock, which the bodies may
// need to deliver.
class BackgroundThreads {
 public:
  BackgroundThreads() = default;
  BackgroundThreads(const BackgroundThreads&) = delete;
  BackgroundThreads& operator=(const BackgroundThreads&) = delete;
  ~BackgroundThreads() { joinAll(); }

  template <typename F>
  void start(F&& body) {
    reapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([body = std::forward<F>(body), done]() mutable {
      {
        // Whatever the body holds is released before the thread counts as
        // finished.
        auto local = std::move(body);
        local();
      }
      done->store(true);
    });
    std::lock_guard lock(mutex_);
    threads_.push_back({std::move(thread), std::move(done)});
  }

  void joinAll() {
    std::vector<Entry> all;
    {
      std::lock_guard lock(mutex_);
      all.swap(threads_);
    }
    GilScopedReleaseIfHeld release;
    for (auto& entry : all) {
      entry.thread.join();
    }
  }

 private:
  struct Entry {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void reapFinished() {
    std::vector<Entry> finished;
    {
      std::lock_guard lock(mutex_);
      for (auto it = threads_.begin(); it != threads_.end();) {
        if (it->done->load()) {
          finished.push_back(std::move(*it));
          it = threads_.erase(it);
        } else {
          ++it;
        }
      }
    }
    GilScopedReleaseIfHeld release;
    for (auto& entry : finished) {
      entry.thread.join();
    }
  }

  std::mutex mutex_;
  std::vector<Entry> threads_;
};

// What a coroutine may still touch after the Python object that started it
// is gone.
struct Counters {
  std::atomic<int> awaitsPassed{0};
};

// How a background thread answers a pending result.
enum class Answer { value, kjDisconnected, kjFailed, kjOverloaded, kjUnimplemented, plain, drop };

Answer parseAnswer(const std::string& kind) {
  static const std::pair<const char*, Answer> kAnswers[] = {
      {"value", Answer::value},
      {"disconnected", Answer::kjDisconnected},
      {"failed", Answer::kjFailed},
      {"overloaded", Answer::kjOverloaded},
      {"unimplemented", Answer::kjUnimplemented},
      {"plain", Answer::plain},
      {"drop", Answer::drop},
  };
  for (const auto& [name, answer] : kAnswers) {
    if (kind == name) {
      return answer;
    }
  }
  throwError(PythonCapnpErrc::valueError, "unknown answer kind '{}'", kind);
}

template <typename T>
void deliver(utils::Fulfiller<T>& fulfiller, Answer answer, T value, const std::string& message) {
  auto kj = [&](kj::Exception::Type type) {
    fulfiller.reject(std::make_exception_ptr(
        kj::Exception(type, __FILE__, __LINE__, kj::heapString(message.c_str()))));
  };
  switch (answer) {
    case Answer::value:
      fulfiller.fulfill(std::move(value));
      return;
    case Answer::kjDisconnected:
      return kj(kj::Exception::Type::DISCONNECTED);
    case Answer::kjFailed:
      return kj(kj::Exception::Type::FAILED);
    case Answer::kjOverloaded:
      return kj(kj::Exception::Type::OVERLOADED);
    case Answer::kjUnimplemented:
      return kj(kj::Exception::Type::UNIMPLEMENTED);
    case Answer::plain:
      fulfiller.reject(std::make_exception_ptr(std::runtime_error(message)));
      return;
    case Answer::drop:
      fulfiller = utils::Fulfiller<T>();
      return;
  }
}

bool onLoopThread(const AsyncioEventLoop& loop) {
  return pthread_equal(pthread_self(), loop.loopThread()) != 0;
}

// Awaits a result that a background thread delivers after `delay`; returns
// (name, value, resumed on the loop thread, interpreter lock held).
AsyncioAwaitable<py::object> answeredLater(AsyncioEventLoop loop, std::string name,
                                           BackgroundThreads& threads,
                                           std::shared_ptr<Counters> counters, Answer answer,
                                           std::int64_t value, std::string message,
                                           std::chrono::milliseconds delay) {
  auto [awaitable, fulfiller] = makeAwaitable<std::int64_t>(loop, name + "Internal");
  threads.start([fulfiller = std::move(fulfiller), answer, value, message, delay]() mutable {
    std::this_thread::sleep_for(delay);
    deliver(fulfiller, answer, value, message);
  });
  const std::int64_t result = co_await std::move(awaitable);
  ++counters->awaitsPassed;
  co_return py::make_tuple(name, result, onLoopThread(loop), PyGILState_Check() != 0);
}

// The result is delivered before the coroutine reaches its co_await.
AsyncioAwaitable<py::object> answeredAtOnce(AsyncioEventLoop loop, std::string name,
                                            std::int64_t value) {
  auto [awaitable, fulfiller] = makeAwaitable<std::int64_t>(loop, name + "Internal");
  fulfiller.fulfill(value);
  const bool ready = awaitable.await_ready();
  const std::int64_t result = co_await std::move(awaitable);
  co_return py::make_tuple(name, result, ready);
}

// A background thread delivers the result at the moment the coroutine
// registers its continuation: it spins until the coroutine is about to
// suspend.
AsyncioAwaitable<py::object> answeredWhileRegistering(AsyncioEventLoop loop, std::string name,
                                                      BackgroundThreads& threads,
                                                      std::shared_ptr<Counters> counters,
                                                      std::int64_t value) {
  auto [awaitable, fulfiller] = makeAwaitable<std::int64_t>(loop, name + "Internal");
  auto go = std::make_shared<std::atomic<bool>>(false);
  auto started = std::make_shared<std::atomic<bool>>(false);
  threads.start([fulfiller = std::move(fulfiller), go, started, value]() mutable {
    started->store(true);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!go->load() && Clock::now() < deadline) {
      std::this_thread::yield();
    }
    fulfiller.fulfill(value);
  });
  // Both sides spin (yielding, since the machine may have fewer free cores
  // than spinning threads), so that the delivery and the registration
  // overlap.
  {
    GilScopedReleaseIfHeld release;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!started->load() && Clock::now() < deadline) {
      std::this_thread::yield();
    }
  }
  go->store(true);
  const std::int64_t result = co_await std::move(awaitable);
  ++counters->awaitsPassed;
  co_return py::make_tuple(name, result);
}

// Two levels: a coroutine awaiting another native coroutine.
AsyncioAwaitable<py::object> chained(AsyncioEventLoop loop, std::string name,
                                     BackgroundThreads& threads, std::shared_ptr<Counters> counters,
                                     Answer answer, std::int64_t value, std::string message,
                                     std::chrono::milliseconds delay) {
  py::object inner = co_await answeredLater(loop, name + "Inner", threads, counters, answer, value,
                                            message, delay);
  ++counters->awaitsPassed;
  co_return py::make_tuple(name, inner, onLoopThread(loop));
}

// The loop and the name are read by the coroutine's promise.
AsyncioAwaitable<py::object> failsAtOnce([[maybe_unused]] AsyncioEventLoop loop,
                                         [[maybe_unused]] std::string name, std::string message) {
  if (!message.empty()) {
    throwError(PythonCapnpErrc::valueError, "{}", message);
  }
  co_return py::none();
}

// An asyncio future reachable from native code.
class NativeFuture {
 public:
  NativeFuture(std::shared_ptr<PythonObjectsFactory> factory, PythonFuture<py::object> future)
      : factory_(std::move(factory)), future_(std::make_shared<PythonFuture<py::object>>(std::move(future))) {}

  py::object future() const { return future_->object(); }

  void setResult(py::object value) { future_->setResult(std::move(value)); }

  // Completes the future from a new thread; returns once that thread ended.
  void setResultFromThread(py::object value) {
    auto handle = factory_->create([&] { return value; });
    runOnThread([future = future_, handle = std::move(handle)]() mutable {
      py::object held = handle.borrow();
      future->setResult(std::move(held));
    });
  }

  void setExceptionFromThread(const std::string& message) {
    runOnThread([future = future_, message] {
      future->setException(
          std::make_exception_ptr(kj::Exception(kj::Exception::Type::DISCONNECTED, __FILE__,
                                                __LINE__, kj::heapString(message.c_str()))));
    });
  }

 private:
  template <typename F>
  static void runOnThread(F&& body) {
    std::thread thread(std::forward<F>(body));
    GilScopedReleaseIfHeld release;
    thread.join();
  }

  std::shared_ptr<PythonObjectsFactory> factory_;
  std::shared_ptr<PythonFuture<py::object>> future_;
};

// A handle as Python sees it in the tests.
class HandleBox {
 public:
  explicit HandleBox(PyHandle handle) : handle_(std::move(handle)) {}

  py::object borrow() const { return handle_.borrow(); }
  bool empty() const { return handle_.empty(); }

  // Destroys the handle on a new thread that does not hold the interpreter
  // lock; returns whether that thread indeed held no lock.
  bool destroyOnThread() {
    bool heldLock = true;
    std::thread thread([handle = std::move(handle_), &heldLock]() mutable {
      heldLock = PyGILState_Check() != 0;
      PyHandle gone = std::move(handle);
    });
    GilScopedReleaseIfHeld release;
    thread.join();
    return !heldLock;
  }

 private:
  PyHandle handle_;
};

class TestBridge {
 public:
  TestBridge() : factory_(PythonObjectsFactory::make()), counters_(std::make_shared<Counters>()) {}
  ~TestBridge() { threads_.joinAll(); }

  PythonObjectsFactory& factory() const {
    if (!factory_) {
      throwError(PythonCapnpErrc::internal, "the bridge's factory was released");
    }
    return *factory_;
  }
  std::shared_ptr<PythonObjectsFactory> sharedFactory() const {
    factory();
    return factory_;
  }
  AsyncioEventLoop loop() const { return AsyncioEventLoop(sharedFactory()); }

  BackgroundThreads& threads() { return threads_; }
  const std::shared_ptr<Counters>& counters() const { return counters_; }
  void releaseFactory() { factory_.reset(); }
  void close() { threads_.joinAll(); }

 private:
  std::shared_ptr<PythonObjectsFactory> factory_;
  std::shared_ptr<Counters> counters_;
  BackgroundThreads threads_;
};

// The last reference to a factory that tracks `objects` is dropped on a
// thread without the interpreter lock, as a detached worker would. The first
// object's handle is destroyed on that thread just before (so it lies in the
// graveyard), the others are still tracked. Returns whether that thread
// indeed held no lock.
bool dropFactoryOnThread(const py::list& objects) {
  auto factory = PythonObjectsFactory::make();
  std::vector<PyHandle> handles;
  for (const auto& object : objects) {
    handles.push_back(factory->create([&] { return py::reinterpret_borrow<py::object>(object); }));
  }
  std::optional<PyHandle> first;
  if (!handles.empty()) {
    first = std::move(handles.front());
    handles.erase(handles.begin());
  }
  bool heldLock = true;
  std::thread thread([factory = std::move(factory), first = std::move(first), &heldLock]() mutable {
    heldLock = PyGILState_Check() != 0;
    first.reset();
    factory.reset();
  });
  {
    GilScopedReleaseIfHeld release;
    thread.join();
  }
  // The factory is gone: the remaining handles are inaccessible and their
  // destruction here does nothing.
  return !heldLock;
}

}  // namespace

void addTestingBindingsBridge(py::module_& testing) {
  auto m = testing.def_submodule("bridge", "Test-only access to the asyncio bridge.");

  py::class_<HandleBox>(m, "Handle")
      .def("borrow", &HandleBox::borrow)
      .def_property_readonly("empty", &HandleBox::empty)
      .def("destroy_on_thread", &HandleBox::destroyOnThread);

  py::class_<NativeFuture>(m, "NativeFuture")
      .def_property_readonly("future", &NativeFuture::future)
      .def("set_result", &NativeFuture::setResult)
      .def("set_result_from_thread", &NativeFuture::setResultFromThread)
      .def("set_exception_from_thread", &NativeFuture::setExceptionFromThread);

  py::class_<TestBridge>(m, "Bridge")
      .def(py::init<>())
      .def("tracked_objects", [](const TestBridge& b) { return b.factory().trackedObjects(); })
      .def("graveyard_size", [](const TestBridge& b) { return b.factory().graveyardSize(); })
      .def("awaits_passed", [](const TestBridge& b) { return b.counters()->awaitsPassed.load(); })
      .def("wrap",
           [](const TestBridge& b, py::object object) {
             return HandleBox(b.factory().create([&] { return object; }));
           })
      .def("release_factory", &TestBridge::releaseFactory)
      .def("close", &TestBridge::close)
      .def("new_future",
           [](const TestBridge& b) {
             return NativeFuture(b.sharedFactory(), b.loop().createPythonFuture<py::object>());
           })
      .def(
          "answer_later",
          [](TestBridge& b, const std::string& kind, std::int64_t value, int delayMs,
             const std::string& message) {
            return answeredLater(b.loop(), "answerLater", b.threads(), b.counters(),
                                 parseAnswer(kind), value, message, checkedDelay(delayMs))
                .forwardToFuture();
          },
          py::arg("kind"), py::arg("value") = 0, py::arg("delay_ms") = 0,
          py::arg("message") = "")
      .def("answer_at_once",
           [](TestBridge& b, std::int64_t value) {
             return answeredAtOnce(b.loop(), "answerAtOnce", value).forwardToFuture();
           })
      .def("answer_while_registering",
           [](TestBridge& b, std::int64_t value) {
             return answeredWhileRegistering(b.loop(), "race", b.threads(), b.counters(), value)
                 .forwardToFuture();
           })
      .def(
          "chained",
          [](TestBridge& b, const std::string& kind, std::int64_t value, int delayMs,
             const std::string& message) {
            return chained(b.loop(), "chained", b.threads(), b.counters(), parseAnswer(kind), value,
                           message, checkedDelay(delayMs))
                .forwardToFuture();
          },
          py::arg("kind"), py::arg("value") = 0, py::arg("delay_ms") = 0,
          py::arg("message") = "")
      .def("fails_at_once",
           [](TestBridge& b, const std::string& message) {
             return failsAtOnce(b.loop(), "failsAtOnce", message).forwardToFuture();
           })
      .def("forward_twice",
           [](TestBridge& b) {
             auto [awaitable, fulfiller] = makeAwaitable<std::int64_t>(b.loop(), "forwardTwice");
             fulfiller.fulfill(1);
             auto copy = awaitable;
             py::object first = std::move(awaitable).forwardToFuture();
             // Consumed by the first future: this throws.
             py::object second = std::move(copy).forwardToFuture();
             return py::make_tuple(first, second);
           })
      .def("forward_then_drop_fulfiller",
           [](TestBridge& b) {
             auto [awaitable, fulfiller] = makeAwaitable<std::int64_t>(b.loop(), "dropped");
             py::object future = std::move(awaitable).forwardToFuture();
             fulfiller = utils::Fulfiller<std::int64_t>();
             return future;
           })
      .def("run_coroutine_from_thread",
           [](TestBridge& b, py::object coroutine) {
             auto loop = b.loop();
             auto handle = b.factory().create([&] { return coroutine; });
             std::thread thread([loop, handle = std::move(handle)]() mutable {
               handle.visit([&](py::handle c) { loop.runCoroutineThreadsafe(c); });
             });
             GilScopedReleaseIfHeld release;
             thread.join();
           })
      .def_static("drop_factory_on_thread", &dropFactoryOnThread, py::arg("objects"));
}

}  // namespace nuvrel::python
