#pragma once

#include <atomic>
#include <cstdint>

namespace ctrl {

// Single-producer single-consumer byte queue between a port's reader thread and the GUI
// thread. Only the producer writes `head_` and the slots, only the consumer writes `tail_`.
// One slot stays free so that head == tail always means empty: the ring holds at most
// kCapacity - 1 unread bytes, and bytes offered beyond that are refused, never overwriting
// unread ones.
class ReceiveRing {
 public:
  static constexpr int32_t kCapacity = 1024;

  // Producer side. Stores as many of the bytes as fit, in order; returns how many were taken.
  int Push(const char* bytes, int count) {
    const int32_t head = head_.load(std::memory_order_relaxed);
    const int32_t tail = tail_.load(std::memory_order_acquire);
    const int free_slots = kCapacity - 1 - Distance(head, tail);
    const int taken = count < free_slots ? count : free_slots;
    int32_t index = head;
    for (int i = 0; i < taken; ++i) {
      slots_[index] = bytes[i];
      index = (index + 1) % kCapacity;
    }
    head_.store(index, std::memory_order_release);
    return taken;
  }

  // Consumer side. Copies up to `length` bytes in arrival order; returns how many.
  int Pop(char* buffer, int length) {
    const int32_t tail = tail_.load(std::memory_order_relaxed);
    const int32_t head = head_.load(std::memory_order_acquire);
    const int available = Distance(head, tail);
    const int count = length < available ? length : available;
    int32_t index = tail;
    for (int i = 0; i < count; ++i) {
      buffer[i] = slots_[index];
      index = (index + 1) % kCapacity;
    }
    tail_.store(index, std::memory_order_release);
    return count < 0 ? 0 : count;
  }

  // Consumer side: forgets every byte stored so far.
  void DiscardAll() {
    tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release);
  }

  // Either side may ask; the answer is a snapshot.
  int Available() const {
    return Distance(head_.load(std::memory_order_acquire), tail_.load(std::memory_order_acquire));
  }

  // Only while no producer runs (the port is closed).
  void Reset() {
    head_.store(0, std::memory_order_relaxed);
    tail_.store(0, std::memory_order_relaxed);
  }

 private:
  static int Distance(int32_t head, int32_t tail) {
    const int32_t difference = head - tail;
    return difference < 0 ? difference + kCapacity : difference;
  }

  std::atomic<int32_t> head_{0};
  std::atomic<int32_t> tail_{0};
  char slots_[kCapacity] = {};
};

}  // namespace ctrl
