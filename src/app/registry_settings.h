#pragma once

#include <string>

#include "app/settings_backend.h"

namespace ctrl {

// The ten values that survive between runs, addressed by index, over a settings back end.
// Failures are silent: reads fall back to their defaults, writes are dropped.
class RegistrySettings {
 public:
  enum Index {
    kShutdownStatus = 0,
    kCommunicationMode = 1,
    kBaudrate = 2,
    kComPortNo = 3,
    kCameralink2000DllIndex = 4,
    kCameralink2001DllIndex = 5,
    kCameralinkVer11DllIndex = 6,
    kControlMode = 7,
    kCameraFilePath = 8,
    kCommandLogFilePath = 9,
  };
  static constexpr int kValueCount = 10;
  // Longest text value that can be read back.
  static constexpr size_t kMaxTextLength = 511;
  // Longest working directory offered as the folder fallback.
  static constexpr size_t kMaxFolderLength = 255;

  template <typename T>
  struct Read {
    bool found;
    T value;
  };

  // Reads the previous shutdown status (missing counts as 0) and marks this run as in
  // progress by writing 0.
  explicit RegistrySettings(SettingsBackend& backend);
  RegistrySettings(const RegistrySettings&) = delete;
  RegistrySettings& operator=(const RegistrySettings&) = delete;

  // "Previous Application Shutdown Status", "Communication Mode", ...; empty outside 0..9.
  static std::string ValueName(int index);

  // An integer value is taken as stored; a text value is converted from its leading decimal
  // digits. Outside 0..9 or when unreadable: {false, default_value}.
  Read<int> ReadInt(int index, int default_value) const;
  // Texts longer than 511 characters count as missing.
  Read<std::string> ReadText(int index) const;
  // The stored folder when it exists on disk; otherwise the current working directory
  // (empty if longer than 255 characters) with found = false.
  Read<std::string> ReadFolder(int index) const;
  bool WriteInt(int index, int value);
  bool WriteText(int index, const std::string& text);

  bool PreviousRunEndedNormally() const { return previous_shutdown_status_ == 1; }
  // The last write of a normal exit: shutdown status 1.
  void MarkNormalShutdown();

  // Whether the main window reopens a port whose line went away ("Settings/AutoReconnect"); on
  // unless stored off.
  bool AutoReconnect() const;
  bool WriteAutoReconnect(bool on);

  // Device path configured for a COM port name under "Ports/<name>", empty when none.
  std::string ReadPortDevice(const std::string& port_name) const;
  bool WritePortDevice(const std::string& port_name, const std::string& device_path);

  // "Settings/FastTransfers": long transfers run at the fastest rate; off when not stored.
  bool ReadFastTransfers() const;
  bool WriteFastTransfers(bool fast);

 private:
  SettingsBackend& backend_;
  int previous_shutdown_status_ = 0;
};

// The folder part of a path: everything before its last '/' or '\'; empty when it has none.
std::string FolderOfPath(const std::string& path);

}  // namespace ctrl
