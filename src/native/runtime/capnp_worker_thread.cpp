#include "runtime/capnp_worker_thread.h"

#include <boost/assert/source_location.hpp>
#include <boost/throw_exception.hpp>
#include <fmt/format.h>

#include <utility>

#include "errors/exception_utils.h"
#include "errors/python_errc.h"
#include "errors/scope_guards.h"
#include "logging/log.h"
#include "logging/thread_name.h"
#include "runtime/blocking_region.h"

namespace nuvrel::python {

using kj_asio::Hopefully;
using logging::Severity;

std::atomic<int> CapnpWorkerThread::threadId{0};
std::atomic<int> CapnpWorkerThread::threadCounter{0};

CapnpWorkerThread::CancellationException::CancellationException()
    : Exception(make_error_code(PythonCapnpErrc::cancelled), std::string()) {}

CapnpWorkerThread::CancellationException::~CancellationException() = default;

Work CapnpWorkerThread::makeStopWork() {
  return Work(
      [](CapnpThreadInternalContext&) {
        boost::throw_exception(CancellationException(), BOOST_CURRENT_LOCATION);
      },
      "Stop thread");
}

CapnpWorkerThread::CapnpWorkerThread(InternalContextFactory factory)
    : CapnpWorkerThread(std::move(factory), std::promise<ExitReason>()) {}

CapnpWorkerThread::CapnpWorkerThread(InternalContextFactory factory,
                                     std::promise<ExitReason> promise)
    : queue_(Queue::makeShared()),
      exit_(promise.get_future().share()),
      name_(fmt::format("capnp_client-{}", threadId.fetch_add(1))),
      thread_(&CapnpWorkerThread::threadFunction, queue_, std::move(promise), name_,
              std::move(factory)) {}

CapnpWorkerThread::~CapnpWorkerThread() {
  doTryAndLog(
      [this]() {
        close();
        if (std::this_thread::get_id() == thread_.get_id()) {
          // The last owner let go on the worker itself (from inside an item):
          // waiting would only wait for ourselves. The worker pops the stop
          // item once the current item returns, and ends on its own.
          logging::logf(Severity::debug, "{} released from its own thread; detaching.", name_);
          thread_.detach();
          return;
        }
        runBlockingRegion([this]() {
          if (exit_.wait_for(kJoinTimeout) == std::future_status::ready) {
            thread_.join();
            logging::logf(Severity::status, "Thread {} joined.", name_);
          } else {
            logging::logf(Severity::warning,
                          "The {} thread could not be closed cleanly and will be detached. {} "
                          "detached threads outstanding.",
                          name_, threadCounter.load());
            thread_.detach();
          }
        });
      },
      "CapnpWorkerThread::~CapnpWorkerThread");
  if (thread_.joinable()) {
    // Only if the code above failed; a joinable std::thread would terminate.
    thread_.detach();
  }
}

bool CapnpWorkerThread::pushWork(Work&& work) { return queue_->push(std::move(work)); }

void CapnpWorkerThread::close() {
  Work stop = makeStopWork();
  (void)pushWork(std::move(stop));
}

std::optional<CapnpWorkerThread::ExitReason> CapnpWorkerThread::waitExit(
    std::chrono::milliseconds timeout) const {
  std::optional<ExitReason> reason;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  runBlockingRegion([this, &reason, deadline]() {
    if (exit_.wait_until(deadline) == std::future_status::ready) {
      reason = exit_.get();
    }
  });
  return reason;
}

void CapnpWorkerThread::threadFunction(std::shared_ptr<Queue> queue,
                                       std::promise<ExitReason> promise, std::string name,
                                       InternalContextFactory factory) {
  threadCounter.fetch_add(1);
  ExitReason reason;
  ScopeExit publishExit([&]() {
    threadCounter.fetch_sub(1);
    promise.set_value(reason);
  });
  setThreadName(name);

  try {
    // Declared before the drain so that it is destroyed after it: dropped
    // items are destroyed while the event loop still exists, since what they
    // capture may belong to it.
    std::optional<kj_asio::ThreadLocalExecutor<>> executor;
    ScopeExit drain([&]() {
      const std::size_t dropped = queue->closeAndDrain();
      logging::logf(Severity::info, "{} work items dropped.", dropped);
    });
    logging::logf(Severity::info, "Starting {}", name);

    executor.emplace();
    ExceptionOr<void> result;
    {
      utils::DestructorCatcher<Hopefully<void>> loop(workLoop(*executor, queue, factory));
      result = loop->wait(executor->waitScope());
    }
    result.unwrap();
  } catch (const CancellationException&) {
    logging::logf(Severity::info, "{} exit requested.", name);
  } catch (...) {
    reason.kind = ExitReason::Kind::Crashed;
    reason.message = extractCurrentExceptionMessage();
    logging::logf(Severity::error, "{} exited with an unexpected exception: {}", name,
                  reason.message);
  }
}

Hopefully<void> CapnpWorkerThread::workLoop(kj_asio::ThreadLocalExecutor<> executor,
                                            std::shared_ptr<Queue> queue,
                                            InternalContextFactory& factory) {
  InternalContextPtr context(nullptr, nullptr);
  try {
    context = factory(executor.ioProvider());
  } catch (...) {
    return kj_asio::ready<void>(std::current_exception());
  }
  CapnpThreadInternalContext& contextRef = *context;
  // Attachments are destroyed from the inside out when the loop's promise
  // goes: the context first (on this thread, with the loop alive), then the
  // queue reference, then this executor's reference to the event loop.
  return runItems(queue, contextRef)
      .attach(std::move(context))
      .attach(std::move(queue))
      .attach(std::move(executor));
}

Hopefully<void> CapnpWorkerThread::runItems(std::weak_ptr<Queue> queue,
                                            CapnpThreadInternalContext& context) {
  return kj_asio::captureExceptions(Queue::popFrom(queue))
      .then([queue, &context](ExceptionOr<Work>&& popped) mutable -> Hopefully<void> {
        if (popped.hasException()) {
          return kj_asio::ready<void>(popped.exception());
        }
        try {
          Work item = std::move(popped).unwrap();
          item(context);
        } catch (...) {
          // Caught here, not by KJ, which would turn it into a kj::Exception
          // and lose its type (the stop item relies on it).
          return kj_asio::ready<void>(std::current_exception());
        }
        return runItems(std::move(queue), context);
      });
}

}  // namespace nuvrel::python
