// The log lines of the worker's life, read from the console sink.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <condition_variable>
#include <fmt/format.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "logging/logger.h"
#include "logging/logging_test_support.h"
#include "runtime/blocking_region.h"
#include "runtime/capnp_worker_thread.h"
#include "support/test_internal_context.h"
#include "support/gate.h"

namespace nuvrel::python {
namespace {

using namespace std::chrono_literals;
using logging::LogSink;
using logging::Severity;

using Latch = testing::Gate;

class WorkerLogTest : public logging::testing::ConsoleLoggingTest {
 protected:
  // Each of `lines` appears, in this order.
  void expectInOrder(const std::vector<std::string>& lines) {
    const std::string text = console();
    std::size_t at = 0;
    for (const auto& line : lines) {
      const std::size_t found = text.find(line, at);
      ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << text;
      at = found + line.size();
    }
  }
};

TEST_F(WorkerLogTest, ALifeFromStartToJoin) {
  std::string name;
  {
    CapnpWorkerThread worker(makeInternalContext());
    name = worker.name();
    std::promise<void> ran;
    auto done = ran.get_future();
    ASSERT_TRUE(worker.pushWork(Work([&ran](CapnpThreadInternalContext&) { ran.set_value(); }, "record")));
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  }
  // The queue is closed as the loop is left, before the reason is logged.
  expectInOrder({"[info] Starting " + name + "\n", "[status] Executing: record\n",
                 "[status] Executing: Stop thread\n", "[info] 0 work items dropped.\n",
                 "[info] " + name + " exit requested.\n", "[status] Thread " + name + " joined.\n"});
}

TEST_F(WorkerLogTest, ItemsBehindTheStopItemAreCountedAsDropped) {
  CapnpWorkerThread worker(makeInternalContext());
  auto gate = std::make_shared<Latch>();
  ASSERT_TRUE(worker.pushWork(Work([gate](CapnpThreadInternalContext&) { gate->wait(5s); }, "block")));
  worker.close();
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(worker.pushWork(Work([](CapnpThreadInternalContext&) {}, "behind stop")));
  }
  gate->open();
  ASSERT_TRUE(worker.waitExit(5s));
  expectInOrder({"[info] 2 work items dropped.\n", "[info] " + worker.name() + " exit requested.\n"});
  EXPECT_EQ(console().find("Executing: behind stop"), std::string::npos);
}

TEST_F(WorkerLogTest, ACrashIsLoggedAtErrorWithTheExceptionsText) {
  CapnpWorkerThread worker(makeInternalContext());
  ASSERT_TRUE(worker.pushWork(Work([](CapnpThreadInternalContext&) { throw std::runtime_error("boom"); }, "throws")));
  ASSERT_TRUE(worker.waitExit(5s));
  expectInOrder({"[status] Executing: throws\n", "[info] 0 work items dropped.\n",
                 "[error] " + worker.name() + " exited with an unexpected exception: boom\n"});
}

TEST_F(WorkerLogTest, AWorkerThatCannotStopInTimeIsDetachedWithAWarningThatCountsIt) {
  static std::atomic<int> hookCalls{0};
  hookCalls = 0;
  setBlockingRegionHook([](utils::ts::MoveOnlyFunction<void()>& region) {
    ++hookCalls;
    region();
  });
  const int before = CapnpWorkerThread::runningThreads();
  auto gate = std::make_shared<Latch>();
  auto started = std::make_shared<Latch>();
  auto finished = std::make_shared<Latch>();
  std::optional<CapnpWorkerThread> worker;
  worker.emplace(makeInternalContext());
  const std::string name = worker->name();
  ASSERT_TRUE(worker->pushWork(Work(
      [gate, started, finished](CapnpThreadInternalContext&) {
        started->open();
        gate->wait(10s);
        finished->open();
      },
      "block")));
  ASSERT_TRUE(started->wait(5s));
  const auto t0 = std::chrono::steady_clock::now();
  worker.reset();
  const auto took = std::chrono::steady_clock::now() - t0;
  setBlockingRegionHook(nullptr);
  EXPECT_GE(hookCalls.load(), 1) << "the wait did not go through the blocking-region hook";

  EXPECT_GE(took, 2s);
  EXPECT_LT(took, 4s);
  expectInOrder({fmt::format("[warning] The {} thread could not be closed cleanly and will be "
                             "detached. {} detached threads outstanding.\n",
                             name, before + 1)});
  EXPECT_EQ(console().find("Thread " + name + " joined."), std::string::npos);

  gate->open();
  ASSERT_TRUE(finished->wait(5s));
  // The detached worker then ends on its own.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (CapnpWorkerThread::runningThreads() != before && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(CapnpWorkerThread::runningThreads(), before);
  expectInOrder({"[info] " + name + " exit requested.\n"});
}

}  // namespace
}  // namespace nuvrel::python
