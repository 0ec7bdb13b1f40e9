// The simulated camera's request parser, fed any byte stream in any chunking and with any set
// of fault switches: camsim serves whatever a terminal program or script types at it.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ctrl::sim;
  if (size < 2) return 0;
  static const char* const kModels[] = {"QX-4096M-PCL", "QX-4096TR-PCL", "QX-8192M-PCL",
                                        "VR5300-KQ08-630C-07"};
  const uint8_t switches = data[0];
  // A copy of a fresh camera is much cheaper than building one.
  static CameraModel fresh[4] = {CameraModel(kModels[0]), CameraModel(kModels[1]),
                                 CameraModel(kModels[2]), CameraModel(kModels[3])};
  static CameraModel model;
  model = fresh[data[1] % 4];
  CameraFrontEnd front_end(model);
  Faults& faults = front_end.faults();
  faults.drop_every_nth_reply = switches & 3;
  faults.echo_requests = (switches & 4) != 0;
  faults.trailing_space_after_prompt = (switches & 8) != 0;
  faults.garbage_between_replies = (switches & 16) != 0;
  faults.overlong_line = (switches & 32) != 0;
  faults.split_into_single_bytes = (switches & 64) != 0;
  faults.emulate_line_speed = (switches & 128) != 0;

  // Bytes 0xF0..0xFF end a chunk and let time pass; everything else is request text.
  int64_t now_us = 0;
  std::string chunk;
  std::string out;
  auto flush = [&] {
    front_end.Receive(chunk, now_us);
    chunk.clear();
    front_end.TakeDue(now_us, out);
  };
  for (size_t i = 2; i < size; ++i) {
    if (data[i] >= 0xF0) {
      flush();
      now_us += int64_t{data[i] - 0xEF} * 997;
    } else {
      chunk.push_back(static_cast<char>(data[i]));
    }
  }
  flush();
  const int64_t next = front_end.NextDueUs();
  FUZZ_CHECK(next == -1 || next >= 0);
  front_end.TakeDue(INT64_MAX, out);
  FUZZ_CHECK(front_end.NextDueUs() == -1);
  FUZZ_CHECK(front_end.replies_dropped() <= front_end.requests_served());
  // Every served and not dropped request ends with a prompt line.
  size_t prompts = 0;
  for (size_t pos = out.find("OK>"); pos != std::string::npos; pos = out.find("OK>", pos + 1)) {
    ++prompts;
  }
  if (!faults.echo_requests && !faults.garbage_between_replies) {
    FUZZ_CHECK(prompts == front_end.requests_served() - front_end.replies_dropped());
  }
  return 0;
}
