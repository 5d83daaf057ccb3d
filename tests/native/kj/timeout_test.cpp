#include "kj/timeout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "support/event_loop.h"

namespace nuvrel {
namespace {

using namespace std::chrono_literals;
using kj_asio::Hopefully;
using kj_asio::ThreadLocalExecutor;

TEST(DurationText, MillisecondsBelowOneSecondSecondsAbove) {
  const struct {
    std::chrono::milliseconds duration;
    const char* text;
  } cases[] = {
      {999ms, "999ms"}, {1500ms, "1.5s"}, {5000ms, "5s"},     {0ms, "0ms"},
      {1000ms, "1s"},   {-500ms, "-500ms"}, {-2500ms, "-2.5s"}, {61234ms, "61.234s"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(durationText(c.duration), c.text) << c.duration.count();
  }
}

class PreciseTimeoutTest : public ::testing::Test {
 protected:
  ThreadLocalExecutor<> executor;
  kj::Timer& timer() { return executor.ioProvider().timer(); }
};

TEST_F(PreciseTimeoutTest, ExpiredTaskIsCancelledAndReportedWithNameAndDuration) {
  auto owned = std::make_shared<int>(0);
  std::weak_ptr<int> watch = owned;
  // A task that never finishes and owns something, as a half-open connection does.
  auto paf = kj::newPromiseAndFulfiller<ExceptionOr<int>>();
  Hopefully<int> task = kj::mv(paf.promise).attach(kj::mv(owned));

  const auto started = std::chrono::steady_clock::now();
  auto result = testing::waitFor(executor, preciseTimeoutAfter(timer(), 50ms, kj::mv(task), "the test step"));
  const auto elapsed = std::chrono::steady_clock::now() - started;

  ASSERT_TRUE(result.hasException());
  try {
    std::rethrow_exception(result.exception());
  } catch (const KSTimeoutException& error) {
    EXPECT_STREQ(error.what(), "Execution of the test step took longer than 50ms.");
  }
  EXPECT_GE(elapsed, 50ms);
  EXPECT_TRUE(watch.expired()) << "the cancelled task still owns its state";
}

TEST_F(PreciseTimeoutTest, TaskSettlingFirstPassesThroughUnchanged) {
  EXPECT_EQ(testing::unwrapFor(executor, preciseTimeoutAfter(timer(), 5000ms, kj_asio::ready<int>(7), "x")),
            7);

  auto ownError = std::make_exception_ptr(KSIOException("own failure"));
  auto failed = testing::waitFor(
      executor, preciseTimeoutAfter(timer(), 5000ms,
                                    timer().afterDelay(5 * kj::MILLISECONDS).then([ownError]() {
                                      return ExceptionOr<void>(ownError);
                                    }),
                                    "y"));
  ASSERT_TRUE(failed.hasException());
  EXPECT_EQ(failed.exception(), ownError);
}

}  // namespace
}  // namespace nuvrel
