#include "kj/cross_thread_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/event_loop.h"

namespace nuvrel::kj_asio {
namespace {

using namespace std::chrono_literals;
using testing::waitFor;

// An item that tells whether it was destroyed without being taken out.
struct Item {
  Item(int p, int s, std::shared_ptr<std::atomic<int>> drops = nullptr)
      : producer(p), sequence(s), dropCounter(std::move(drops)) {}
  Item(Item&& other) noexcept
      : producer(other.producer), sequence(other.sequence), dropCounter(std::move(other.dropCounter)) {}
  Item& operator=(Item&& other) noexcept {
    producer = other.producer;
    sequence = other.sequence;
    dropCounter = std::move(other.dropCounter);
    return *this;
  }
  ~Item() {
    if (dropCounter) {
      ++*dropCounter;
    }
  }
  int producer;
  int sequence;
  std::shared_ptr<std::atomic<int>> dropCounter;
};

using Queue = CrossThreadQueue<Item>;

std::string rejectionOf(ThreadLocalExecutor<>& executor, kj::Promise<Item>&& pop) {
  try {
    waitFor(executor, kj::mv(pop), "rejection");
  } catch (const kj::Exception& exception) {
    EXPECT_EQ(exception.getType(), kj::Exception::Type::FAILED);
    return exception.getDescription().cStr();
  }
  ADD_FAILURE() << "pop did not reject";
  return {};
}

class CrossThreadQueueTest : public ::testing::Test {
 protected:
  ThreadLocalExecutor<> executor;
  std::shared_ptr<Queue> queue = Queue::makeShared();
};

TEST_F(CrossThreadQueueTest, ItemsPushedBeforePoppingComeInPushOrderWithoutWaiting) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(queue->push(Item(0, i)));
  }
  for (int i = 0; i < 3; ++i) {
    auto pop = queue->pop();
    // Already resolved: one turn of the loop suffices.
    ASSERT_TRUE(pop.poll(executor.waitScope()));
    EXPECT_EQ(pop.wait(executor.waitScope()).sequence, i);
  }
  EXPECT_EQ(queue->waiterCount(), 0u);
}

TEST_F(CrossThreadQueueTest, PopOnEmptyQueueResolvesWithTheItemPushedByAnotherThread) {
  auto pop = queue->pop();
  EXPECT_FALSE(pop.poll(executor.waitScope()));
  EXPECT_EQ(queue->waiterCount(), 1u);

  std::thread producer([queue = queue]() {
    std::this_thread::sleep_for(20ms);
    queue->push(Item(1, 99));
  });
  const Item item = waitFor(executor, kj::mv(pop), "cross-thread push");
  producer.join();
  EXPECT_EQ(item.producer, 1);
  EXPECT_EQ(item.sequence, 99);
  EXPECT_EQ(queue->waiterCount(), 0u);
}

TEST_F(CrossThreadQueueTest, PushAfterCloseFailsAndLeavesTheItemWithTheCaller) {
  EXPECT_EQ(queue->closeAndDrain(), 0u);
  auto drops = std::make_shared<std::atomic<int>>(0);
  Item item(3, 4, drops);
  EXPECT_FALSE(queue->push(std::move(item)));
  EXPECT_EQ(item.producer, 3);
  EXPECT_EQ(item.sequence, 4);
  EXPECT_EQ(item.dropCounter, drops) << "the rejected item was moved from";
  EXPECT_EQ(*drops, 0);
}

TEST_F(CrossThreadQueueTest, CloseAndDrainDropsPendingItemsAndCountsThem) {
  auto drops = std::make_shared<std::atomic<int>>(0);
  queue->push(Item(0, 0, drops));
  queue->push(Item(0, 1, drops));
  EXPECT_EQ(queue->closeAndDrain(), 2u);
  EXPECT_EQ(*drops, 2);  // destroyed, never handed out
  EXPECT_EQ(queue->size(), 0u);
  EXPECT_EQ(rejectionOf(executor, queue->pop()), "Awaited value will not be produced.");
}

TEST_F(CrossThreadQueueTest, PendingPopRejectsWhenAnotherThreadClosesTheQueue) {
  auto pop = queue->pop();
  EXPECT_FALSE(pop.poll(executor.waitScope()));
  std::thread closer([queue = queue]() {
    std::this_thread::sleep_for(10ms);
    queue->closeAndDrain();
  });
  EXPECT_EQ(rejectionOf(executor, kj::mv(pop)), "Awaited value will not be produced.");
  closer.join();
}

