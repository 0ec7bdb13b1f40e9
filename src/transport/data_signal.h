#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ctrl {

// Wakes a thread waiting for a condition that another thread makes true. The producer
// changes its lock-free state first and then calls Notify; taking the mutex there closes the
// window in which a waiter has checked the condition but not yet started to wait.
class DataSignal {
 public:
  void Notify() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    condition_.notify_all();
  }

  // True when `ready()` holds, at once or within `timeout_ms`.
  template <typename Predicate>
  bool WaitFor(int timeout_ms, Predicate ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeout_ms <= 0) return ready();
    return condition_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
};

}  // namespace ctrl
