#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>

#include "sim/camera_model.h"

namespace ctrl::sim {

// Faults the simulated camera can provoke on purpose, each named for what it does.
struct Faults {
  bool silent = false;                       // answers nothing (requests are not even looked at)
  int drop_every_nth_reply = 0;              // 0 = off; n = the n-th, 2n-th ... reply is never sent
  bool echo_requests = false;                // echoes each request line before replying
  bool trailing_space_after_prompt = false;  // "OK> \r\n"
  bool garbage_between_replies = false;  // a few random non-line bytes (no LF) before each reply
  bool overlong_line = false;  // sends a line of more than 1023 bytes without LF before replying
  int64_t reply_delay_us = 0;  // replies are delayed by this much (late replies past a time-out)
  bool split_into_single_bytes = false;  // each reply byte delivered with its own small gap
  bool emulate_line_speed = false;       // bytes take 10 bits / baud rate each, in both directions
};

// Byte-stream face of the camera: request bytes in, reply bytes out, each reply byte with the
// time it becomes due. One request is served at a time, in order of arrival; a reply never
// overtakes an earlier one. Not thread-safe: a server that feeds it from several threads
// serialises the calls.
class CameraFrontEnd {
 public:
  static constexpr size_t kMaxRequestLine = 1024;     // longer request lines are cut here
  static constexpr size_t kMaxPendingBytes = 65536;   // replies beyond this are lost
  static constexpr int64_t kSplitByteGapUs = 100;     // gap between bytes when split
  static constexpr size_t kOverlongLineBytes = 1100;  // junk sent by the overlong-line fault

  explicit CameraFrontEnd(CameraModel& model);

  Faults& faults() { return faults_; }
  CameraModel& model() { return model_; }

  // Request bytes that arrived at now_us (any chunking; lines end with CR LF or LF). Calls must
  // come in nondecreasing time.
  void Receive(std::string_view bytes, int64_t now_us);
  // Appends to `out` every reply byte due at or before now_us, removing them.
  void TakeDue(int64_t now_us, std::string& out);
  // Time the next pending reply byte becomes due; -1 when nothing is pending.
  int64_t NextDueUs() const;

  uint64_t requests_served() const { return requests_served_; }
  uint64_t replies_dropped() const { return replies_dropped_; }

 private:
  struct PendingByte {
    int64_t due_us;
    char byte;
  };

  void ServeLine(std::string_view line, bool overlong, int64_t arrived_us);
  std::string Answer(std::string_view line, bool overlong, int64_t at_us);
  bool Schedule(const std::string& bytes, int64_t ready_us);  // false when the queue is full
  void ApplyBaudSwitch(int64_t now_us);
  int64_t ByteTimeUs(int64_t byte_count) const;  // line time of that many bytes at the baud rate

  CameraModel& model_;
  Faults faults_;
  std::string line_;
  bool line_overflowed_ = false;
  std::deque<PendingByte> pending_;
  int64_t rx_free_us_ = 0;  // when the request line is free for the next byte
  int64_t tx_free_us_ = 0;  // when the last scheduled reply byte is due
  int64_t last_served_us_ = 0;
  int64_t baud_switch_us_ = -1;  // when the reply announcing a new baud rate has gone out
  uint64_t requests_served_ = 0;
  uint64_t replies_ = 0;
  uint64_t replies_dropped_ = 0;
  std::minstd_rand garbage_random_{20240611u};
};

}  // namespace ctrl::sim
