#include "kj/thread_local_executor.h"

#include <gtest/gtest.h>

#include <thread>

namespace nuvrel::kj_asio {
namespace {

TEST(ThreadLocalExecutor, ExecutorsOfAThreadShareOneEventLoopThatTheLastOneEnds) {
  std::thread([]() {
    EXPECT_EQ(ThreadLocalExecutionContext::current(), nullptr);
    {
      ThreadLocalExecutor<> first;
      ThreadLocalExecutor<> second;            // takes the same context
      ThreadLocalExecutor<> copy(first);       // one more reference
      EXPECT_EQ(&first.waitScope(), &second.waitScope());
      EXPECT_EQ(&first.ioProvider(), &copy.ioProvider());
      EXPECT_EQ(&first.ioProvider(), ThreadLocalExecutionContext::current());
      static_assert(ThreadLocalExecutor<>::asyncBehavior() == AsyncBehavior::primary);
      kj::evalLater([] {}).wait(copy.waitScope());
    }
    // All references gone: the loop went with them, and a new one can start.
    EXPECT_EQ(ThreadLocalExecutionContext::current(), nullptr);
    ThreadLocalExecutor<> again;
    again.ioProvider().timer().afterDelay(1 * kj::MILLISECONDS).wait(again.waitScope());
  }).join();
}

TEST(ThreadLocalExecutor, EachThreadHasItsOwnContext) {
  ThreadLocalExecutor<> here;
  IoProvider* there = nullptr;
  std::thread([&there]() {
    ThreadLocalExecutor<> executor;
    there = &executor.ioProvider();
  }).join();
  EXPECT_NE(there, nullptr);
  EXPECT_NE(there, &here.ioProvider());
}

}  // namespace
}  // namespace nuvrel::kj_asio
