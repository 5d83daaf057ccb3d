// A door a test opens from one thread and waits for on another. Waiting is
// bounded so that a broken test cannot block a thread for good.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace nuvrel::testing {

class Gate {
 public:
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool wait(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

}  // namespace nuvrel::testing
