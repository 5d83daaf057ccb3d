// Consumers waiting on a KJ event loop for something another thread does.
#pragma once

#include <kj/async.h>
#include <kj/list.h>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace nuvrel::kj_asio::detail {

// `wait` registers the calling event loop's interest and returns a promise;
// `fulfillAll`, from any thread, wakes every waiter registered so far.
//
// The waiters live in a list shared with the promises handed out, so a
// promise that outlives this object can still unlink itself safely. A waiter
// is unlinked as soon as its promise is destroyed, whether it was fulfilled or
// dropped: the list never holds more than one entry per pending promise.
//
// Lock order: callers may hold their own lock while calling `wait` (that is
// how the queue avoids a lost wake-up); `fulfillAll` takes the list lock only
// to empty the list and fulfils outside it.
template <typename V>
class CrossThreadWaiterQueue {
  struct Waiter {
    explicit Waiter(kj::Own<kj::CrossThreadPromiseFulfiller<V>> f) : fulfiller(kj::mv(f)) {}
    kj::Own<kj::CrossThreadPromiseFulfiller<V>> fulfiller;
    kj::ListLink<Waiter> link;
  };

  struct State {
    std::mutex mutex;
    kj::List<Waiter, &Waiter::link> waiters;
  };

 public:
  CrossThreadWaiterQueue() : state_(std::make_shared<State>()) {}
  CrossThreadWaiterQueue(const CrossThreadWaiterQueue&) = delete;
  CrossThreadWaiterQueue& operator=(const CrossThreadWaiterQueue&) = delete;

  // Must run on a thread with a KJ event loop; the promise resolves on that
  // loop when `fulfillAll` is next called.
  kj::Promise<V> wait() {
    auto paf = kj::newPromiseAndCrossThreadFulfiller<V>();
    auto waiter = std::make_unique<Waiter>(kj::mv(paf.fulfiller));
    {
      std::lock_guard lock(state_->mutex);
      state_->waiters.add(*waiter);
    }
    return paf.promise.attach(kj::defer([state = state_, waiter = std::move(waiter)]() {
      std::lock_guard lock(state->mutex);
      if (waiter->link.isLinked()) {
        state->waiters.remove(*waiter);
      }
    }));
  }

  void fulfillAll(V&& value) {
    drainAll([&value](kj::CrossThreadPromiseFulfiller<V>& fulfiller) {
      V copy = value;
      fulfiller.fulfill(kj::mv(copy));
    });
  }

  // Unlinks every registered waiter, in registration order, and calls `f`
  // with each one's fulfiller after the list lock has been released. A
  // fulfiller whose promise is already gone ignores what it is given.
  template <typename F>
  void drainAll(F&& f) {
    std::vector<kj::Own<kj::CrossThreadPromiseFulfiller<V>>> fulfillers;
    {
      std::lock_guard lock(state_->mutex);
      fulfillers.reserve(state_->waiters.size());
      while (!state_->waiters.empty()) {
        Waiter& waiter = state_->waiters.front();
        state_->waiters.remove(waiter);
        fulfillers.push_back(kj::mv(waiter.fulfiller));
      }
    }
    for (auto& fulfiller : fulfillers) {
      f(*fulfiller);
    }
  }

  // Number of registered waiters.
  std::size_t size() const {
    std::lock_guard lock(state_->mutex);
    return state_->waiters.size();
  }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace nuvrel::kj_asio::detail
