// One request for the worker thread.
#pragma once

#include <string>

#include "runtime/internal_context.h"
#include "utils/move_only_function.h"

namespace nuvrel::python {

// A move-only action to run on the worker against its context, and a short
// name for log lines ("connect", "Stop thread"). An item that is dropped
// instead of run (its queue closed) is only destroyed: whatever its action
// captured learns of it through its own destruction.
class Work {
 public:
  using Action = utils::ts::MoveOnlyFunction<void(CapnpThreadInternalContext&)>;

  Work(Action action, std::string name);
  Work(Work&&) noexcept = default;
  Work& operator=(Work&&) noexcept = default;
  Work(const Work&) = delete;
  Work& operator=(const Work&) = delete;
  ~Work() = default;

  // Logs "Executing: <name>" at status and runs the action. An empty action
  // throws std::bad_optional_access; what the action throws is not caught.
  void operator()(CapnpThreadInternalContext& context);

  const std::string& name() const noexcept { return name_; }

 private:
  Action action_;
  std::string name_;
};

}  // namespace nuvrel::python
