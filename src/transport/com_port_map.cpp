#include "transport/com_port_map.h"

#include <cstdlib>

#include "transport/connection_facts.h"

namespace ctrl {

std::string ComPortName(int index) {
  if (index < 0 || index >= kComPortCount) return "ERROR";
  return "COM" + std::to_string(index + 1);
}

void ComPortMap::Set(const std::string& port_name, const std::string& device_path) {
  if (device_path.empty()) {
    paths_.erase(port_name);
  } else {
    paths_[port_name] = device_path;
  }
}

std::string ComPortMap::DevicePath(const std::string& port_name) const {
  auto found = paths_.find(port_name);
  if (found != paths_.end()) return found->second;
#ifdef _WIN32
  return "\\\\.\\" + port_name;
#else
  // "COMn" is the n-th serial device, counted from ttyS0.
  if (port_name.size() > 3 && port_name.compare(0, 3, "COM") == 0) {
    const int number = std::atoi(port_name.c_str() + 3);
    if (number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
  }
  return "/dev/" + port_name;
#endif
}

}  // namespace ctrl
