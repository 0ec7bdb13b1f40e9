#pragma once

#include <optional>
#include <string>

#include "camera/clock.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"

namespace ctrl::sim::testing {

// A simulated camera wired to an in-process channel on a fake clock, with the line handling a
// host needs to talk to it.
class SimSession {
 public:
  explicit SimSession(const std::string& model_name = "QX-4096M-PCL", int64_t start_us = 1'000'000)
      : clock(start_us), model(model_name), camera(model), channel(camera, clock) {}

  // One line without its CR LF, or nothing when no LF arrived within the time-out.
  std::optional<std::string> ReadLine(int timeout_ms = 5000) {
    std::string line;
    const int64_t deadline_us = clock.NowUs() + int64_t{timeout_ms} * 1000;
    while (clock.NowUs() < deadline_us) {
      char byte = 0;
      const int64_t left_ms = (deadline_us - clock.NowUs() + 999) / 1000;
      if (channel.Read(&byte, 1, static_cast<int>(left_ms)) != 1) break;
      if (byte == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      line.push_back(byte);
    }
    return std::nullopt;
  }

  struct Reply {
    std::optional<std::string> first;
    std::optional<std::string> second;
  };

  Reply Exchange(const std::string& request, int timeout_ms = 5000) {
    channel.Write(request);
    Reply reply;
    reply.first = ReadLine(timeout_ms);
    if (reply.first) reply.second = ReadLine(timeout_ms);
    return reply;
  }

  FakeClock clock;
  CameraModel model;
  CameraFrontEnd camera;
  InProcessChannel channel;
};

}  // namespace ctrl::sim::testing
