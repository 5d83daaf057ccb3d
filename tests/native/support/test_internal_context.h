// The worker-side context of the native tests.
//
// The real CapnpThreadInternalContext lives in the Python layer; the core only
// handles references to it. This test binary supplies its own, defined once
// here (a second definition anywhere in the binary would break the one
// definition rule), with what the tests observe: the I/O of the worker loop,
// a task set for background work and a hook run on destruction.
#pragma once

#include <thread>

#include "kj/io_provider.h"
#include "kj/logging_task_set.h"
#include "runtime/internal_context.h"
#include "utils/move_only_function.h"

namespace nuvrel::python {

class CapnpThreadInternalContext {
 public:
  explicit CapnpThreadInternalContext(kj_asio::IoProvider& io);
  ~CapnpThreadInternalContext() noexcept(false);

  kj_asio::IoProvider& io;
  // Destroyed with the context, cancelling what is still running.
  kj_asio::LoggingTaskSet tasks;
  std::thread::id thread = std::this_thread::get_id();
  // Called first thing in the destructor, on the destroying thread.
  utils::ts::MoveOnlyFunction<void()> onDestroy;
};

}  // namespace nuvrel::python
