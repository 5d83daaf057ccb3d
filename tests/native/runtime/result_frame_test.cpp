#include "runtime/result_frame.h"

#include <gtest/gtest.h>
#include <kj/exception.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "errors/python_errc.h"
#include "runtime/asyncio_fulfiller.h"
#include "runtime/fulfiller.h"

namespace nuvrel::python {
namespace {

using Frame = ResultFrame<std::unique_ptr<int>>;

// The code and message of a failure held by a result.
template <typename T>
std::pair<boost::system::error_code, std::string> failureOf(const ExceptionOr<T>& result) {
  EXPECT_TRUE(result.hasException());
  try {
    std::rethrow_exception(result.exception());
  } catch (const Exception& e) {
    return {e.code(), e.what()};
  } catch (...) {
    ADD_FAILURE() << "not a nuvrel::Exception: " << extractCurrentExceptionMessage();
  }
  return {};
}

// Records every run of a continuation and what it read from the frame.
struct Recorder {
  std::atomic<int> runs{0};
  std::atomic<int> value{-1};
  std::atomic<std::thread::id> thread{};

  auto continuation() {
    return [this](Frame& frame) {
      thread = std::this_thread::get_id();
      auto result = frame.readValue();
      value = result.hasValue() ? *result.value() : -2;
      ++runs;
    };
  }
};

TEST(ResultFrame, ContinuationRegisteredFirstRunsOnTheProducerThread) {
  auto frame = Frame::make("first");
  Recorder recorder;
  frame->setContinuation(recorder.continuation());
  EXPECT_EQ(recorder.runs, 0);
  EXPECT_EQ(frame->state(), Frame::Pending);

  std::thread::id producer;
  std::thread worker([&] {
    producer = std::this_thread::get_id();
    frame->setValue(std::make_unique<int>(7));
  });
  worker.join();

  EXPECT_EQ(recorder.runs, 1);
  EXPECT_EQ(recorder.value, 7);
  EXPECT_EQ(recorder.thread.load(), producer);
  EXPECT_EQ(frame->state(), Frame::Consumed);
}

TEST(ResultFrame, ResultStoredFirstRunsTheContinuationAtOnce) {
  auto frame = Frame::make("second");
  frame->setValue(std::make_unique<int>(3));
  EXPECT_EQ(frame->state(), Frame::Available);

  Recorder recorder;
  frame->setContinuation(recorder.continuation());
  EXPECT_EQ(recorder.runs, 1);
  EXPECT_EQ(recorder.value, 3);
  EXPECT_EQ(recorder.thread.load(), std::this_thread::get_id());
}

TEST(ResultFrame, ReadingBeforeAResultIsAnErrorValue) {
  auto frame = Frame::make("early");
  auto [code, message] = failureOf(frame->readValue());
  EXPECT_EQ(message, "Unable read result value before it was set.");
  EXPECT_EQ(frame->state(), Frame::Pending);
}

TEST(ResultFrame, RegisteringOnAConsumedFrameThrows) {
  auto frame = Frame::make("twice");
  frame->setValue(std::make_unique<int>(1));
  ASSERT_TRUE(frame->readValue().hasValue());
  ASSERT_EQ(frame->state(), Frame::Consumed);
  try {
    frame->setContinuation([](Frame&) {});
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.code(), make_error_code(PythonCapnpErrc::internal));
    EXPECT_STREQ(e.what(), "Unable to consume a Coroutine more than once.");
  }
  // What was read once cannot be read again.
  EXPECT_TRUE(frame->readValue().hasException());
}

TEST(ResultFrame, CancelCompletesOnlyAPendingFrame) {
  auto pending = Frame::make("pending");
  pending->cancel();
  auto [code, message] = failureOf(pending->readValue());
  EXPECT_EQ(code, make_error_code(PythonCapnpErrc::internal));
  EXPECT_EQ(code.value(), 7);
  EXPECT_EQ(message, "Operation was cancelled.");

  auto done = Frame::make("done");
  done->setValue(std::make_unique<int>(5));
  done->cancel();
  auto result = done->readValue();
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(*result.value(), 5);
}

TEST(ResultFrame, ErrorOnlyIfPendingKeepsAnEarlierResult) {
  auto error = std::make_exception_ptr(std::runtime_error("late"));

  auto kept = Frame::make("kept");
  kept->setValue(std::make_unique<int>(1));
  kept->doSetError(error, true);
  EXPECT_TRUE(kept->readValue().hasValue());

  auto replaced = Frame::make("replaced");
  replaced->setValue(std::make_unique<int>(1));
  replaced->doSetError(error, false);
  EXPECT_TRUE(replaced->readValue().hasException());
}

TEST(ResultFrame, ASecondResultDoesNotRunTheContinuationAgain) {
  auto frame = Frame::make("again");
  Recorder recorder;
  frame->setContinuation(recorder.continuation());
  frame->setValue(std::make_unique<int>(1));
  frame->doSetError(std::make_exception_ptr(std::runtime_error("second")), false);
  EXPECT_EQ(recorder.runs, 1);
  EXPECT_EQ(recorder.value, 1);
}

TEST(ResultFrame, ALaterRegistrationReplacesAPendingContinuation) {
  auto frame = Frame::make("replace");
  Recorder first;
  Recorder second;
  auto firstHolds = std::make_shared<int>(0);
  frame->setContinuation([firstHolds, c = first.continuation()](Frame& f) mutable { c(f); });
  EXPECT_EQ(firstHolds.use_count(), 2);
  frame->setContinuation(second.continuation());
  EXPECT_EQ(firstHolds.use_count(), 1);  // the replaced continuation was released
  frame->setValue(std::make_unique<int>(8));
  EXPECT_EQ(first.runs, 0);
  EXPECT_EQ(second.runs, 1);
  EXPECT_EQ(second.value, 8);
}

TEST(ResultFrame, AThrowingContinuationDoesNotReachTheProducer) {
  auto frame = Frame::make("throws");
  frame->setContinuation([](Frame&) { throw std::runtime_error("continuation failed"); });
  EXPECT_NO_THROW(frame->setValue(std::make_unique<int>(1)));
  EXPECT_EQ(frame->state(), Frame::Available);
}

TEST(Fulfiller, DeliversOnceAndIgnoresLaterCalls) {
  auto frame = Frame::make("once");
  auto fulfiller = makeAsyncioFulfiller(frame);
  EXPECT_TRUE(fulfiller);
  fulfiller.fulfill(std::make_unique<int>(1));
  EXPECT_FALSE(fulfiller);
  fulfiller.fulfill(std::make_unique<int>(2));
  fulfiller.reject(std::make_exception_ptr(std::runtime_error("ignored")));
  auto result = frame->readValue();
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(*result.value(), 1);
}

TEST(Fulfiller, MovedFromDoesNothingAndCopiesShareOneDelivery) {
  auto frame = Frame::make("moved");
  auto fulfiller = makeAsyncioFulfiller(frame);
  auto copy = fulfiller;
  auto moved = std::move(fulfiller);
  fulfiller.fulfill(std::make_unique<int>(9));  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(frame->state(), Frame::Pending);

  moved.fulfill(std::make_unique<int>(1));
  copy.fulfill(std::make_unique<int>(2));
  auto result = frame->readValue();
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(*result.value(), 1);
}

TEST(Fulfiller, DroppedUndeliveredCancelsTheFrame) {
  auto frame = Frame::make("dropped");
  Recorder recorder;
  frame->setContinuation(recorder.continuation());
  {
    auto fulfiller = makeAsyncioFulfiller(frame);
    auto copy = fulfiller;
  }
  EXPECT_EQ(recorder.runs, 1);
  EXPECT_EQ(recorder.value, -2);

  auto again = Frame::make("dropped");
  makeAsyncioFulfiller(again);
  auto [code, message] = failureOf(again->readValue());
  EXPECT_EQ(message, "Operation was cancelled.");
}

TEST(Fulfiller, DroppedAfterDeliveryChangesNothing) {
  auto frame = Frame::make("delivered");
  {
    auto fulfiller = makeAsyncioFulfiller(frame);
    fulfiller.fulfill(std::make_unique<int>(4));
  }
  auto result = frame->readValue();
  ASSERT_TRUE(result.hasValue());
  EXPECT_EQ(*result.value(), 4);
}

TEST(Fulfiller, NullRejectionIsNoResult) {
  auto frame = Frame::make("null");
  auto impl = std::make_shared<AsyncioFulfiller<std::unique_ptr<int>>>(frame);
  impl->reject(nullptr);
  EXPECT_EQ(frame->state(), Frame::Pending);
  impl->fulfill(std::make_unique<int>(6));
  EXPECT_EQ(*frame->readValue().value(), 6);

  // Through a Fulfiller the call still uses up the fulfiller, which then lets
  // go of the implementation: the frame ends cancelled, not pending forever.
  auto other = Frame::make("null");
  makeAsyncioFulfiller(other).reject(nullptr);
  EXPECT_EQ(failureOf(other->readValue()).second, "Operation was cancelled.");
}

TEST(Fulfiller, KjRejectionsCarryTheModuleCodeAndTheDescription) {
  struct Case {
    kj::Exception::Type type;
    PythonCapnpErrc code;
  };
  const Case cases[] = {
      {kj::Exception::Type::DISCONNECTED, PythonCapnpErrc::disconnected},
      {kj::Exception::Type::FAILED, PythonCapnpErrc::badRequest},
      {kj::Exception::Type::OVERLOADED, PythonCapnpErrc::overwhelmed},
      {kj::Exception::Type::UNIMPLEMENTED, PythonCapnpErrc::unimplemented},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    auto frame = Frame::make("kj");
    auto fulfiller = makeAsyncioFulfiller(frame);
    fulfiller.reject(std::make_exception_ptr(
        kj::Exception(c.type, __FILE__, __LINE__, kj::heapString("peer went away"))));
    auto [code, message] = failureOf(frame->readValue());
    EXPECT_EQ(code, make_error_code(c.code));
    EXPECT_EQ(message, "peer went away");
  }
}

TEST(Fulfiller, OtherRejectionsArePassedOnUnchanged) {
  auto frame = Frame::make("plain");
  auto error = std::make_exception_ptr(std::runtime_error("plain failure"));
  makeAsyncioFulfiller(frame).reject(error);
  auto result = frame->readValue();
  ASSERT_TRUE(result.hasException());
  EXPECT_EQ(result.exception(), error);
}

// Runs `a(round)` and `b(round)` for every round on two threads that meet
// before each round, so that both calls of a round start at nearly the same
// instant. Returns false if the threads did not finish within the time limit
// (they are then detached: a hung race must fail the test, not hang it).
bool raceRounds(int rounds, std::function<void(int)> a, std::function<void(int)> b,
                std::chrono::seconds limit = std::chrono::seconds(20)) {
  struct Shared {
    explicit Shared(int rounds) : arrivals(static_cast<std::size_t>(rounds)) {}
    std::vector<std::atomic<int>> arrivals;
    std::mutex mutex;
    std::condition_variable done;
    int finished = 0;
  };
  auto shared = std::make_shared<Shared>(rounds);
  auto body = [shared, rounds, limit](std::function<void(int)> f) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (int round = 0; round < rounds; ++round) {
      auto& arrivals = shared->arrivals[static_cast<std::size_t>(round)];
      arrivals.fetch_add(1);
      for (int spins = 0; arrivals.load() < 2; ++spins) {
        if (spins > 1000) {
          std::this_thread::yield();
        }
        if (std::chrono::steady_clock::now() > deadline) {
          return;
        }
      }
      f(round);
    }
    std::lock_guard lock(shared->mutex);
    ++shared->finished;
    shared->done.notify_all();
  };
  std::thread first(body, std::move(a));
  std::thread second(body, std::move(b));
  bool finished;
  {
    std::unique_lock lock(shared->mutex);
    finished = shared->done.wait_for(lock, limit, [&] { return shared->finished == 2; });
  }
  if (finished) {
    first.join();
    second.join();
  } else {
    first.detach();
    second.detach();
  }
  return finished;
}

