#pragma once

#include <map>
#include <string>

namespace ctrl {

// Display name of COM port index i: "COM<i+1>" for 0..kComPortCount-1, "ERROR" otherwise.
std::string ComPortName(int index);

// Which device stands behind each COM port name. The application fills it from the
// settings (Ports/COMn) or the command line; unmapped names fall back to the platform's
// own device for that name.
class ComPortMap {
 public:
  // "COM1".."COM16" → device path; an empty path removes the entry.
  void Set(const std::string& port_name, const std::string& device_path);
  void Clear() { paths_.clear(); }
  // The configured device, else the platform default: /dev/ttyS{n-1} on POSIX,
  // "\\.\COMn" on Windows.
  std::string DevicePath(const std::string& port_name) const;

 private:
  std::map<std::string, std::string> paths_;
};

}  // namespace ctrl
