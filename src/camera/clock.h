#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace ctrl {

// Time source of the engine and of anything that waits. Tests inject a FakeClock so a
// 5000 ms time-out runs in microseconds of real time.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in microseconds.
  virtual int64_t NowUs() const = 0;
  // Returns no earlier than the given time (a fake clock simply jumps there).
  virtual void SleepUntilUs(int64_t deadline_us) = 0;

  int64_t NowMs() const { return NowUs() / 1000; }
};

class SteadyClock final : public Clock {
 public:
  int64_t NowUs() const override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepUntilUs(int64_t deadline_us) override {
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::microseconds(deadline_us))));
  }
};

// Deterministic clock: time moves only when someone sleeps or advances it.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(int64_t start_us = 0) : now_us_(start_us) {}
  int64_t NowUs() const override { return now_us_; }
  void SleepUntilUs(int64_t deadline_us) override {
    if (deadline_us > now_us_) now_us_ = deadline_us;
  }
  void AdvanceUs(int64_t delta_us) { now_us_ += delta_us; }

 private:
  int64_t now_us_;
};

// The process-wide real clock.
Clock& DefaultClock();

}  // namespace ctrl
