#include "camera/identity.h"

#include "camera/notifier.h"

namespace ctrl {
namespace {

std::optional<std::string> ReadTextField(Command& engine, int command_id) {
  std::string text;
  if (!engine.ReadText(command_id, kIdentityTextBytes, text, kDefaultTimeoutMs)) {
    return std::nullopt;
  }
  return text;
}

std::optional<int32_t> ReadNumber(Command& engine, int command_id) {
  int32_t value = 0;
  if (!engine.ReadCommand(command_id, value, kDefaultTimeoutMs)) return std::nullopt;
  return value;
}

}  // namespace

DeviceIdentity ReadDeviceIdentity(Command& engine) {
  DeviceIdentity id;
  id.firmware_version = ReadTextField(engine, cmd::kFirmwareVersion);
  if (!id.firmware_version) return id;
  if (engine.CheckModel()) id.model_name = engine.device().name;
  id.serial_number = ReadTextField(engine, cmd::kSerialNumber);
  id.fpga_version = ReadTextField(engine, cmd::kFpgaVersion);
  id.user_id = ReadTextField(engine, cmd::kUserId);
  id.device_version = ReadTextField(engine, cmd::kDeviceVersion);
  id.vendor_name = ReadTextField(engine, cmd::kVendorName);
  id.device_type = ReadNumber(engine, cmd::kDeviceType);
  id.scan_type = ReadNumber(engine, cmd::kDeviceScanType);
  id.sensor_id = ReadTextField(engine, cmd::kSensorId);
  id.xml_version = ReadTextField(engine, cmd::kXmlVersion);
  return id;
}

std::string DeviceTypeText(std::optional<int32_t> value) {
  static const char* const kTexts[] = {"Transmitter", "Receiver", "Transceiver", "Peripheral"};
  if (!value || *value < 0 || *value > 3) return "Unkown";
  return kTexts[*value];
}

std::string ScanTypeText(std::optional<int32_t> value) {
  static const char* const kTexts[] = {"Areascan", "Linescan", "Areascan3D", "Linescan3D"};
  if (!value || *value < 0 || *value > 3) return "Unkown";
  return kTexts[*value];
}

namespace {

bool WriteUserIdRegisters(Command& engine, const std::string& text) {
  Notifier& notifier = CurrentNotifier();
  if (text.size() > static_cast<size_t>(kMaxUserIdLength)) {
    notifier.ShowMessage("User ID string is too long !!", "", MessageIcon::Error);
    return false;
  }
  if (!engine.WriteText(cmd::kUserId, text, kDefaultTimeoutMs, kIdentityTextBytes)) {
    notifier.ShowMessage("Couldn't write the User ID.", "", MessageIcon::Error);
    return false;
  }
  return true;
}

void ReportUserIdWritten(const std::string& text) {
  CurrentNotifier().ShowMessage("Writing the User ID \"" + text + "\" has been completed.", "",
                                MessageIcon::Information);
}

}  // namespace

bool WriteUserId(Command& engine, const std::string& text) {
  if (!WriteUserIdRegisters(engine, text)) return false;
  ReportUserIdWritten(text);
  return true;
}

bool WriteSerialNumber(Command& engine, const std::string& text) {
  if (!engine.WriteText(cmd::kSerialNumber, text, kDefaultTimeoutMs, kIdentityTextBytes)) {
    CurrentNotifier().ShowMessage("Couldn't save the Device Serial ID.", "", MessageIcon::Error);
    return false;
  }
  CurrentNotifier().ShowMessage("Completed saving Device Serial ID: " + text + ".", "",
                                MessageIcon::Information);
  return true;
}

std::string SerialFromBoxes(const std::string (&boxes)[10]) {
  std::string serial;
  for (const std::string& box : boxes) {
    if (!box.empty()) serial.push_back(box[0]);
  }
  return serial;
}

bool SaveUserId(Command& engine, const std::string& text) {
  if (!WriteUserIdRegisters(engine, text)) return false;
  int32_t last = 0;
  if (engine.ReadRegister(kUserIdLastRegister, last, kDefaultTimeoutMs)) {
    engine.WriteRegister(kUserIdLastRegister, last, kDefaultTimeoutMs);
  }
  ReportUserIdWritten(text);
  return true;
}

}  // namespace ctrl
