// The worker thread of one context: a dedicated thread running a KJ event
// loop that executes, one after the other and in push order, the work items
// of its queue against the context's CapnpThreadInternalContext.
#pragma once

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "errors/exception.h"
#include "kj/cross_thread_queue.h"
#include "kj/hopefully.h"
#include "kj/thread_local_executor.h"
#include "runtime/internal_context.h"
#include "runtime/work.h"

namespace nuvrel::python {

// Lifecycle: Starting -> Running ("Starting <name>") -> Ending (the stop
// item or an unexpected exception left the loop) -> Ended (exit future
// ready) -> Joined or Detached (destructor).
//
// On its way out the worker destroys its internal context (tearing down every
// connection and server on its own thread), then closes its queue and drops
// the pending items ("<n> work items dropped."), then destroys its event
// loop. From the moment the queue is closed every pushWork returns false;
// waitExit tells the owner why the worker ended.
//
// Thread safety: pushWork, close and waitExit may be called from any thread;
// construction and destruction from the owning thread. Every wait for the
// worker runs through runBlockingRegion, so a thread holding the Python
// interpreter lock releases it while it waits.
class CapnpWorkerThread {
 public:
  struct ExitReason {
    enum class Kind : int { Requested = 0, Crashed = 1 };
    // Requested: the stop item (or nothing at all) ended the loop.
    Kind kind = Kind::Requested;
    // Empty for Requested; the exception's text for Crashed.
    std::string message;
  };

  // Thrown by the stop item: the normal way to end the loop.
  class CancellationException : public Exception {
   public:
    CancellationException();
    ~CancellationException() override;
  };

  using Queue = kj_asio::CrossThreadQueue<Work>;

  // How long the destructor waits for the worker before detaching it.
  static constexpr std::chrono::milliseconds kJoinTimeout{2000};

  // Starts the worker "capnp_client-<n>" (n counts from 0 per process).
  // `factory` builds the internal context on the worker thread. A failing
  // thread start throws std::system_error.
  explicit CapnpWorkerThread(InternalContextFactory factory);
  CapnpWorkerThread(InternalContextFactory factory, std::promise<ExitReason> promise);
  CapnpWorkerThread(const CapnpWorkerThread&) = delete;
  CapnpWorkerThread& operator=(const CapnpWorkerThread&) = delete;

  // Pushes the stop item and waits up to kJoinTimeout for the worker to end:
  // joined ("Thread <name> joined.") or, if it does not end in time, detached
  // with a warning; a detached worker keeps its own queue reference and
  // finishes safely whenever its current item lets it.
  ~CapnpWorkerThread();

  // False when the worker has closed its queue (the item stays with the
  // caller).
  bool pushWork(Work&& work);

  // Pushes the stop item; does nothing once the worker has ended.
  void close();

  // The exit reason once the worker has ended, or nothing after `timeout`.
  std::optional<ExitReason> waitExit(std::chrono::milliseconds timeout) const;

  const std::string& name() const noexcept { return name_; }

  // Worker thread functions running in the process right now, detached ones
  // included.
  static int runningThreads() noexcept { return threadCounter.load(); }

  // The item named "Stop thread" whose action throws CancellationException.
  static Work makeStopWork();

 private:
  static void threadFunction(std::shared_ptr<Queue> queue, std::promise<ExitReason> promise,
                             std::string name, InternalContextFactory factory);
  static kj_asio::Hopefully<void> workLoop(kj_asio::ThreadLocalExecutor<> executor,
                                           std::shared_ptr<Queue> queue,
                                           InternalContextFactory& factory);
  static kj_asio::Hopefully<void> runItems(std::weak_ptr<Queue> queue,
                                           CapnpThreadInternalContext& context);

  // Number of the next worker; never reused.
  static std::atomic<int> threadId;
  static std::atomic<int> threadCounter;

  std::shared_ptr<Queue> queue_;
  std::shared_future<ExitReason> exit_;
  std::string name_;
  std::thread thread_;
};

}  // namespace nuvrel::python
