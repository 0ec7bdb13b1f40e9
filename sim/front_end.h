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
  bool unsigned_replies =
      false;  // value lines print the 32-bit pattern unsigned (-4095 as 4294963201)
  int cut_reply_every_nth = 0;       // 0 = off; the n-th, 2n-th ... reply stops one byte before the
                                     // end of its first line: no CR LF, no prompt
  int stray_fragment_every_nth = 0;  // 0 = off; "=77" without LF before the n-th, 2n-th ... reply
  bool control_bytes_in_texts = false;  // vendor name and user ID hold control bytes, bytes from
                                        // 0x80 and a NUL with more bytes behind it
  bool endless_talk = false;            // requests go unanswered while the camera talks without end
  int hang_up_after = 0;  // 0 = off; n = the request after the next n hangs the line up
  bool refuse_baud_rate_change = false;  // every Baud Rate write is refused; the rate stays
  // once the camera has moved to a new Baud Rate it answers nothing, at any rate
  bool ignore_requests_after_baud_change = false;
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
  static constexpr std::string_view kStrayFragment = "=77";
  // What endless talk sends: a line of its own every kTalkIntervalUs (naming a register no host
  // asks for), and every kTalkRunEvery-th time a run of kOverlongLineBytes without LF instead.
  static constexpr int64_t kTalkIntervalUs = 300;
  static constexpr int kTalkRunEvery = 64;
  static constexpr uint32_t kTalkRegister = 0xFFFFFFFC;
  // Talk older than this when it is collected is lost, as a receive buffer nobody empties would
  // lose it; it also bounds what one TakeDue delivers.
  static constexpr int64_t kTalkBacklogUs = 20'000;
  // The texts the control-bytes fault puts into the vendor name and the user ID.
  static constexpr char kControlVendorBytes[] = "Ornvik\x1b[2J\x07 caf\xe9\0hidden";
  static constexpr std::string_view kControlVendorName{kControlVendorBytes,
                                                       sizeof kControlVendorBytes - 1};
  static constexpr char kControlUserIdBytes[] =
      "\x1b[2J"
      "caf\xe9"
      "\x01\x7f\xff|\0after the NUL";
  static constexpr std::string_view kControlUserId{kControlUserIdBytes,
                                                   sizeof kControlUserIdBytes - 1};

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
  // True once the hang-up fault has struck: requests are ignored until Reconnect().
  bool hung_up() const { return hung_up_; }
  // The line is up again (the port reopened after a hang-up); the hang-up fault counts anew.
  void Reconnect();

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
  bool HangsUpNow();
  void ApplyControlTexts();
  void AppendTalk(std::string& out);

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
  bool hung_up_ = false;
  bool baud_changed_ = false;  // the camera has moved to another rate since it started
  int hang_up_armed_for_ = 0;  // the hang_up_after value the count below belongs to
  uint64_t hang_up_base_ = 0;  // requests served when it was armed
  bool texts_replaced_ = false;
  std::string saved_vendor_name_;
  std::string saved_user_id_;
  int64_t talk_next_us_ = -1;  // when the next talk item is due; -1 while not talking
  int64_t last_seen_us_ = 0;   // latest time any call brought
  uint64_t talk_items_ = 0;
};

}  // namespace ctrl::sim
