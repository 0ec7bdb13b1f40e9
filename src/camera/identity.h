#pragma once

#include <optional>
#include <string>

#include "camera/command_engine.h"
#include "ctrl_version.h"

namespace ctrl {

// The connected camera's identity as the information dialog shows it. A field stays empty
// (std::nullopt) when its read failed; the firmware version read is the gate for all others.
struct DeviceIdentity {
  std::optional<std::string> vendor_name;
  std::optional<std::string> model_name;
  std::optional<std::string> serial_number;
  std::optional<int32_t> device_type;
  std::optional<int32_t> scan_type;
  std::optional<std::string> sensor_id;
  std::optional<std::string> device_version;
  std::optional<std::string> fpga_version;
  std::optional<std::string> firmware_version;
  std::optional<std::string> xml_version;
  std::optional<std::string> user_id;
};

inline constexpr const char* kToolTitle = "QX-4096M_TR-PCL QX-8192M-PCL Control Tool";
inline constexpr const char* kToolVersion = CTRL_VERSION;
inline constexpr const char* kTextPlaceholder = "?";
inline constexpr const char* kVersionPlaceholder = "?.?.?.?";
inline constexpr uint32_t kUserIdLastRegister = 0x000001C0;
inline constexpr int kMaxUserIdLength = 64;

// Reads the identity in the dialog's order: firmware version first (when it fails nothing else
// is read), then the model through CheckModel, serial number, FPGA version, user ID, device
// version, vendor, device type, scan type, sensor ID, XML version.
DeviceIdentity ReadDeviceIdentity(Command& engine);

// "Transmitter", "Receiver", "Transceiver", "Peripheral"; "Unkown" otherwise or when unread.
std::string DeviceTypeText(std::optional<int32_t> value);
// "Areascan", "Linescan", "Areascan3D", "Linescan3D"; "Unkown" otherwise or when unread.
std::string ScanTypeText(std::optional<int32_t> value);

// The user ID editor's save: the ID registers only, with the editor's messages.
bool WriteUserId(Command& engine, const std::string& text);
// The serial number editor's save, with its messages.
bool WriteSerialNumber(Command& engine, const std::string& text);
// What the serial number editor saves from its ten one-character boxes: the first character of
// each box in order; empty boxes contribute nothing.
std::string SerialFromBoxes(const std::string (&boxes)[10]);

// The information dialog's save: writes the user ID and refreshes the last ID register; reports through the notifier with the
// dialog's texts. True when the text was written.
bool SaveUserId(Command& engine, const std::string& text);

}  // namespace ctrl
