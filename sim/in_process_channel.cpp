#include "sim/in_process_channel.h"

#include <algorithm>
#include <cstring>

namespace ctrl::sim {

InProcessChannel::InProcessChannel(CameraFrontEnd& camera, ctrl::Clock& clock)
    : camera_(camera), clock_(clock) {}

bool InProcessChannel::Write(std::string_view bytes) {
  camera_.Receive(bytes, clock_.NowUs());
  return true;
}

int InProcessChannel::Read(char* buffer, int length, int timeout_ms) {
  if (length <= 0) return 0;
  const int64_t deadline_us = clock_.NowUs() + int64_t{std::max(timeout_ms, 0)} * 1000;
  int delivered = 0;
  while (true) {
    Collect();
    const size_t available = received_.size() - read_pos_;
    const size_t count = std::min(available, static_cast<size_t>(length - delivered));
    std::memcpy(buffer + delivered, received_.data() + read_pos_, count);
    read_pos_ += count;
    delivered += static_cast<int>(count);
    if (delivered == length) break;

    const int64_t now_us = clock_.NowUs();
    if (now_us >= deadline_us) break;
    const int64_t next_us = camera_.NextDueUs();
    clock_.SleepUntilUs(next_us < 0 ? deadline_us : std::min(next_us, deadline_us));
  }
  if (read_pos_ == received_.size()) {
    received_.clear();
    read_pos_ = 0;
  }
  return delivered;
}

void InProcessChannel::DiscardInput() {
  Collect();
  received_.clear();
  read_pos_ = 0;
}

void InProcessChannel::Collect() {
  std::string due;
  camera_.TakeDue(clock_.NowUs(), due);
  const size_t room = kMaxBufferedBytes - std::min(kMaxBufferedBytes, received_.size() - read_pos_);
  if (read_pos_ > 0) {
    received_.erase(0, read_pos_);
    read_pos_ = 0;
  }
  received_.append(due, 0, std::min(room, due.size()));
}

}  // namespace ctrl::sim