TEST_F(CrossThreadQueueTest, PopOutlivingTheQueueRejectsInsteadOfTouchingIt) {
  std::weak_ptr<Queue> weak = queue;
  auto pending = queue->pop();
  EXPECT_FALSE(pending.poll(executor.waitScope()));
  queue.reset();  // the last owner lets go while a pop waits
  ASSERT_TRUE(weak.expired());
  EXPECT_EQ(rejectionOf(executor, kj::mv(pending)), "Awaited value will not be produced.");
  EXPECT_EQ(rejectionOf(executor, Queue::popFrom(weak)), "Awaited value will not be produced.");
}

TEST_F(CrossThreadQueueTest, DroppedPopUnlinksItsWaiterAndTheNextPushQueuesNormally) {
  {
    auto pop = queue->pop();
    EXPECT_FALSE(pop.poll(executor.waitScope()));
    EXPECT_EQ(queue->waiterCount(), 1u);
  }
  EXPECT_EQ(queue->waiterCount(), 0u);
  EXPECT_TRUE(queue->push(Item(0, 5)));
  EXPECT_EQ(queue->size(), 1u);
  EXPECT_EQ(waitFor(executor, queue->pop()).sequence, 5);
}

// Several producers race one consumer that drains as fast as it can, so that
// the queue keeps changing between empty (the consumer registers a waiter)
// and non-empty while producers push: every item arrives exactly once and
// each producer's items in the order it pushed them.
TEST_F(CrossThreadQueueTest, ContendedProducersDeliverEveryItemOnceInPerProducerOrder) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 5000;
  std::atomic<bool> start{false};
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p]() {
      while (!start.load()) {
        std::this_thread::yield();
      }
      for (int s = 0; s < kPerProducer; ++s) {
        EXPECT_TRUE(queue->push(Item(p, s)));
        if (s % 512 == 0) {
          std::this_thread::sleep_for(50us);  // let the consumer run dry now and then
        }
      }
    });
  }
  start = true;

  std::vector<int> next(kProducers, 0);
  int received = 0;
  bool inOrder = true;
  for (; received < kProducers * kPerProducer; ++received) {
    Item item = waitFor(executor, queue->pop(), "item " + std::to_string(received));
    if (item.sequence != next[static_cast<std::size_t>(item.producer)]) {
      inOrder = false;
    }
    next[static_cast<std::size_t>(item.producer)] = item.sequence + 1;
  }
  for (auto& producer : producers) {
    producer.join();
  }
  EXPECT_TRUE(inOrder);
  for (int p = 0; p < kProducers; ++p) {
    EXPECT_EQ(next[static_cast<std::size_t>(p)], kPerProducer) << "producer " << p;
  }
  EXPECT_EQ(queue->size(), 0u);
  EXPECT_EQ(queue->waiterCount(), 0u);
}

// Ping-pong: the producer pushes the next item only after the consumer has
// taken the previous one, so the consumer keeps finding the queue empty just
// as the producer is about to push. A push whose wake-up were lost would
// never be followed by another one, and the pop would time out.
TEST_F(CrossThreadQueueTest, NoWakeUpIsLostWhenEveryPushMeetsAnEmptyQueue) {
  constexpr int kRounds = 20000;
  std::atomic<int> acknowledged{0};
  std::atomic<bool> abandon{false};
  std::thread producer([&]() {
    for (int i = 0; i < kRounds && !abandon.load(); ++i) {
      queue->push(Item(0, i));
      while (acknowledged.load() <= i && !abandon.load()) {
        std::this_thread::yield();
      }
    }
  });
  int received = 0;
  try {
    for (; received < kRounds; ++received) {
      Item item = waitFor(executor, queue->pop(), "round " + std::to_string(received), 2000ms);
      if (item.sequence != received) {
        ADD_FAILURE() << "got " << item.sequence << " in round " << received;
        break;
      }
      acknowledged = received + 1;
    }
  } catch (const std::exception& error) {
    ADD_FAILURE() << error.what();
  }
  abandon = true;
  producer.join();
  EXPECT_EQ(received, kRounds);
}

}  // namespace
}  // namespace nuvrel::kj_asio
