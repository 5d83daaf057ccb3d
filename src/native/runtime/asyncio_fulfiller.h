// The fulfiller behind every result that the worker hands to Python: it
// completes a `ResultFrame<T>`, and completes it with "Operation was
// cancelled." if it goes away without having delivered (its work item was
// dropped, the worker's task was cancelled, the worker ended).
//
// Threads: any; usually created on a Python thread and delivered to, and
// destroyed, on the worker.
#pragma once

#include <atomic>
#include <exception>
#include <memory>
#include <utility>

#include "errors/exception_utils.h"
#include "runtime/fulfiller.h"
#include "runtime/result_frame.h"

namespace nuvrel::python {

namespace detail {
// A kj::Exception becomes a nuvrel::Exception with the module's code for its
// type and the KJ description as message; anything else is kept as it is.
std::exception_ptr translateRejection(std::exception_ptr error);
}  // namespace detail

template <typename T>
class AsyncioFulfiller final : public utils::FulfillerImpl<T> {
 public:
  explicit AsyncioFulfiller(std::shared_ptr<ResultFrame<T>> frame) : frame_(std::move(frame)) {}
  AsyncioFulfiller(const AsyncioFulfiller&) = delete;
  AsyncioFulfiller& operator=(const AsyncioFulfiller&) = delete;

  ~AsyncioFulfiller() override {
    doTryAndLog([this] { frame_->cancel(); }, "AsyncioFulfiller dtor");
  }

  // One delivery per frame even if copies of a fulfiller share this object.
  void fulfill(T&& value) override {
    if (!delivered_.exchange(true)) {
      frame_->setValue(std::move(value));
    }
  }

  // A null error is no result at all: the frame stays pending (and is
  // cancelled when this fulfiller goes away).
  void reject(std::exception_ptr&& error) override {
    if (error && !delivered_.exchange(true)) {
      frame_->doSetError(detail::translateRejection(std::move(error)), false);
    }
  }

 private:
  std::shared_ptr<ResultFrame<T>> frame_;
  std::atomic<bool> delivered_{false};
};

// A fulfiller completing `frame`.
template <typename T>
utils::Fulfiller<T> makeAsyncioFulfiller(std::shared_ptr<ResultFrame<T>> frame) {
  return utils::Fulfiller<T>(std::make_shared<AsyncioFulfiller<T>>(std::move(frame)));
}

}  // namespace nuvrel::python
