// The worker's context as the core library sees it.
//
// `CapnpThreadInternalContext` owns every Cap'n Proto object of one context
// on its worker thread and performs the operations that work items ask for.
// It converts Python values under the interpreter lock, so its definition
// belongs to the Python layer (python/internal_context.h); the core only
// passes references to it around and never needs the complete type.
//
// What the Python layer provides:
//   - the class `nuvrel::python::CapnpThreadInternalContext`, defined once
//     in the module (native tests define their own, once, in
//     tests/native/support/);
//   - an InternalContextFactory given to every CapnpWorkerThread, normally
//     `makeInternalContext<CapnpThreadInternalContext>` below, which builds the
//     context from the worker loop's IoProvider.
// The worker calls the factory on its own thread, after its event loop
// exists and before the first item runs, and destroys the context on that
// thread when the loop ends, before the event loop itself goes. A factory
// that throws ends the worker as crashed with that exception's text.
#pragma once

#include <exception>
#include <memory>
#include <utility>

#include "errors/exception_utils.h"
#include "kj/io_provider.h"
#include "utils/move_only_function.h"

namespace nuvrel::python {

class CapnpThreadInternalContext;

// Owns a context; the deleter comes from where the type is complete.
using InternalContextPtr =
    std::unique_ptr<CapnpThreadInternalContext, void (*)(CapnpThreadInternalContext*)>;

using InternalContextFactory =
    utils::ts::MoveOnlyFunction<InternalContextPtr(kj_asio::IoProvider& io)>;

// The factory for a context constructed from the IoProvider alone. Use it
// where `Context` (CapnpThreadInternalContext) is complete.
template <typename Context = CapnpThreadInternalContext>
InternalContextFactory makeInternalContext() {
  return [](kj_asio::IoProvider& io) {
    return InternalContextPtr(new Context(io), [](CapnpThreadInternalContext* context) {
      try {
        delete static_cast<Context*>(context);
      } catch (...) {
        ::nuvrel::detail::logExceptionNoexcept(logging::Severity::debug, std::current_exception(),
                                     "DestructorCatcher dtor");
      }
    });
  };
}

}  // namespace nuvrel::python
