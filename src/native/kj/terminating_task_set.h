// A task set for tasks that must never fail: a failure ends the process.
#pragma once

#include <kj/async.h>
#include <kj/source-location.h>

#include <exception>
#include <string>

namespace nuvrel::kj_asio {

// Reserved for tasks that catch everything themselves (the accept loop): a
// failure reaching it is a defect. It is logged at fatal as "Unhandled
// exception thrown by the <name>. <text>" (on standard error if logging
// fails) and the process terminates.
class TerminatingErrorHandler : public kj::TaskSet::ErrorHandler {
 public:
  explicit TerminatingErrorHandler(std::string name) : name_(kj::mv(name)) {}
  virtual ~TerminatingErrorHandler() = default;

  [[noreturn]] virtual void doHandleException(std::exception_ptr error);
  [[noreturn]] void taskFailed(kj::Exception&& exception) override;

  const std::string& name() const { return name_; }

 private:
  [[noreturn]] void terminateWith(const std::string& text);

  std::string name_;
};

class TerminatingTaskSet {
 public:
  TerminatingTaskSet(std::string name, kj::SourceLocation location = {});
  TerminatingTaskSet(const TerminatingTaskSet&) = delete;
  TerminatingTaskSet& operator=(const TerminatingTaskSet&) = delete;
  ~TerminatingTaskSet() noexcept(false);

  void add(kj::Promise<void>&& task) { tasks_.add(kj::mv(task)); }
  bool isEmpty() { return tasks_.isEmpty(); }
  kj::Promise<void> onEmpty() { return tasks_.onEmpty(); }

  const std::string& name() const { return handler_.name(); }
  const kj::SourceLocation& location() const { return location_; }

 private:
  TerminatingErrorHandler handler_;
  kj::SourceLocation location_;
  kj::TaskSet tasks_;
};

}  // namespace nuvrel::kj_asio
