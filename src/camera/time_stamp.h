#pragma once

#include <chrono>
#include <string>

namespace ctrl {

// The terminal's time stamp: minute, second and millisecond of the UTC time, then two spaces
// ("05:07:042  " at 14:05:07.042). The hour is not shown.
std::string TerminalTimeStamp(std::chrono::system_clock::time_point when);

}  // namespace ctrl
