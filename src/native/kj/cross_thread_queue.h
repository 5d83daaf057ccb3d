// The hand-over point between the threads that make requests and the one
// event loop that executes them.
//
// Any number of producer threads push; one consumer, a KJ event loop, pops.
// Producers never wait for the consumer and the consumer never polls: an
// empty queue makes `pop` register a waiter that the next push (or the close)
// fulfils across threads, which wakes the consumer's loop.
//
// No lost wake-up: the consumer registers its waiter while holding the queue
// lock, so a producer can append only after the waiter exists, and its
// `fulfillAll` (called after it released the queue lock) finds it.
//
// Lock order: the queue lock may be held while the waiter-list lock is taken,
// never the other way round. Nothing that may wait for the Python interpreter
// lock runs under the queue lock: dropped items are destroyed after it was
// released, because destroying one may complete a result and take the
// interpreter lock, which a producer may hold while it waits for the queue.
#pragma once

#include <kj/async.h>
#include <kj/debug.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <queue>
#include <utility>
#include <variant>

#include "kj/cross_thread_waiter_queue.h"
#include "kj/hopefully.h"
#include "kj/shared_only.h"

namespace nuvrel::kj_asio {

template <typename T>
class PromiseQueue {
 public:
  virtual ~PromiseQueue() = default;
  // True if the item was queued (it has been moved from); false if the queue
  // is closed (the item is untouched and stays with the caller).
  virtual bool push(T&& item) = 0;
  // The oldest item; rejects when the queue is closed or gone.
  virtual kj::Promise<T> pop() = 0;
};

// Description of the rejection of every pop from a closed or destroyed queue.
inline constexpr const char* kQueueClosedDescription = "Awaited value will not be produced.";

inline kj::Exception queueClosedError() {
  return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__,
                       kj::heapString(kQueueClosedDescription));
}

template <typename T, typename Container = std::queue<T>>
class CrossThreadQueue final
    : public PromiseQueue<T>,
      public SharedOnly<CrossThreadQueue<T, Container>>,
      public std::enable_shared_from_this<CrossThreadQueue<T, Container>> {
  friend class SharedOnly<CrossThreadQueue<T, Container>>;

 public:
  CrossThreadQueue(const CrossThreadQueue&) = delete;
  CrossThreadQueue& operator=(const CrossThreadQueue&) = delete;

  // Closes the queue and drops what is still in it (see closeAndDrain).
  ~CrossThreadQueue() override { closeAndDrain(); }

  // Any thread. Never blocks on the consumer.
  bool push(T&& item) override {
    {
      std::lock_guard lock(mutex_);
      if (closed_) {
        return false;
      }
      items_.push(kj::mv(item));
    }
    waiters_.fulfillAll(std::monostate{});
    return true;
  }

  // Consumer loop only.
  kj::Promise<T> pop() override { return popFrom(this->weak_from_this()); }

  // Resolves to the oldest item, waiting for a push if there is none. Holds
  // only a weak reference while it waits: if the last owner lets go of the
  // queue, or the queue is closed, the promise rejects (FAILED, "Awaited value
  // will not be produced.") instead of touching a destroyed object.
  static kj::Promise<T> popFrom(std::weak_ptr<CrossThreadQueue> weakQueue) {
    return tryPopFrom(weakQueue).then(
        [weakQueue](std::optional<T>&& item) mutable -> kj::Promise<T> {
          if (item) {
            return kj::mv(*item);
          }
          // Woken: the next attempt finds the item, finds the queue closed
          // or registers a new waiter.
          return popFrom(kj::mv(weakQueue));
        });
  }

  // One attempt: the oldest item at once, or a waiter that resolves to an
  // empty optional when the consumer is woken.
  static kj::Promise<std::optional<T>> tryPopFrom(const std::weak_ptr<CrossThreadQueue>& weakQueue) {
    auto queue = weakQueue.lock();
    if (!queue) {
      return queueClosedError();
    }
    std::lock_guard lock(queue->mutex_);
    if (queue->closed_) {
      return queueClosedError();
    }
    if (!queue->items_.empty()) {
      std::optional<T> item(kj::mv(queue->items_.front()));
      queue->items_.pop();
      return readyNow(kj::mv(item));
    }
    // Registered under the queue lock: see the header comment.
    return queue->waiters_.wait().then([](std::monostate) { return std::optional<T>(); });
  }

  // Any thread. Closes the queue for good, drops every pending item (destroyed
  // outside the lock, never run), wakes every waiting consumer (whose pop then
  // rejects) and returns how many items were dropped.
  std::size_t closeAndDrain() {
    Container dropped;
    std::size_t count = 0;
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
      count = items_.size();
      std::swap(dropped, items_);
    }
    while (!dropped.empty()) {
      dropped.pop();
    }
    waiters_.fulfillAll(std::monostate{});
    return count;
  }

  bool isClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
  }

  std::size_t size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
  }

  // Consumers currently waiting for an item.
  std::size_t waiterCount() const { return waiters_.size(); }

 private:
  CrossThreadQueue() = default;

  Container items_;
  detail::CrossThreadWaiterQueue<std::monostate> waiters_;
  mutable std::mutex mutex_;
  bool closed_ = false;
};

}  // namespace nuvrel::kj_asio
