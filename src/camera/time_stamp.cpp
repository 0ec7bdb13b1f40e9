#include "camera/time_stamp.h"

#include <cstdio>

namespace ctrl {

std::string TerminalTimeStamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto ms_since_epoch = duration_cast<milliseconds>(when.time_since_epoch()).count();
  const long long ms_of_hour = ((ms_since_epoch % 3'600'000) + 3'600'000) % 3'600'000;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%03d  ", static_cast<int>(ms_of_hour / 60'000),
                static_cast<int>(ms_of_hour / 1000 % 60), static_cast<int>(ms_of_hour % 1000));
  return text;
}

}  // namespace ctrl
