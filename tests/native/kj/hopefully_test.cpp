#include "kj/hopefully.h"

#include <gtest/gtest.h>
#include <kj/debug.h>

#include <memory>
#include <string>

#include "errors/exception.h"
#include "support/event_loop.h"

namespace nuvrel::kj_asio {
namespace {

using testing::errorOf;
using testing::unwrapFor;
using testing::waitFor;

class HopefullyTest : public ::testing::Test {
 protected:
  ThreadLocalExecutor<> executor;
};

TEST_F(HopefullyTest, CaptureExceptionsTurnsRejectionIntoHeldKjException) {
  EXPECT_EQ(unwrapFor(executor, captureExceptions(kj::Promise<int>(42))), 42);
  unwrapFor(executor, captureExceptions(kj::Promise<void>(kj::READY_NOW)));

  auto failed = waitFor(executor, captureExceptions(kj::Promise<int>(KJ_EXCEPTION(DISCONNECTED, "gone"))));
  ASSERT_TRUE(failed.hasException());
  try {
    std::rethrow_exception(failed.exception());
  } catch (const kj::Exception& exception) {
    EXPECT_EQ(exception.getType(), kj::Exception::Type::DISCONNECTED);
    EXPECT_EQ(std::string(exception.getDescription().cStr()), "gone");
  }
}

TEST_F(HopefullyTest, IfOkChainsValuesAcrossTypesAndShapes) {
  auto chain = ready<int>(20)
                   .then(ifOk([](int value) { return value + 1; }))                // U
                   .then(ifOk([](int value) { return ExceptionOr<std::string>(std::to_string(value)); }))
                   .then(ifOk([](std::string text) -> Hopefully<std::string> {     // Hopefully
                     return ready<std::string>(text + "!");
                   }))
                   .then(ifOk([](std::string text) {                               // plain promise
                     return kj::Promise<std::size_t>(text.size());
                   }))
                   .then(ifOk([](std::size_t size) { EXPECT_EQ(size, 3u); }))    // void
                   .then(doReturn(std::string("done")));
  EXPECT_EQ(unwrapFor(executor, kj::mv(chain)), "done");
}

TEST_F(HopefullyTest, ErrorsPassThroughUnchangedAndSkipTheSteps) {
  auto original = std::make_exception_ptr(KSIOException("io broke"));
  bool called = false;
  auto result = waitFor(executor, ready<int>(original)
                                      .then(ifOk([&](int) { called = true; return std::string(); }))
                                      .then(ifOk([&](std::string) -> Hopefully<void> {
                                        called = true;
                                        return ready<void>({});
                                      }))
                                      .then(doReturn(5)));
  EXPECT_FALSE(called);
  ASSERT_TRUE(result.hasException());
  EXPECT_EQ(result.exception(), original);  // the same exception object, type intact
}

TEST_F(HopefullyTest, WhatAStepThrowsBecomesTheErrorWithItsType) {
  auto result = waitFor(executor, ready<int>(1).then(ifOk([](int) -> int {
    throw KSTimeoutException("too slow");
  })));
  ASSERT_TRUE(result.hasException());
  EXPECT_THROW(std::rethrow_exception(result.exception()), KSTimeoutException);

  // Also when the step was to return a promise, and for hopefullyNow.
  EXPECT_EQ(errorOf(executor, ready<void>({}).then(ifOk([]() -> kj::Promise<int> {
              throw std::runtime_error("sync failure");
            }))),
            "sync failure");
  EXPECT_EQ(errorOf(executor, hopefullyNow([]() -> int { throw std::runtime_error("now"); })), "now");
  EXPECT_EQ(unwrapFor(executor, hopefullyNow([] { return 3; })), 3);
}

TEST_F(HopefullyTest, RejectionOfAPromiseReturnedByAStepIsCaptured) {
  EXPECT_EQ(errorOf(executor, ready<int>(1).then(ifOk([](int) {
              return kj::Promise<int>(KJ_EXCEPTION(FAILED, "inner rejected"));
            }))),
            "inner rejected");
}

}  // namespace
}  // namespace nuvrel::kj_asio
