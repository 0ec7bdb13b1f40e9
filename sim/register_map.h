#pragma once

#include <cstdint>
#include <span>

#include "sim/model_kind.h"

namespace ctrl::sim {

// What a register does inside the simulated camera. Registers whose meaning moves between
// addresses on some models (black level, the two trigger counters) are found by role.
enum class Role {
  kPlain,  // stored value, checked against range or allowed values only
  kDeviceType,
  kScanType,
  kTemperature,
  kVoltage,
  kRefreshDeviceState,
  kLvdsReTraining,
  kDeviceReset,
  kBinning,
  kSensorWidth,
  kOffsetX,
  kWidth,
  kPixelFormat,
  kFieldReset,
  kExposureMode,
  kExposureTime,
  kMeasuredExposure,
  kExposureMin,
  kExposureMax,
  kLinePeriod,
  kLinePeriodMin,
  kLinePeriodMax,
  kMeasuredLinePeriod,
  kMeasuredTriggerPeriod,
  kTriggerDroppedCount,
  kTriggerDroppedClear,
  kTriggerCount,
  kTriggerCountClear,
  kInputTriggerCount,
  kSolCount,
  kEolCount,
  kAxiValidCount,
  kCameraValidCount,
  kLineTriggerMode,
  kLineTriggerDivider,  // divider index on Mono/Color, pre divider on WideMono
  kLineTriggerMultiplier,
  kLineTriggerPostDivider,
  kBlackLevelMode,
  kBlackLevel,
  kFfcUserSetLoad,
  kFfcCalFpn,
  kFfcCalPrnu,
  kWbCalibMode,
  kWbRedGain,
  kWbBlueGain,
  kWbGreenGain,
  kWbCalibStatus,
  kCcmSelector,
  kCcmCoefficient,  // nine registers; the index comes from the address
  kLutSelector,
  kLutSave,
  kLutLoad,
  kLutIndex,
  kLutValue,
  kUserSetSelector,
  kUserSetLoad,
  kUserSetSave,
  kUserSetDefault,
  kClConfiguration,
  kClClock,
  kTapGeometry,
  kBaudRate,
};

enum class Access {
  kReadWrite,
  kReadOnly,
  kAction,  // writing 1 starts it; reading gives the stored value
};

// Model kinds as a bit set: bit k stands for ModelKind k.
inline constexpr uint8_t kOnMono = 1;
inline constexpr uint8_t kOnColor = 2;
inline constexpr uint8_t kOnWide = 4;
inline constexpr uint8_t kOnAll = kOnMono | kOnColor | kOnWide;

inline uint8_t KindBit(ModelKind kind) {
  return static_cast<uint8_t>(1u << static_cast<int>(kind));
}

struct RegisterInfo {
  uint32_t address;
  const char* name;
  uint8_t kinds;
  Access access;
  Role role;
  int32_t min;  // used when `allowed` is empty
  int32_t max;
  std::span<const int32_t> allowed;
  int32_t default_value;
  bool in_user_set;  // copied by user-set load and store
};

// All value registers (not the identity texts). An address can have one entry per kind group.
std::span<const RegisterInfo> RegisterTable();

// The entry of `address` for `kind`, or nullptr. `exists_on_other_kind` tells a register that this
// model lacks from one that no model has.
const RegisterInfo* FindRegister(uint32_t address, ModelKind kind, bool* exists_on_other_kind);

// Identity text fields: 16 registers of 4 characters each from their base address.
struct TextField {
  uint32_t address;
  const char* name;
  bool writable;
};
inline constexpr int kTextRegisters = 16;
inline constexpr int kTextBytes = 4 * kTextRegisters;
std::span<const TextField> TextFields();
// The text field that holds `address`, or nullptr.
const TextField* FindTextField(uint32_t address);

// Register addresses that the behaviour code and the tests name directly.
namespace reg {
inline constexpr uint32_t kVendorName = 0x00000004;
inline constexpr uint32_t kModelName = 0x00000044;
inline constexpr uint32_t kDeviceVersion = 0x000000C4;
inline constexpr uint32_t kSerialNumber = 0x00000144;
inline constexpr uint32_t kUserId = 0x00000184;
inline constexpr uint32_t kUserIdLastWord = 0x000001C0;
inline constexpr uint32_t kSensorId = 0x01600048;
inline constexpr uint32_t kFirmwareVersion = 0x01600088;
inline constexpr uint32_t kFpgaVersion = 0x01600108;
inline constexpr uint32_t kXmlVersion = 0x01600188;
inline constexpr uint32_t kDeviceType = 0x01600000;
inline constexpr uint32_t kScanType = 0x01600004;
inline constexpr uint32_t kTemperatureSelector = 0x01600324;
inline constexpr uint32_t kTemperature = 0x01600328;
inline constexpr uint32_t kVoltageSelector = 0x01600334;
inline constexpr uint32_t kVoltage = 0x01600338;
inline constexpr uint32_t kDeviceReset = 0x01000040;
inline constexpr uint32_t kBinning = 0x01302040;
inline constexpr uint32_t kSensorWidth = 0x01303038;
inline constexpr uint32_t kOffsetX = 0x01303048;
inline constexpr uint32_t kWidth = 0x01303040;
inline constexpr uint32_t kHeight = 0x01303044;
inline constexpr uint32_t kPixelFormat = 0x01401040;
inline constexpr uint32_t kFieldCount = 0x01208000;
inline constexpr uint32_t kTestPattern = 0x01100000;
inline constexpr uint32_t kExposureMode = 0x01001080;
inline constexpr uint32_t kExposureTime = 0x01001010;
inline constexpr uint32_t kMeasuredExposure = 0x01001088;
inline constexpr uint32_t kExposureMin = 0x01001014;
inline constexpr uint32_t kExposureMax = 0x01001018;
inline constexpr uint32_t kLinePeriod = 0x0100101C;
inline constexpr uint32_t kLinePeriodMin = 0x01001020;
inline constexpr uint32_t kLinePeriodMax = 0x01001024;
inline constexpr uint32_t kMeasuredLinePeriod = 0x01001038;
inline constexpr uint32_t kMeasuredTriggerPeriod = 0x01001078;
inline constexpr uint32_t kTriggerDropped = 0x0100107C;
inline constexpr uint32_t kTriggerDroppedClear = 0x01001074;
inline constexpr uint32_t kTriggerCountMonoColor = 0x0100106C;  // input count on WideMono
inline constexpr uint32_t kTriggerCountClear = 0x01001060;
inline constexpr uint32_t kInputTriggerCountMonoColor = 0x01001064;  // trigger count on WideMono
inline constexpr uint32_t kSolCount = 0x01001170;
inline constexpr uint32_t kEolCount = 0x01001174;
inline constexpr uint32_t kAxiValidCount = 0x01206064;
inline constexpr uint32_t kCameraValidCount = 0x01501064;
inline constexpr uint32_t kLineTriggerMode = 0x01001004;
inline constexpr uint32_t kLineTriggerSource = 0x01006044;
inline constexpr uint32_t kLineTriggerDivider = 0x0100604C;
inline constexpr uint32_t kLineTriggerMultiplier = 0x01006060;
inline constexpr uint32_t kLineTriggerPostDivider = 0x01006064;
inline constexpr uint32_t kBlackLevelMode = 0x01209054;
inline constexpr uint32_t kBlackLevel = 0x01209050;
inline constexpr uint32_t kWideBlackLevelMode = 0x0120C054;
inline constexpr uint32_t kWideBlackLevel = 0x0120C050;
inline constexpr uint32_t kDigitalGain = 0x0120604C;
inline constexpr uint32_t kGamma = 0x01203C00;
inline constexpr uint32_t kTdiStage = 0x01106008;
inline constexpr uint32_t kField1Gain = 0x01106010;
inline constexpr uint32_t kFfcSampleFrames = 0x01102080;
inline constexpr uint32_t kAwbLink = 0x01102C18;
inline constexpr uint32_t kFfcCalAreaStartX = 0x01102040;
inline constexpr uint32_t kFfcCalAreaWidth = 0x01102048;
inline constexpr uint32_t kFfcCalAlgorithm = 0x01102C00;
inline constexpr uint32_t kFfcCalFpn = 0x01102084;
inline constexpr uint32_t kFfcCalPrnu = 0x01102088;
inline constexpr uint32_t kCscEnable = 0x01103000;
inline constexpr uint32_t kWbCalibMode = 0x01201080;
inline constexpr uint32_t kWbRedGain = 0x01201040;
inline constexpr uint32_t kWbBlueGain = 0x01201044;
inline constexpr uint32_t kWbGreenGain = 0x01201098;
inline constexpr uint32_t kWbCalibAoiWidth = 0x01201090;
inline constexpr uint32_t kWbCalibStatus = 0x01201C00;
inline constexpr uint32_t kCcmEnable = 0x01202000;
inline constexpr uint32_t kCcmSelector = 0x01202C00;
inline constexpr uint32_t kCcmA11 = 0x01202040;  // A11 ... A33 follow every 4 bytes
inline constexpr uint32_t kLutEnable = 0x01204000;
inline constexpr uint32_t kLutSelector = 0x01204C00;
inline constexpr uint32_t kLutSave = 0x01204C18;
inline constexpr uint32_t kLutLoad = 0x01204C1C;
inline constexpr uint32_t kLutIndex = 0x01204C08;
inline constexpr uint32_t kLutValue = 0x01204C0C;
inline constexpr uint32_t kUserSetSelector = 0x01600310;
inline constexpr uint32_t kUserSetLoad = 0x01600314;
inline constexpr uint32_t kUserSetSave = 0x01600318;
inline constexpr uint32_t kUserSetDefault = 0x01600320;
inline constexpr uint32_t kClConfiguration = 0x01501008;
inline constexpr uint32_t kClClock = 0x01501060;
inline constexpr uint32_t kTapGeometry = 0x01501010;
inline constexpr uint32_t kClFval = 0x01501070;
inline constexpr uint32_t kClDval = 0x01501074;
inline constexpr uint32_t kBaudRate = 0x00010004;
inline constexpr uint32_t kEenOutput = 0x01501110;
}  // namespace reg

// Pixel format codes (bits 16..23 carry the bits per pixel).
namespace pixel {
inline constexpr uint32_t kMono8 = 0x01080001;
inline constexpr uint32_t kMono10p = 0x010A0046;
inline constexpr uint32_t kMono12p = 0x010C0047;
inline constexpr uint32_t kRgb8 = 0x02180014;
}  // namespace pixel

// Baud Rate register codes (Camera Link baud-rate bits).
namespace baud {
inline constexpr uint32_t k9600 = 1;
inline constexpr uint32_t k115200 = 16;
inline constexpr uint32_t k460800 = 64;
}  // namespace baud

}  // namespace ctrl::sim
