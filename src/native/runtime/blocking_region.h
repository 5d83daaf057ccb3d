// Waits of the core library for another thread, made safe for the Python
// interpreter lock.
//
// The worker may need the interpreter lock to deliver its last results, so a
// thread that holds the lock must release it while it waits for the worker.
// The core knows nothing of Python: the Python layer installs a hook at
// module load that runs the region with the lock released if the calling
// thread holds it (GilScopedReleaseIfHeld) and re-acquires it afterwards.
// Without a hook (native tests) the region simply runs.
#pragma once

#include "utils/move_only_function.h"

namespace nuvrel::python {

// Runs `region` (it must call it exactly once, on the calling thread) and
// returns when it has returned. It must not throw anything `region` does not.
using BlockingRegionHook = void (*)(utils::ts::MoveOnlyFunction<void()>& region);

// Installs the hook (nullptr removes it); any thread, usually once at load.
void setBlockingRegionHook(BlockingRegionHook hook) noexcept;

// Runs `region` through the installed hook.
void runBlockingRegion(utils::ts::MoveOnlyFunction<void()> region);

}  // namespace nuvrel::python
