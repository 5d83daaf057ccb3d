#include "runtime/capnp_worker_thread.h"

#include "errors/python_errc.h"
#include "runtime/asyncio_fulfiller.h"
#include "runtime/result_frame.h"

#include <gtest/gtest.h>
#include <kj/debug.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "errors/exception.h"
#include "kj/thread_local_execution_context.h"
#include "logging/thread_name.h"
#include "support/gate.h"
#include "support/test_internal_context.h"

namespace nuvrel::python {
namespace {

using namespace std::chrono_literals;
using ExitReason = CapnpWorkerThread::ExitReason;

constexpr auto kBound = 5s;

using testing::Gate;

// A result on its way to Python: the fulfiller travels inside a work item, the
// frame stays with the test.
struct PendingResult {
  std::shared_ptr<ResultFrame<std::string>> frame = ResultFrame<std::string>::make("test result");
  utils::Fulfiller<std::string> producer() { return makeAsyncioFulfiller(frame); }

  // The delivered value, the error's text, or "<pending>".
  std::string outcome() {
    if (frame->state() == ResultFrame<std::string>::Pending) {
      return "<pending>";
    }
    auto result = frame->readValue();
    if (result.hasValue()) {
      return result.value();
    }
    try {
      std::rethrow_exception(result.exception());
    } catch (const Exception& error) {
      EXPECT_EQ(error.code(), make_error_code(PythonCapnpErrc::internal));
      return error.what();
    } catch (const std::exception& error) {
      return error.what();
    }
  }
};

int numberOf(const std::string& name) {
  const std::string prefix = "capnp_client-";
  EXPECT_EQ(name.substr(0, prefix.size()), prefix);
  return std::stoi(name.substr(prefix.size()));
}

TEST(CapnpWorkerThread, WorkersAreNumberedConsecutivelyAndRunItemsInOrderOnTheirThread) {
  CapnpWorkerThread first(makeInternalContext());
  CapnpWorkerThread second(makeInternalContext());
  EXPECT_EQ(numberOf(second.name()), numberOf(first.name()) + 1);

  struct Seen {
    int order;
    std::string threadName;
    std::thread::id thread;
    CapnpThreadInternalContext* context;
  };
  auto seen = std::make_shared<std::vector<Seen>>();
  std::promise<void> done;
  auto finished = done.get_future();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(first.pushWork(Work(
        [seen, i](CapnpThreadInternalContext& context) {
          seen->push_back({i, currentThreadName(), std::this_thread::get_id(), &context});
        },
        "record")));
  }
  ASSERT_TRUE(first.pushWork(Work([&done](CapnpThreadInternalContext&) { done.set_value(); }, "done")));
  ASSERT_EQ(finished.wait_for(kBound), std::future_status::ready);

