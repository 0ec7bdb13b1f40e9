#pragma once

#include <climits>
#include <string>

#include "camera/byte_channel.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"

namespace ctrl::test {

// Sends one request and collects the reply up to and including the "OK>" prompt line; returns
// what came before the time-out otherwise.
inline std::string Exchange(ByteChannel& channel, const std::string& request,
                            int timeout_ms = 2000) {
  channel.Write(request);
  std::string reply;
  char byte;
  while (reply.size() < 4096 && channel.Read(&byte, 1, timeout_ms) == 1) {
    reply.push_back(byte);
    if (reply.size() >= 5 && reply.compare(reply.size() - 5, 5, "OK>\r\n") == 0) break;
  }
  return reply;
}

// What a fresh camera of that model answers to the request, straight from the simulator.
inline std::string FreshCameraReply(const std::string& model, const std::string& request) {
  sim::CameraModel camera(model);
  sim::CameraFrontEnd front_end(camera);
  front_end.Receive(request, 0);
  std::string reply;
  front_end.TakeDue(INT64_MAX, reply);
  return reply;
}

inline const char* kReadModelName = "rd 0x00000044\r\n";
inline const char* kReadModelNameSecondWord = "rd 0x00000048\r\n";

}  // namespace ctrl::test
