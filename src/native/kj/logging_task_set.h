// A task set for background work whose failures are logged, not propagated.
#pragma once

#include <kj/async.h>
#include <kj/source-location.h>

#include <string>

#include "kj/hopefully.h"
#include "logging/severity.h"

namespace nuvrel::kj_asio {

// Every task is added through fireAndForget, which ends it successfully after
// logging a failure, so the task set's own error handler is never reached.
// Event-loop thread only; destroying the set cancels the tasks still running.
class LoggingTaskSet {
 public:
  // Turns a failure that reaches the task set anyway into a fatal exception
  // of the event loop.
  class LoggingErrorHandler final : public kj::TaskSet::ErrorHandler {
   public:
    void taskFailed(kj::Exception&& exception) override;
    virtual ~LoggingErrorHandler() = default;
  };

  // `location` identifies the owner in diagnostics.
  explicit LoggingTaskSet(kj::SourceLocation location = {});
  LoggingTaskSet(const LoggingTaskSet&) = delete;
  LoggingTaskSet& operator=(const LoggingTaskSet&) = delete;
  ~LoggingTaskSet() noexcept(false);

  // A rejection is logged at `severity` as "An exception occurred when
  // executing <name>: <description>".
  void fireAndForget(kj::Promise<void>&& task, std::string name, logging::Severity severity);
  // An error result is logged the same way, with its diagnostic text.
  void fireAndForget(Hopefully<void>&& task, std::string name, logging::Severity severity);

  bool isEmpty() { return tasks_.isEmpty(); }
  kj::Promise<void> onEmpty() { return tasks_.onEmpty(); }

  const kj::SourceLocation& location() const { return location_; }

 private:
  kj::SourceLocation location_;
  LoggingErrorHandler handler_;
  kj::TaskSet tasks_;
};

}  // namespace nuvrel::kj_asio
