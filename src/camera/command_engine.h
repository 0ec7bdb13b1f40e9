#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "camera/byte_channel.h"
#include "camera/clock.h"
#include "camera/command_table.h"
#include "camera/device_model.h"
#include "camera/link_health.h"
#include "camera/online_status.h"
#include "camera/protocol.h"
#include "camera/trace_sink.h"

namespace ctrl {

// Time-outs of the exchanges, in milliseconds.
inline constexpr int kDefaultTimeoutMs = 5000;
inline constexpr int kModelNameTimeoutMs = 1000;
inline constexpr int kDeviceResetTimeoutMs = 1000;
inline constexpr int kCalibrationTimeoutMs = 10000;
inline constexpr int kIdentityTextBytes = 64;

// The only component that talks to the camera: one synchronous register exchange at a time.
// Every exchange drops what is already waiting, sends its request and returns as soon as its value
// line and the "OK>" prompt are in, or when the time-out has passed. Only a line that names the
// requested register and carries one complete number answers; everything else with "=" (an
// earlier exchange's line, a cut-off or glued fragment) is skipped, a leading prompt too.
class Command {
 public:
  Command(ByteChannel& channel, Clock& clock, CommandTable& table, OnlineStatusPublisher& status);

  void set_trace_sink(TraceSink* sink) { trace_ = sink; }
  TraceSink* trace_sink() const { return trace_; }
  void set_channel(ByteChannel& channel) { channel_ = &channel; }
  DeviceModel& device() { return device_; }
  const DeviceModel& device() const { return device_; }
  CommandTable& table() { return table_; }
  Clock& clock() { return clock_; }

  bool ReadRegister(uint32_t reg, int32_t& value, int timeout_ms);
  bool WriteRegister(uint32_t reg, int32_t value, int timeout_ms);
  bool ReadCommand(int command_id, int32_t& value, int timeout_ms);
  bool WriteCommand(int command_id, int32_t value, int timeout_ms);
  // Appends the text of the registers starting at the command's register to `text`.
  bool ReadText(int command_id, int byte_count, std::string& text, int timeout_ms);
  // Writes `text` into a field of `field_bytes` bytes: a text shorter than the field whose length
  // is a multiple of four gets a zero register after it, so no tail of a longer old text is
  // left behind. A field size of 0 writes the text's own registers only.
  bool WriteText(int command_id, std::string_view text, int timeout_ms, int field_bytes = 0);
  // Reads the model name and classifies it; false when the name could not be read.
  // `report_unsupported`: false when the caller has just reported this camera's model.
  bool CheckModel(bool report_unsupported = true);
  // Reads the Device Version text and stores its digits as the version number (0 on failure).
  void UpdateDeviceVersion();
  // The reply grammar applied to one line (settings-file lines): command id, name and value.
  // False as well when the line does not state exactly one whole 32-bit value after its "=".
  bool ParseLine(std::string_view line, int& command_id, std::string& name, int32_t& value) const;

  // Collects bytes already received into complete lines (no waiting); true when at least one
  // line was added. The idle timer calls this.
  bool ReceiveLine();
  void ClearReceive();
  bool HasLine() const { return !received_lines_.empty(); }
  // Removes and returns the oldest received line; empty when there is none.
  std::string TakeLine();
  // The idle drain, every 25 ms between exchanges: traces lines that arrive unasked.
  void OnIdleTimer() { ReceiveLine(); }
  // Sends a raw text (the terminal's typed lines) and traces it.
  void SendText(std::string_view text);
  // Waits up to `timeout_ms` for the next received line (traced like every line) and takes it.
  bool WaitLine(int timeout_ms, std::string& line);

  uint64_t exchanges() const { return exchanges_; }
  // Long operations (bulk reads, LUT transfers, settings loads) ask between exchanges whether
  // the user asked them to stop; they stop as after a failure and leave the camera tidy.
  void set_cancel_check(std::function<bool()> check) { cancel_check_ = std::move(check); }
  bool CancelRequested() const { return cancel_check_ && cancel_check_(); }
  // The link's record since the engine was made or the health was last reset.
  const LinkHealth& health() const { return health_; }
  void ResetHealth() { health_ = LinkHealth(); }

  // Why the last exchange failed: the camera answered with something other than the value and
  // prompt (kRefused), nothing that answered came before the time-out (kNoAnswer), or the line is
  // gone (kLineLost: the port hung up; every exchange fails at once until it is opened again).
  enum class Failure { kNone, kRefused, kNoAnswer, kLineLost };
  Failure last_failure() const { return last_failure_; }
  bool line_lost() const { return channel_->LineLost(); }

  // Bounds against a peer that never stops sending: bytes taken per drain, and complete lines
  // kept between exchanges.
  static constexpr int kMaxDrainBytes = 4096;
  static constexpr size_t kMaxReceivedLines = 256;

 private:
  enum class Wait { kLine, kTimeout, kLineLost };
  // A wait that brought no line: the time-out or the lost line.
  static Failure FailureOf(Wait wait);
  bool Fail(Failure failure);
  bool Exchange(uint32_t reg, const std::string& request, bool is_read, int32_t* value,
                int timeout_ms);
  // Waits for the next complete line until the deadline.
  Wait WaitForLine(int64_t deadline_us, std::string& line);
  // Feeds one received byte to the line assembler.
  bool AcceptByte(char byte);
  void Trace(std::string_view prefix, std::string_view text);

  ByteChannel* channel_;
  Clock& clock_;
  CommandTable& table_;
  OnlineStatusPublisher& status_;
  TraceSink* trace_ = nullptr;
  DeviceModel device_;
  LineAssembler assembler_;
  std::deque<std::string> received_lines_;
  uint64_t exchanges_ = 0;
  LinkHealth health_;
  std::function<bool()> cancel_check_;
  Failure last_failure_ = Failure::kNone;
  bool overflow_reported_ = false;
  // The line being assembled began before an overflow or before a partial line was dropped: it
  // is the tail of an earlier line, not a line the camera said on its own.
  bool assembling_tail_ = false;
};

}  // namespace ctrl