  ASSERT_EQ(seen->size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const Seen& s = (*seen)[static_cast<std::size_t>(i)];
    EXPECT_EQ(s.order, i);
    EXPECT_EQ(s.threadName, first.name());
    EXPECT_NE(s.thread, std::this_thread::get_id());
    EXPECT_EQ(s.context, (*seen)[0].context);
    EXPECT_EQ(s.context->thread, s.thread) << "context built on the worker thread";
  }
}

TEST(CapnpWorkerThread, DestroyedRightAfterCreationStopsAndIsJoinedAtOnce) {
  const int before = CapnpWorkerThread::runningThreads();
  const auto t0 = std::chrono::steady_clock::now();
  { CapnpWorkerThread worker(makeInternalContext()); }
  // Joined, not detached: its thread function has finished.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_EQ(CapnpWorkerThread::runningThreads(), before);
}

TEST(CapnpWorkerThread, CloseEndsTheWorkerAndLaterPushesFail) {
  CapnpWorkerThread worker(makeInternalContext());
  EXPECT_EQ(worker.waitExit(10ms), std::nullopt);
  worker.close();
  const auto reason = worker.waitExit(kBound);
  ASSERT_TRUE(reason);
  EXPECT_EQ(reason->kind, ExitReason::Kind::Requested);

  bool ran = false;
  Work late([&ran](CapnpThreadInternalContext&) { ran = true; }, "late");
  EXPECT_FALSE(worker.pushWork(std::move(late)));
  EXPECT_EQ(late.name(), "late") << "a refused item stays with the caller";
  worker.close();  // closing an ended worker does nothing
  EXPECT_FALSE(ran);
}

TEST(CapnpWorkerThread, ItemsBehindTheStopItemAreDroppedAndTheirResultsCancelled) {
  CapnpWorkerThread worker(makeInternalContext());
  auto gate = std::make_shared<Gate>();
  ASSERT_TRUE(worker.pushWork(Work([gate](CapnpThreadInternalContext&) { gate->wait(kBound); }, "block")));
  worker.close();

  std::vector<PendingResult> results(3);
  auto ran = std::make_shared<std::atomic<int>>(0);
  for (auto& result : results) {
    ASSERT_TRUE(worker.pushWork(Work(
        [ran, producer = result.producer()](CapnpThreadInternalContext&) mutable {
          ++*ran;
          producer(std::string("ran"));
        },
        "behind stop")));
  }
  gate->open();

  const auto reason = worker.waitExit(kBound);
  ASSERT_TRUE(reason);
  EXPECT_EQ(reason->kind, ExitReason::Kind::Requested);
  EXPECT_EQ(*ran, 0);
  // Dropped before the worker reported its exit.
  for (auto& result : results) {
    EXPECT_EQ(result.outcome(), "Operation was cancelled.");
  }
  EXPECT_FALSE(worker.pushWork(Work([](CapnpThreadInternalContext&) {}, "after exit")));
}

TEST(CapnpWorkerThread, AnUnexpectedExceptionCrashesTheWorkerWithItsText) {
  struct Case {
    const char* label;
    Work::Action action;
    const char* message;
  } cases[] = {
      {"std::runtime_error", [](CapnpThreadInternalContext&) { throw std::runtime_error("boom"); },
       "boom"},
      {"nuvrel::Exception", [](CapnpThreadInternalContext&) { throw KSIOException("io failure"); },
       "io failure"},
      {"kj::Exception",
       [](CapnpThreadInternalContext&) { kj::throwFatalException(KJ_EXCEPTION(FAILED, "kj failure")); },
       "kj failure"},
      {"empty action", nullptr, "bad optional access"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.label);
    CapnpWorkerThread worker(makeInternalContext());
    ASSERT_TRUE(worker.pushWork(Work(std::move(c.action), "throws")));
    const auto reason = worker.waitExit(kBound);
    ASSERT_TRUE(reason);
    EXPECT_EQ(reason->kind, ExitReason::Kind::Crashed);
    EXPECT_EQ(reason->message, c.message);
    EXPECT_FALSE(worker.pushWork(Work([](CapnpThreadInternalContext&) {}, "after crash")));
  }
}

TEST(CapnpWorkerThread, AFailingContextFactoryCrashesTheWorker) {
  CapnpWorkerThread worker([](kj_asio::IoProvider&) -> InternalContextPtr {
    throw std::runtime_error("no context today");
  });
  const auto reason = worker.waitExit(kBound);
  ASSERT_TRUE(reason);
  EXPECT_EQ(reason->kind, ExitReason::Kind::Crashed);
  EXPECT_EQ(reason->message, "no context today");
}

// On its way out the worker tears down its context (cancelling what runs on
// it) and drops the items still queued, both on its own thread while its event
// loop still exists, since what they hold may belong to that loop.
TEST(CapnpWorkerThread, ShutdownCancelsRunningTasksAndDropsQueuedItemsOnTheWorkerLoop) {
  struct Observed {
    std::mutex mutex;
    std::thread::id contextDestroyedOn;
    bool loopAliveAtContextDestruction = false;
    bool loopAliveAtItemDrop = false;
  };
  auto observed = std::make_shared<Observed>();
  PendingResult runningTask;
  PendingResult queuedItem;
  std::thread::id workerThread;
  auto gate = std::make_shared<Gate>();

  {
    CapnpWorkerThread worker(makeInternalContext());
    ASSERT_TRUE(worker.pushWork(Work(
        [observed, &workerThread, producer = runningTask.producer()](
            CapnpThreadInternalContext& context) mutable {
          workerThread = std::this_thread::get_id();
          context.onDestroy = [observed]() {
            std::lock_guard lock(observed->mutex);
            observed->contextDestroyedOn = std::this_thread::get_id();
            observed->loopAliveAtContextDestruction =
                kj_asio::ThreadLocalExecutionContext::current() != nullptr;
          };
          // Background work that never finishes by itself.
          context.tasks.fireAndForget(kj::Promise<void>(kj::NEVER_DONE).attach(std::move(producer)), "never",
                                      logging::Severity::debug);
        },
        "start task")));
    ASSERT_TRUE(worker.pushWork(Work([gate](CapnpThreadInternalContext&) { gate->wait(kBound); }, "block")));
    worker.close();

    struct DropProbe {
      std::shared_ptr<Observed> observed;
      DropProbe(std::shared_ptr<Observed> o) : observed(std::move(o)) {}
      DropProbe(DropProbe&&) = default;
      ~DropProbe() {
        if (observed) {
          std::lock_guard lock(observed->mutex);
          observed->loopAliveAtItemDrop = kj_asio::ThreadLocalExecutionContext::current() != nullptr;
        }
      }
    };
    ASSERT_TRUE(worker.pushWork(Work(
        [probe = DropProbe(observed), producer = queuedItem.producer()](CapnpThreadInternalContext&) {},
        "queued behind stop")));
    gate->open();
  }

  // The destructor joined the worker: both were completed on its way out.
  EXPECT_EQ(runningTask.outcome(), "Operation was cancelled.");
  EXPECT_EQ(queuedItem.outcome(), "Operation was cancelled.");
  std::lock_guard lock(observed->mutex);
  EXPECT_EQ(observed->contextDestroyedOn, workerThread);
  EXPECT_TRUE(observed->loopAliveAtContextDestruction);
  EXPECT_TRUE(observed->loopAliveAtItemDrop);
}

// 100,000 items from 4 threads through one queue into one worker loop.
TEST(CapnpWorkerThread, StressEveryItemFromFourProducersArrivesOnceInProducerOrder) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 25000;
  struct Tally {
    std::vector<int> next = std::vector<int>(kProducers, 0);
    int received = 0;
    int outOfOrder = 0;
  };
  auto tally = std::make_shared<Tally>();  // touched by the worker only until `done`

