#include "support/test_internal_context.h"

namespace nuvrel::python {

CapnpThreadInternalContext::CapnpThreadInternalContext(kj_asio::IoProvider& provider)
    : io(provider) {}

CapnpThreadInternalContext::~CapnpThreadInternalContext() noexcept(false) {
  if (onDestroy) {
    onDestroy();
  }
}

}  // namespace nuvrel::python
