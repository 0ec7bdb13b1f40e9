#include "transport/receive_ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace ctrl {
namespace {

std::string PopAll(ReceiveRing& ring) {
  std::string out(ReceiveRing::kCapacity, '\0');
  out.resize(static_cast<size_t>(ring.Pop(out.data(), static_cast<int>(out.size()))));
  return out;
}

// Catches losing the arrival order, and an index that does not wrap at the end of the ring.
TEST(TransportRing, DeliversInArrivalOrderAcrossTheWrap) {
  ReceiveRing ring;
  std::string expected;
  for (int round = 0; round < 5; ++round) {
    std::string chunk;
    for (int i = 0; i < 700; ++i) chunk.push_back(static_cast<char>('a' + (round * 7 + i) % 26));
    ASSERT_EQ(ring.Push(chunk.data(), static_cast<int>(chunk.size())), 700);
    EXPECT_EQ(ring.Available(), 700);
    char first;
    ASSERT_EQ(ring.Pop(&first, 1), 1);
    EXPECT_EQ(first, chunk[0]);
    EXPECT_EQ(PopAll(ring), chunk.substr(1));
  }
  char nothing;
  EXPECT_EQ(ring.Pop(&nothing, 1), 0);
  EXPECT_EQ(ring.Pop(&nothing, 0), 0);
  EXPECT_EQ(ring.Pop(&nothing, -3), 0);
}

// Catches a full ring overwriting unread bytes instead of refusing the new ones.
TEST(TransportRing, RefusesBytesWhenFullAndKeepsTheUnreadOnes) {
  ReceiveRing ring;
  std::string first(1000, 'x');
  ASSERT_EQ(ring.Push(first.data(), 1000), 1000);
  std::string more = "0123456789abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(ring.Push(more.data(), static_cast<int>(more.size())), 23);
  EXPECT_EQ(ring.Available(), ReceiveRing::kCapacity - 1);
  EXPECT_EQ(ring.Push(more.data(), 1), 0);

  EXPECT_EQ(PopAll(ring), first + more.substr(0, 23));
  // Room again after reading.
  EXPECT_EQ(ring.Push(more.data(), 2), 2);
  EXPECT_EQ(PopAll(ring), "01");
}

TEST(TransportRing, DiscardAllDropsOnlyWhatIsStored) {
  ReceiveRing ring;
  ring.Push("abc", 3);
  ring.DiscardAll();
  EXPECT_EQ(ring.Available(), 0);
  ring.Push("de", 2);
  EXPECT_EQ(PopAll(ring), "de");
}

// One producer thread and one consumer thread: catches a missing release/acquire pairing or a
// torn index (run under ThreadSanitizer too). Every byte must arrive once, in order.
TEST(TransportRing, ProducerAndConsumerThreadsKeepEveryByteInOrder) {
  ReceiveRing ring;
  constexpr int kTotal = 200000;
  std::atomic<bool> stop{false};
  std::thread producer([&ring, &stop] {
    int next = 0;
    while (next < kTotal && !stop) {
      char chunk[64];
      int count = 0;
      for (; count < 64 && next + count < kTotal; ++count) {
        chunk[count] = static_cast<char>((next + count) % 251);
      }
      int offset = 0;
      while (offset < count && !stop) {
        offset += ring.Push(chunk + offset, count - offset);
        if (offset < count) std::this_thread::yield();
      }
      next += count;
    }
  });
  std::vector<char> received;
  received.reserve(kTotal);
  // A broken ring loses bytes; give up instead of waiting for them for ever.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (static_cast<int>(received.size()) < kTotal &&
         std::chrono::steady_clock::now() < give_up) {
    char chunk[97];
    const int got = ring.Pop(chunk, sizeof chunk);
    if (got == 0) std::this_thread::yield();
    received.insert(received.end(), chunk, chunk + got);
  }
  stop = true;
  producer.join();
  ASSERT_EQ(static_cast<int>(received.size()), kTotal);
  int mismatches = 0;
  for (int i = 0; i < kTotal; ++i) {
    if (received[static_cast<size_t>(i)] != static_cast<char>(i % 251)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace ctrl