  CapnpWorkerThread worker(makeInternalContext());
  std::vector<std::thread> producers;
  std::atomic<int> refused{0};
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p]() {
      for (int s = 0; s < kPerProducer; ++s) {
        if (!worker.pushWork(Work(
                [tally, p, s](CapnpThreadInternalContext&) {
                  auto& expected = tally->next[static_cast<std::size_t>(p)];
                  if (s != expected) {
                    ++tally->outOfOrder;
                  }
                  expected = s + 1;
                  ++tally->received;
                },
                "stress"))) {
          ++refused;
        }
      }
    });
  }
  for (auto& producer : producers) {
    producer.join();
  }
  std::promise<void> done;
  auto finished = done.get_future();
  ASSERT_TRUE(worker.pushWork(Work([&done](CapnpThreadInternalContext&) { done.set_value(); }, "done")));
  ASSERT_EQ(finished.wait_for(30s), std::future_status::ready);

  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(tally->received, kProducers * kPerProducer);
  EXPECT_EQ(tally->outOfOrder, 0);
  for (int p = 0; p < kProducers; ++p) {
    EXPECT_EQ(tally->next[static_cast<std::size_t>(p)], kPerProducer);
  }
}

TEST(SetThreadName, OperatingSystemGetsFifteenCharactersLogsTheWholeName) {
  std::string osName;
  std::string fullName;
  std::thread thread([&]() {
    setThreadName("capnp_client-123456789");
    char buffer[64] = {};
    pthread_getname_np(pthread_self(), buffer, sizeof(buffer));
    osName = buffer;
    fullName = currentThreadName();
  });
  thread.join();
  EXPECT_EQ(osName, "capnp_client-12");
  EXPECT_EQ(fullName, "capnp_client-123456789");
}

}  // namespace
}  // namespace nuvrel::python
