#include "runtime/work.h"

#include "logging/log.h"

namespace nuvrel::python {

Work::Work(Action action, std::string name) : action_(std::move(action)), name_(std::move(name)) {}

void Work::operator()(CapnpThreadInternalContext& context) {
  NUVREL_LOG(status) << "Executing: " << name_;
  action_(context);
}

}  // namespace nuvrel::python
