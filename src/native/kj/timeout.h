// A time-out around a whole asynchronous step.
#pragma once

#include <kj/time.h>
#include <kj/timer.h>

#include <chrono>
#include <string>

#include "errors/exception.h"
#include "kj/hopefully.h"

namespace nuvrel {

// "<n>ms" below one second in absolute value (999ms), otherwise the seconds
// in the default stream format and "s" (1.5s, 5s).
std::string durationText(std::chrono::milliseconds duration);

// Races `task` against a deadline of now + `timeout` on the precise monotonic
// clock. The task's own result, value or error, passes through unchanged if it
// settles first. Otherwise the task is cancelled (destroying what it owns,
// such as a half-open connection) and the result is a KSTimeoutException
// "Execution of <name> took longer than <duration>.". Event-loop thread only.
template <typename T>
kj_asio::Hopefully<T> preciseTimeoutAfter(kj::Timer& timer, std::chrono::milliseconds timeout,
                                          kj_asio::Hopefully<T>&& task, std::string name) {
  const kj::TimePoint deadline =
      kj::systemPreciseMonotonicClock().now() + timeout.count() * kj::MILLISECONDS;
  auto expired = timer.atTime(deadline).then([name = kj::mv(name), timeout]() {
    return ExceptionOr<T>(std::make_exception_ptr(KSTimeoutException(
        "Execution of " + name + " took longer than " + durationText(timeout) + ".")));
  });
  // A Hopefully should not reject; should a KJ component inside it do so
  // anyway, the rejection becomes the error rather than escaping.
  auto settled = task.catch_([](kj::Exception&& exception) {
    return ExceptionOr<T>(std::make_exception_ptr(kj::mv(exception)));
  });
  return settled.exclusiveJoin(kj::mv(expired));
}

}  // namespace nuvrel
