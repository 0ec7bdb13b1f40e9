#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "camera/device_model.h"

namespace ctrl {

struct ModelProfile;

// Command ids that other parts name directly.
namespace cmd {
inline constexpr int kDeviceType = 0;
inline constexpr int kDeviceScanType = 1;
inline constexpr int kVendorName = 2;
inline constexpr int kModelName = 3;
inline constexpr int kDeviceVersion = 4;
inline constexpr int kFirmwareVersion = 5;
inline constexpr int kSerialNumber = 6;
inline constexpr int kUserId = 7;
inline constexpr int kSensorId = 8;
inline constexpr int kFpgaVersion = 9;
inline constexpr int kXmlVersion = 10;
inline constexpr int kDeviceTemperature = 12;
inline constexpr int kDeviceVoltage = 14;
inline constexpr int kDeviceReset = 17;
inline constexpr int kSensorWidth = 20;
inline constexpr int kPixelFormat = 24;
inline constexpr int kExposureTime = 30;
inline constexpr int kLineTriggerDivider = 51;
inline constexpr int kLineTriggerPreDivider = 52;
inline constexpr int kFfcCalFpn = 77;
inline constexpr int kFfcCalPrnu = 78;
inline constexpr int kWbCalibMode = 86;
inline constexpr int kCcmSelector = 94;
inline constexpr int kFirstCcmCoefficient = 95;  // A11; A12..A33 follow
inline constexpr int kLutSelector = 105;
inline constexpr int kLutSave = 106;  // the camera copies its working LUT into flash
inline constexpr int kLutLoad = 107;  // the camera copies the flash LUT back
inline constexpr int kLutIndex = 108;
inline constexpr int kLutValue = 109;
inline constexpr int kUserSetArea = 110;
inline constexpr int kUserSetLoad = 111;
inline constexpr int kUserSetStore = 112;
inline constexpr int kBaudRate = 119;
}  // namespace cmd

// The camera's register map: one entry per feature, keyed by command id 0..123. The address
// text ("0x" and eight upper-case hex digits) is the identity of a command wherever text is
// compared (reply lines, settings-file lines).
class CommandTable {
 public:
  static constexpr int kCount = 124;

  CommandTable();

  // The caller guarantees 0 <= id < kCount.
  std::string GetCommandAddress(int command_id) const;
  // False and no change for an id outside the table.
  bool SetCommandAddress(int command_id, std::string_view address_text);
  uint32_t GetCommandRegister(int command_id) const;
  // First entry whose address text equals `text` exactly; on WideMono the shared line-trigger
  // register names the pre divider (52) instead of the divider (51). -1 when nothing matches.
  int FindCommandByAddress(std::string_view text, ModelKind kind) const;
  // The register moves of a kind (only the wide models move any); never undone during a run.
  void ApplyAddressMoves(const ModelProfile& profile);
  void ApplyWideModelOverride();
  // Restores the built-in addresses (a fresh run; used by tests).
  void Reset();

  // Whether a camera of `kind` has the command. Commands 95..103 on colour cameras need the
  // CCM Selector's selection index; -1 stands for no selection.
  static bool IsCommandAvailable(int command_id, ModelKind kind, int ccm_selector_index);
  // The feature label ("Exposure Time", "Device Reset"); empty for an id outside the table.
  static std::string_view FeatureLabel(int command_id);
  // Command id of a feature label, compared without regard to case; -1 when none.
  static int FindCommandByLabel(std::string_view label);

 private:
  std::array<std::string, kCount> addresses_;
};

// The process-wide table.
CommandTable& Commands();

}  // namespace ctrl
