// Helpers for tests that drive a KJ event loop on the test thread. Every wait
// is bounded: a test fails instead of hanging.
#pragma once

#include <gtest/gtest.h>
#include <kj/async.h>
#include <kj/timer.h>

#include <chrono>
#include <functional>
#include <string>

#include "kj/hopefully.h"
#include "kj/thread_local_executor.h"

namespace nuvrel::testing {

inline constexpr std::chrono::milliseconds kTestTimeout{5000};

// Waits for `promise` on the executor's loop, at most `timeout`; a time-out
// throws std::runtime_error naming `what`.
template <typename T>
T waitFor(kj_asio::ThreadLocalExecutor<>& executor, kj::Promise<T>&& promise,
          const std::string& what = "promise",
          std::chrono::milliseconds timeout = kTestTimeout) {
  auto& timer = executor.ioProvider().timer();
  auto bounded = timer.timeoutAfter(timeout.count() * kj::MILLISECONDS, kj::mv(promise));
  bool timedOut = false;
  auto guarded = bounded.catch_([&](kj::Exception&& exception) -> kj::Promise<T> {
    if (exception.getType() == kj::Exception::Type::OVERLOADED &&
        exception.getDescription() == "operation timed out") {
      timedOut = true;
    }
    return kj::mv(exception);
  });
  try {
    return guarded.wait(executor.waitScope());
  } catch (...) {
    if (timedOut) {
      throw std::runtime_error("timed out waiting for " + what);
    }
    throw;
  }
}

// Runs the loop until `condition` holds, at most `timeout`; returns whether it
// held.
inline bool runUntil(kj_asio::ThreadLocalExecutor<>& executor, const std::function<bool()>& condition,
                     std::chrono::milliseconds timeout = kTestTimeout) {
  auto& timer = executor.ioProvider().timer();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    timer.afterDelay(1 * kj::MILLISECONDS).wait(executor.waitScope());
  }
  return true;
}

// The value of a Hopefully, or its error rethrown.
template <typename T>
T unwrapFor(kj_asio::ThreadLocalExecutor<>& executor, kj_asio::Hopefully<T>&& promise,
            const std::string& what = "hopefully") {
  return waitFor(executor, kj::mv(promise), what).unwrap();
}

// The error message of a failed Hopefully; fails the test if it succeeded.
template <typename T>
std::string errorOf(kj_asio::ThreadLocalExecutor<>& executor, kj_asio::Hopefully<T>&& promise) {
  auto result = waitFor(executor, kj::mv(promise));
  if (!result.hasException()) {
    ADD_FAILURE() << "expected an error";
    return {};
  }
  try {
    std::rethrow_exception(result.exception());
  } catch (const std::exception& error) {
    return error.what();
  } catch (const kj::Exception& error) {
    return error.getDescription().cStr();
  } catch (...) {
    return "<not a std::exception>";
  }
}

}  // namespace nuvrel::testing
