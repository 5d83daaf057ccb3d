#include "runtime/blocking_region.h"

#include <atomic>

namespace nuvrel::python {
namespace {
std::atomic<BlockingRegionHook> installedHook{nullptr};
}

void setBlockingRegionHook(BlockingRegionHook hook) noexcept { installedHook.store(hook); }

void runBlockingRegion(utils::ts::MoveOnlyFunction<void()> region) {
  if (BlockingRegionHook hook = installedHook.load()) {
    hook(region);
  } else {
    region();
  }
}

}  // namespace nuvrel::python
