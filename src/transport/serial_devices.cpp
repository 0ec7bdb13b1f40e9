#include "transport/serial_devices.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ctrl {
namespace {

// "/dev/ttyUSB10" -> {"/dev/ttyUSB", "10"}.
std::pair<std::string_view, std::string_view> SplitTrailingNumber(std::string_view node) {
  std::size_t digits = node.size();
  while (digits > 0 && node[digits - 1] >= '0' && node[digits - 1] <= '9') --digits;
  return {node.substr(0, digits), node.substr(digits)};
}

bool Names(const SerialDevice& device, const std::string& path) {
  return device.device_node == path ||
         std::find(device.by_id.begin(), device.by_id.end(), path) != device.by_id.end() ||
         std::find(device.by_path.begin(), device.by_path.end(), path) != device.by_path.end();
}

// Where `path` leads through its links: at most 40 of them, as in the kernel's own lookup.
// Empty when a link is broken or loops. Followed link by link instead of with realpath(), which
// umockdev's preloaded library (the tests' fake /dev) does not survive.
std::string LinkTarget(std::filesystem::path path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) {
      return error ? "" : path.lexically_normal().string();
    }
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) return "";
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return "";
}

}  // namespace

bool DeviceNodeLess(const std::string& a, const std::string& b) {
  auto [a_stem, a_number] = SplitTrailingNumber(a);
  auto [b_stem, b_number] = SplitTrailingNumber(b);
  if (a_stem != b_stem) return a_stem < b_stem;
  // Without leading zeros the shorter number is the smaller one.
  const std::size_t a_zeros = std::min(a_number.find_first_not_of('0'), a_number.size());
  const std::size_t b_zeros = std::min(b_number.find_first_not_of('0'), b_number.size());
  const std::string_view a_value = a_number.substr(a_zeros);
  const std::string_view b_value = b_number.substr(b_zeros);
  if (a_value.size() != b_value.size()) return a_value.size() < b_value.size();
  if (a_value != b_value) return a_value < b_value;
  return a < b;
}

const SerialDevice* FindSerialDevice(const std::vector<SerialDevice>& devices,
                                     const std::string& path) {
  if (path.empty()) return nullptr;
  for (const SerialDevice& device : devices) {
    if (Names(device, path)) return &device;
  }
  // A link of its own ("/dev/ttyCAM" made by a udev rule) leads to one of the nodes.
  const std::string target = LinkTarget(path);
  if (target.empty() || target == path) return nullptr;
  for (const SerialDevice& device : devices) {
    if (device.device_node == target) return &device;
  }
  return nullptr;
}

}  // namespace ctrl
