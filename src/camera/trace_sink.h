#pragma once

#include <string_view>

namespace ctrl {

// Receives the "Tx: " and "Rx: " trace lines of the camera traffic.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void TraceLine(std::string_view line) = 0;
};

}  // namespace ctrl
