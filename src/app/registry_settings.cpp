#include "app/registry_settings.h"

#include <sys/stat.h>

#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace ctrl {
namespace {

constexpr std::array<const char*, RegistrySettings::kValueCount> kValueNames = {
    "Previous Application Shutdown Status",
    "Communication Mode",
    "Baudrate",
    "Com Port No",
    "Cameralink 2000 Dll Index",
    "Cameralink 2001 Dll Index",
    "Cameralink Ver11 Dll Index",
    "Control Mode",
    "Camera File Path",
    "Command Log File Path",
};

bool ValidIndex(int index) {
  return index >= 0 && index < RegistrySettings::kValueCount;
}

// Leading decimal number of a text (optional white space and sign), 0 without digits.
int DecimalPrefix(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string WorkingDirectory() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).string();
  if (error || folder.size() > RegistrySettings::kMaxFolderLength) return "";
  return folder;
}

}  // namespace

RegistrySettings::RegistrySettings(SettingsBackend& backend) : backend_(backend) {
  previous_shutdown_status_ = ReadInt(kShutdownStatus, 0).value;
  WriteInt(kShutdownStatus, 0);
}

std::string RegistrySettings::ValueName(int index) {
  return ValidIndex(index) ? kValueNames[static_cast<size_t>(index)] : "";
}

RegistrySettings::Read<int> RegistrySettings::ReadInt(int index, int default_value) const {
  if (!ValidIndex(index)) return {false, default_value};
  const std::string name = ValueName(index);
  uint32_t stored = 0;
  if (backend_.GetInt(name, &stored)) return {true, static_cast<int>(stored)};
  std::string text;
  if (backend_.GetString(name, &text) && text.size() <= kMaxTextLength) {
    return {true, DecimalPrefix(text)};
  }
  return {false, default_value};
}

RegistrySettings::Read<std::string> RegistrySettings::ReadText(int index) const {
  if (!ValidIndex(index)) return {false, ""};
  std::string text;
  if (!backend_.GetString(ValueName(index), &text) || text.size() > kMaxTextLength) {
    return {false, ""};
  }
  return {true, text};
}

RegistrySettings::Read<std::string> RegistrySettings::ReadFolder(int index) const {
  Read<std::string> stored = ReadText(index);
  struct stat status;
  if (stored.found && ::stat(stored.value.c_str(), &status) == 0) return stored;
  return {false, WorkingDirectory()};
}

bool RegistrySettings::WriteInt(int index, int value) {
  if (!ValidIndex(index)) return false;
  return backend_.SetInt(ValueName(index), static_cast<uint32_t>(value));
}

bool RegistrySettings::WriteText(int index, const std::string& text) {
  if (!ValidIndex(index)) return false;
  return backend_.SetString(ValueName(index), text);
}

void RegistrySettings::MarkNormalShutdown() {
  WriteInt(kShutdownStatus, 1);
}

namespace {
constexpr char kAutoReconnectName[] = "Settings/AutoReconnect";
}  // namespace

bool RegistrySettings::AutoReconnect() const {
  uint32_t stored = 1;
  return !backend_.GetInt(kAutoReconnectName, &stored) || stored != 0;
}

bool RegistrySettings::WriteAutoReconnect(bool on) {
  return backend_.SetInt(kAutoReconnectName, on ? 1 : 0);
}

std::string RegistrySettings::ReadPortDevice(const std::string& port_name) const {
  std::string path;
  if (!backend_.GetString("Ports/" + port_name, &path)) return "";
  return path;
}

bool RegistrySettings::WritePortDevice(const std::string& port_name,
                                       const std::string& device_path) {
  return backend_.SetString("Ports/" + port_name, device_path);
}

bool RegistrySettings::ReadFastTransfers() const {
  uint32_t fast = 0;
  return backend_.GetInt("Settings/FastTransfers", &fast) && fast != 0;
}

bool RegistrySettings::WriteFastTransfers(bool fast) {
  return backend_.SetInt("Settings/FastTransfers", fast ? 1 : 0);
}

std::string FolderOfPath(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? "" : path.substr(0, cut);
}

}  // namespace ctrl