struct RaceRound {
  std::shared_ptr<Frame> frame = Frame::make("race");
  std::optional<utils::Fulfiller<std::unique_ptr<int>>> fulfiller{makeAsyncioFulfiller(frame)};
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

constexpr int kRaceRounds = 2000;

TEST(ResultFrameRace, ResultAndRegistrationAtTheSameMomentRunTheContinuationOnce) {
  // Owned by a shared pointer: detached threads of a failed run keep it alive.
  auto rounds = std::make_shared<std::vector<RaceRound>>(kRaceRounds);
  std::atomic<std::thread::id> producer;
  ASSERT_TRUE(raceRounds(
      kRaceRounds,
      [rounds, &producer](int i) {
        producer = std::this_thread::get_id();
        (*rounds)[static_cast<std::size_t>(i)].fulfiller->fulfill(std::make_unique<int>(i));
      },
      [rounds](int i) {
        auto& round = (*rounds)[static_cast<std::size_t>(i)];
        round.frame->setContinuation(round.recorder->continuation());
      }));
  int ranOnProducer = 0;
  for (int i = 0; i < kRaceRounds; ++i) {
    const auto& round = (*rounds)[static_cast<std::size_t>(i)];
    ASSERT_EQ(round.recorder->runs, 1) << "round " << i;
    ASSERT_EQ(round.recorder->value, i);
    ASSERT_EQ(round.frame->state(), Frame::Consumed);
    ranOnProducer += round.recorder->thread.load() == producer.load();
  }
  // Which side ran the continuation is up to the scheduler: information only.
  RecordProperty("ranOnProducer", ranOnProducer);
}

TEST(ResultFrameRace, CancellationAndRegistrationAtTheSameMomentRunTheContinuationOnce) {
  auto rounds = std::make_shared<std::vector<RaceRound>>(kRaceRounds);
  ASSERT_TRUE(raceRounds(
      kRaceRounds,
      [rounds](int i) { (*rounds)[static_cast<std::size_t>(i)].fulfiller.reset(); },
      [rounds](int i) {
        auto& round = (*rounds)[static_cast<std::size_t>(i)];
        round.frame->setContinuation(round.recorder->continuation());
      }));
  for (int i = 0; i < kRaceRounds; ++i) {
    const auto& round = (*rounds)[static_cast<std::size_t>(i)];
    ASSERT_EQ(round.recorder->runs, 1) << "round " << i;
    ASSERT_EQ(round.recorder->value, -2);
  }
}

}  // namespace
}  // namespace nuvrel::python
