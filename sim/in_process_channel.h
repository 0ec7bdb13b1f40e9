#pragma once

#include <string>
#include <string_view>

#include "camera/byte_channel.h"
#include "camera/clock.h"
#include "sim/front_end.h"

namespace ctrl::sim {

// The simulated camera as the engine's byte channel, without any port in between. Waiting goes
// through the injected clock, so under a FakeClock a time-out costs no real time. Not
// thread-safe: the engine uses it from one thread.
class InProcessChannel final : public ctrl::ByteChannel {
 public:
  static constexpr size_t kMaxBufferedBytes = 65536;  // received but unread; more is lost

  InProcessChannel(CameraFrontEnd& camera, ctrl::Clock& clock);

  // Feeds the camera at clock.NowUs().
  bool Write(std::string_view bytes) override;
  // Waits via clock.SleepUntilUs(min(next due, deadline)) until `length` bytes or the time-out.
  int Read(char* buffer, int length, int timeout_ms) override;
  // Drops the bytes already due.
  void DiscardInput() override;

 private:
  void Collect();

  CameraFrontEnd& camera_;
  ctrl::Clock& clock_;
  std::string received_;
  size_t read_pos_ = 0;
};

}  // namespace ctrl::sim
