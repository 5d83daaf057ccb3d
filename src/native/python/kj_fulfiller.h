// A KJ promise that the worker awaits and a fulfiller that any thread may
// complete, also one without an event loop (a plain Python thread).
#pragma once

#include <kj/async.h>

#include <exception>
#include <utility>

namespace nuvrel::kj_asio {

// Any native failure as a Cap'n Proto exception: a kj::Exception passes
// unchanged; the module's own exception becomes FAILED with its diagnostic
// text; a standard exception FAILED with its what(); anything else FAILED
// with the generic diagnostic text.
kj::Exception toKjException(std::exception_ptr error);

// Move-only. A fulfiller destroyed before it was used rejects its promise
// with KJ's FAILED "cross-thread PromiseFulfiller was destroyed without
// fulfilling the promise.".
template <typename T>
class KjFulfiller {
 public:
  KjFulfiller() = default;
  explicit KjFulfiller(kj::Own<kj::CrossThreadPromiseFulfiller<T>> fulfiller)
      : fulfiller_(kj::mv(fulfiller)) {}

  // True while the fulfiller has not been used and its promise is awaited.
  bool isWaiting() const { return fulfiller_.get() != nullptr && fulfiller_->isWaiting(); }
  bool used() const { return fulfiller_.get() == nullptr; }

  void fulfill(T&& value) {
    if (auto fulfiller = kj::mv(fulfiller_); fulfiller.get() != nullptr) {
      fulfiller->fulfill(kj::mv(value));
    }
  }
  void reject(kj::Exception&& exception) {
    if (auto fulfiller = kj::mv(fulfiller_); fulfiller.get() != nullptr) {
      fulfiller->reject(kj::mv(exception));
    }
  }
  void reject(std::exception_ptr error) { reject(toKjException(kj::mv(error))); }

 private:
  kj::Own<kj::CrossThreadPromiseFulfiller<T>> fulfiller_;
};

template <typename T>
struct PromiseAndKjFulfiller {
  kj::Promise<T> promise;
  KjFulfiller<T> fulfiller;
};

// Must be called on the thread whose event loop will await the promise.
template <typename T>
PromiseAndKjFulfiller<T> makePromiseAndFulfiller() {
  auto paf = kj::newPromiseAndCrossThreadFulfiller<T>();
  return {kj::mv(paf.promise), KjFulfiller<T>(kj::mv(paf.fulfiller))};
}

}  // namespace nuvrel::kj_asio
