#include "sim/register_map.h"

#include <array>

namespace ctrl::sim {
namespace {

constexpr int32_t kOffOn[] = {0, 1};
constexpr int32_t kTemperatureSelectors[] = {1};  // FPGA
constexpr int32_t kVoltageSelectors[] = {0};      // VCCIN
constexpr int32_t kBinnings[] = {1, 2};
constexpr int32_t kFieldCounts[] = {1, 2};
constexpr int32_t kMonoTestPatterns[] = {0, 1, 2, 3, 5};
constexpr int32_t kColorTestPatterns[] = {0, 1, 2, 3, 5, 7};
constexpr int32_t kTriggerSources[] = {1, 2, 3, 4};
constexpr int32_t kMultipliers[] = {1, 2, 4, 8, 16, 32};
constexpr int32_t kSampleFrames[] = {1024, 2048};
constexpr int32_t kFfcAlgorithms[] = {1, 2, 3, 4, 5};
constexpr int32_t kWbCalibModes[] = {0, 2, 3};  // Manual, Once, Off
constexpr int32_t kMonoLutSelectors[] = {0};
constexpr int32_t kColorLutSelectors[] = {0, 1, 2};  // green, blue, red
constexpr int32_t kMonoPixelFormats[] = {static_cast<int32_t>(pixel::kMono8),
                                         static_cast<int32_t>(pixel::kMono10p),
                                         static_cast<int32_t>(pixel::kMono12p)};
constexpr int32_t kColorPixelFormats[] = {static_cast<int32_t>(pixel::kMono8),
                                          static_cast<int32_t>(pixel::kRgb8)};
constexpr int32_t kMonoClConfigurations[] = {0, 2, 3};  // Base, Full, EightyBit
constexpr int32_t kOtherClConfigurations[] = {0, 3};
constexpr int32_t kMonoTapGeometries[] = {2, 3, 8, 10};
constexpr int32_t kColorTapGeometries[] = {1, 2, 3, 10};
constexpr int32_t kClClocks[] = {40, 50, 60, 65, 70, 80, 85};
constexpr int32_t kBaudRates[] = {baud::k9600, baud::k115200, baud::k460800};

constexpr std::span<const int32_t> kNone;
constexpr uint8_t kOnMonoColor = kOnMono | kOnColor;
constexpr uint8_t kOnMonoWide = kOnMono | kOnWide;

constexpr RegisterInfo Value(uint32_t address, const char* name, uint8_t kinds, Role role,
                             int32_t min, int32_t max, int32_t default_value,
                             bool in_user_set = true) {
  return {address, name, kinds, Access::kReadWrite, role,
          min,     max,  kNone, default_value,      in_user_set};
}

constexpr RegisterInfo Choice(uint32_t address, const char* name, uint8_t kinds, Role role,
                              std::span<const int32_t> allowed, int32_t default_value,
                              bool in_user_set = true) {
  return {address, name, kinds,   Access::kReadWrite, role,
          0,       0,    allowed, default_value,      in_user_set};
}

constexpr RegisterInfo ReadOnly(uint32_t address, const char* name, uint8_t kinds, Role role,
                                int32_t default_value = 0) {
  return {address, name, kinds, Access::kReadOnly, role, 0, 0, kNone, default_value, false};
}

constexpr RegisterInfo Action(uint32_t address, const char* name, uint8_t kinds, Role role,
                              int32_t read_value = 0) {
  return {address, name, kinds, Access::kAction, role, 0, 0, kNone, read_value, false};
}

// Defaults that depend on the model (sensor width, area widths, pixel format, Camera Link
// geometry) are filled in by CameraModel; the values here are those of a 4096-pixel mono camera.
const RegisterInfo kRegisters[] = {
    ReadOnly(reg::kDeviceType, "Device Type", kOnAll, Role::kDeviceType, 0),
    ReadOnly(reg::kScanType, "Device Scan Type", kOnAll, Role::kScanType, 1),
    Choice(reg::kTemperatureSelector, "Device Temperature Selector", kOnAll, Role::kPlain,
           kTemperatureSelectors, 1, false),
    ReadOnly(reg::kTemperature, "Device Temperature", kOnAll, Role::kTemperature),
    Choice(reg::kVoltageSelector, "Device Voltage Selector", kOnAll, Role::kPlain,
           kVoltageSelectors, 0, false),
    ReadOnly(reg::kVoltage, "Device Voltage", kOnAll, Role::kVoltage),
    Action(0x01600218, "Refresh Device State", kOnAll, Role::kRefreshDeviceState),
    Action(0x01600410, "LVDS Re Training", kOnAll, Role::kLvdsReTraining),
    Action(reg::kDeviceReset, "Device Reset", kOnAll, Role::kDeviceReset),
    Choice(reg::kBinning, "Binning Horizontal", kOnAll, Role::kBinning, kBinnings, 1),
    Choice(0x01302044, "Binning Horizontal Mode", kOnAll, Role::kPlain, kOffOn, 0),
    ReadOnly(reg::kSensorWidth, "Sensor Width", kOnAll, Role::kSensorWidth, 4096),
    Value(reg::kOffsetX, "Offset X", kOnAll, Role::kOffsetX, 0, 8128, 0),
    Value(reg::kWidth, "Width", kOnAll, Role::kWidth, 32, 8192, 4096),
    Value(reg::kHeight, "Height", kOnAll, Role::kPlain, 1, 1, 1),
    Choice(reg::kPixelFormat, "Pixel Format", kOnMonoWide, Role::kPixelFormat, kMonoPixelFormats,
           static_cast<int32_t>(pixel::kMono8)),
    Choice(reg::kPixelFormat, "Pixel Format", kOnColor, Role::kPixelFormat, kColorPixelFormats,
           static_cast<int32_t>(pixel::kRgb8)),
    Choice(0x01301000, "Reverse X", kOnAll, Role::kPlain, kOffOn, 0),
    Choice(reg::kFieldCount, "Field Count", kOnWide, Role::kPlain, kFieldCounts, 1),
    Action(0x01208004, "Field Rset", kOnAll, Role::kFieldReset),
    Choice(reg::kTestPattern, "Test Pattern", kOnMonoWide, Role::kPlain, kMonoTestPatterns, 0),
    Choice(reg::kTestPattern, "Test Pattern", kOnColor, Role::kPlain, kColorTestPatterns, 0),
    Choice(reg::kExposureMode, "Exposure Mode", kOnAll, Role::kExposureMode, kOffOn, 1),
    Value(reg::kExposureTime, "Exposure Time", kOnAll, Role::kExposureTime, 0, INT32_MAX, 4000),
    ReadOnly(reg::kMeasuredExposure, "Measured Exposure Time", kOnAll, Role::kMeasuredExposure),
    ReadOnly(reg::kExposureMin, "Exposure Time Min", kOnAll, Role::kExposureMin),
    ReadOnly(reg::kExposureMax, "Exposure Time Max", kOnAll, Role::kExposureMax),
    Value(reg::kLinePeriod, "Internal Line Rate", kOnAll, Role::kLinePeriod, 0, INT32_MAX, 8000),
    ReadOnly(reg::kLinePeriodMin, "Linetime MIN", kOnAll, Role::kLinePeriodMin),
    ReadOnly(reg::kLinePeriodMax, "Linetime MAX", kOnAll, Role::kLinePeriodMax),
    ReadOnly(reg::kMeasuredLinePeriod, "Measured Line Rate", kOnAll, Role::kMeasuredLinePeriod),
    ReadOnly(reg::kMeasuredTriggerPeriod, "Measured Ext Trigger Rate", kOnAll,
             Role::kMeasuredTriggerPeriod),
    ReadOnly(reg::kTriggerDropped, "Ext Trigger Dropped", kOnAll, Role::kTriggerDroppedCount),
    Action(reg::kTriggerDroppedClear, "Ext Trigger Dropped Clear", kOnAll,
           Role::kTriggerDroppedClear),
    // The wide models swap the two trigger counters between these addresses.
    ReadOnly(reg::kTriggerCountMonoColor, "Ext Trigger Count", kOnMonoColor, Role::kTriggerCount),
    ReadOnly(reg::kTriggerCountMonoColor, "Input Ext Trigger Count", kOnWide,
             Role::kInputTriggerCount),
    Action(reg::kTriggerCountClear, "Ext Trigger Count Clear", kOnAll, Role::kTriggerCountClear),
    ReadOnly(reg::kInputTriggerCountMonoColor, "Input Ext Trigger Count", kOnMonoColor,
             Role::kInputTriggerCount),
    ReadOnly(reg::kInputTriggerCountMonoColor, "Ext Trigger Count", kOnWide, Role::kTriggerCount),
    ReadOnly(reg::kSolCount, "SOL Count", kOnAll, Role::kSolCount),
    ReadOnly(reg::kEolCount, "EOL Count", kOnAll, Role::kEolCount),
    ReadOnly(reg::kAxiValidCount, "axidgtvalid Count", kOnAll, Role::kAxiValidCount),
    ReadOnly(reg::kCameraValidCount, "Cameratvalid Count", kOnAll, Role::kCameraValidCount),
    Choice(reg::kLineTriggerMode, "Line Trigger Mode", kOnAll, Role::kLineTriggerMode, kOffOn, 0),
    Choice(reg::kLineTriggerSource, "Line Trigger Source", kOnAll, Role::kPlain, kTriggerSources,
           1),
    Value(0x01006048, "Line Trigger Activation", kOnAll, Role::kPlain, 0, 3, 0),
    Value(reg::kLineTriggerDivider, "Line Trigger Divider", kOnMonoColor, Role::kLineTriggerDivider,
          0, 7, 0),
    Value(reg::kLineTriggerDivider, "Line Trigger Pre Divider", kOnWide, Role::kLineTriggerDivider,
          0, 39, 0),
    Choice(reg::kLineTriggerMultiplier, "Line Trigger Multiplier", kOnWide,
           Role::kLineTriggerMultiplier, kMultipliers, 1),
    Value(reg::kLineTriggerPostDivider, "Line Trigger Post Divider", kOnWide,
          Role::kLineTriggerPostDivider, 1, 40, 1),
    // The wide models keep the black-level pair at other addresses.
    Choice(reg::kBlackLevelMode, "Black Level Mode", kOnMonoColor, Role::kBlackLevelMode, kOffOn,
           0),
    Value(reg::kBlackLevel, "Black Level", kOnMonoColor, Role::kBlackLevel, -4095, 4095, 0),
    Choice(reg::kWideBlackLevelMode, "Black Level Mode", kOnWide, Role::kBlackLevelMode, kOffOn, 0),
    Value(reg::kWideBlackLevel, "Black Level", kOnWide, Role::kBlackLevel, -4095, 4095, 0),
    Value(reg::kDigitalGain, "Digital Gain", kOnAll, Role::kPlain, 25, 4093, 256),
    Value(0x01207040, "Digital Shift", kOnAll, Role::kPlain, 0, 4, 0),
    Choice(0x01203000, "Gamma Enable", kOnAll, Role::kPlain, kOffOn, 0),
    Value(reg::kGamma, "Gamma", kOnAll, Role::kPlain, 10, 700, 100),
    Choice(reg::kTdiStage, "TDI Stage", kOnMonoWide, Role::kPlain, kOffOn, 1),
    Choice(0x0110600C, "TDI Mode", kOnMonoWide, Role::kPlain, kOffOn, 0),
    Value(0x01108044, "TDI Parameter", kOnMonoWide, Role::kPlain, 0, 40960, 0),
    Choice(0x01108040, "TDI Row Direction", kOnMonoWide, Role::kPlain, kOffOn, 1),
    Value(reg::kField1Gain, "Field 1 Gain", kOnWide, Role::kPlain, 25, 1024, 256),
    Value(0x01209010, "Field 2 Gain", kOnWide, Role::kPlain, 25, 1024, 256),
    Choice(0x01102000, "FFC Enable", kOnAll, Role::kPlain, kOffOn, 0),
    Choice(reg::kFfcSampleFrames, "FFC Sample Frames", kOnMonoWide, Role::kPlain, kSampleFrames,
           1024),
    Value(0x01102D00, "FFC User Set Selector", kOnAll, Role::kPlain, 0, 3, 0),
    Action(0x01102D04, "FFC User Set Load", kOnAll, Role::kFfcUserSetLoad),
    Choice(reg::kAwbLink, "AWB Link", kOnColor, Role::kPlain, kOffOn, 0),
    // Flat-field areas are given in half pixels, hence twice the sensor width.
    Value(reg::kFfcCalAreaStartX, "FFC Cal Area Start X", kOnMonoColor, Role::kPlain, 0, 8192, 0),
    Value(reg::kFfcCalAreaStartX, "FFC Cal Area Start X", kOnWide, Role::kPlain, 0, 16384, 0),
    Value(reg::kFfcCalAreaWidth, "FFC Cal Area Width", kOnMonoColor, Role::kPlain, 16, 8192, 8192),
    Value(reg::kFfcCalAreaWidth, "FFC Cal Area Width", kOnWide, Role::kPlain, 16, 16384, 16384),
    Choice(reg::kFfcCalAlgorithm, "FFC Cal Algorithm", kOnMonoColor, Role::kPlain, kFfcAlgorithms,
           1),
    Value(0x01102C04, "FFC Cal Target Mode", kOnAll, Role::kPlain, 0, 2, 0),
    Value(0x01102C08, "FFC Cal Target Value", kOnAll, Role::kPlain, 0, 4000, 3200),
    Action(reg::kFfcCalFpn, "FFC Cal FPN", kOnAll, Role::kFfcCalFpn),
    Action(reg::kFfcCalPrnu, "FFC Cal PRNU", kOnAll, Role::kFfcCalPrnu),
    Choice(reg::kCscEnable, "CSC Enable", kOnColor, Role::kPlain, kOffOn, 0),
    Choice(0x01103040, "CSC Direction", kOnColor, Role::kPlain, kOffOn, 0),
    Value(0x01103044, "CSC Left Skew", kOnColor, Role::kPlain, 0, 1280, 0),
    Value(0x01103048, "CSC Right Skew", kOnColor, Role::kPlain, 0, 1280, 0),
    Choice(0x01104000, "SC Enable", kOnColor, Role::kPlain, kOffOn, 0),
    Choice(0x01104040, "SC Direction", kOnColor, Role::kPlain, kOffOn, 0),
    Value(0x01104044, "SC Parameter", kOnColor, Role::kPlain, 0, 12288, 4096),
    Choice(reg::kWbCalibMode, "WB Calib Mode", kOnColor, Role::kWbCalibMode, kWbCalibModes, 0),
    Value(reg::kWbRedGain, "WB Red Gain", kOnColor, Role::kWbRedGain, 0, 65525, 1024),
    Value(reg::kWbBlueGain, "WB Blue Gain", kOnColor, Role::kWbBlueGain, 0, 65525, 1024),
    Value(reg::kWbGreenGain, "WB Green Gain", kOnColor, Role::kWbGreenGain, 102, 4096, 1024),
    Value(0x01201088, "WB Calib AOI Start X", kOnColor, Role::kPlain, 0, 8192, 0),
    Value(reg::kWbCalibAoiWidth, "WB Calib AOI Width", kOnColor, Role::kPlain, 8, 8192, 4096),
    ReadOnly(reg::kWbCalibStatus, "WB Calib Status", kOnAll, Role::kWbCalibStatus),
    Choice(reg::kCcmEnable, "CCM Enable", kOnColor, Role::kPlain, kOffOn, 0),
    Value(reg::kCcmSelector, "CCM Selector", kOnColor, Role::kCcmSelector, 0, 3, 0),
    Value(reg::kCcmA11 + 0x00, "CCM_A11", kOnColor, Role::kCcmCoefficient, -11262, 10750, 1024),
    Value(reg::kCcmA11 + 0x04, "CCM_A12", kOnColor, Role::kCcmCoefficient, -11262, 10750, 0),
    Value(reg::kCcmA11 + 0x08, "CCM_A13", kOnColor, Role::kCcmCoefficient, -11262, 10750, 0),
    Value(reg::kCcmA11 + 0x0C, "CCM_A21", kOnColor, Role::kCcmCoefficient, -11262, 10750, 0),
    Value(reg::kCcmA11 + 0x10, "CCM_A22", kOnColor, Role::kCcmCoefficient, -11262, 10750, 1024),
    Value(reg::kCcmA11 + 0x14, "CCM_A23", kOnColor, Role::kCcmCoefficient, -11262, 10750, 0),
    Value(reg::kCcmA11 + 0x18, "CCM_A31", kOnColor, Role::kCcmCoefficient, -11262, 10750, 0),
    Value(reg::kCcmA11 + 0x1C, "CCM_A32", kOnColor, Role::kCcmCoefficient, -11262, 10750, 0),
    Value(reg::kCcmA11 + 0x20, "CCM_A33", kOnColor, Role::kCcmCoefficient, -11262, 10750, 1024),
    Choice(reg::kLutEnable, "LUT Enable", kOnAll, Role::kPlain, kOffOn, 0),
    Choice(reg::kLutSelector, "LUT Selector", kOnMonoWide, Role::kLutSelector, kMonoLutSelectors,
           0),
    Choice(reg::kLutSelector, "LUT Selector", kOnColor, Role::kLutSelector, kColorLutSelectors, 0),
    Action(reg::kLutSave, "LUT Save", kOnAll, Role::kLutSave),
    Action(reg::kLutLoad, "LUT Load", kOnAll, Role::kLutLoad),
    Value(reg::kLutIndex, "LUT Index", kOnAll, Role::kLutIndex, 0, 4095, 0, false),
    Value(reg::kLutValue, "LUT Value", kOnAll, Role::kLutValue, 0, 4095, 0, false),
    Value(reg::kUserSetSelector, "User Set Selector", kOnAll, Role::kUserSetSelector, 0, 3, 0,
          false),
    // Reading the two user-set actions gives the serial format: 8 data bits, no parity.
    Action(reg::kUserSetLoad, "User Set Load", kOnAll, Role::kUserSetLoad, 8),
    Action(reg::kUserSetSave, "User Set Save", kOnAll, Role::kUserSetSave, 0),
    Value(reg::kUserSetDefault, "User Set Default Selector", kOnAll, Role::kUserSetDefault, 0, 3, 0,
          false),
    Choice(reg::kClConfiguration, "Cl Configuration", kOnMono, Role::kClConfiguration,
           kMonoClConfigurations, 2),
    Choice(reg::kClConfiguration, "Cl Configuration", kOnColor | kOnWide, Role::kClConfiguration,
           kOtherClConfigurations, 3),
    Choice(reg::kClClock, "Camera Link Clk Frequency", kOnAll, Role::kClClock, kClClocks, 85),
    Choice(reg::kTapGeometry, "Device Tap Geometry", kOnMono, Role::kTapGeometry,
           kMonoTapGeometries, 8),
    Choice(reg::kTapGeometry, "Device Tap Geometry", kOnWide, Role::kTapGeometry,
           kMonoTapGeometries, 10),
    Choice(reg::kTapGeometry, "Device Tap Geometry", kOnColor, Role::kTapGeometry,
           kColorTapGeometries, 3),
    Choice(reg::kClFval, "Cl FVAL", kOnMono, Role::kPlain, kOffOn, 0),
    Choice(reg::kClDval, "Cl DVAL", kOnMono, Role::kPlain, kOffOn, 0),
    Choice(reg::kBaudRate, "Baud Rate", kOnAll, Role::kBaudRate, kBaudRates, baud::k9600, false),
    Choice(reg::kEenOutput, "EEN Output", kOnAll, Role::kPlain, kOffOn, 0),
};

constexpr TextField kTextFields[] = {
    {reg::kVendorName, "Device Vendor Name", false},
    {reg::kModelName, "Device Model Name", false},
    {reg::kDeviceVersion, "Device Version", false},
    {reg::kSerialNumber, "Device Serial Number", true},
    {reg::kUserId, "Device User ID", true},
    {reg::kSensorId, "Sensor ID", false},
    {reg::kFirmwareVersion, "Device Firmware Version", false},
    {reg::kFpgaVersion, "FPGA Version", false},
    {reg::kXmlVersion, "XML Version", false},
};

}  // namespace

std::span<const RegisterInfo> RegisterTable() {
  return kRegisters;
}

const RegisterInfo* FindRegister(uint32_t address, ModelKind kind, bool* exists_on_other_kind) {
  bool elsewhere = false;
  for (const RegisterInfo& info : kRegisters) {
    if (info.address != address) continue;
    if (info.kinds & KindBit(kind)) {
      if (exists_on_other_kind) *exists_on_other_kind = false;
      return &info;
    }
    elsewhere = true;
  }
  if (exists_on_other_kind) *exists_on_other_kind = elsewhere;
  return nullptr;
}

std::span<const TextField> TextFields() {
  return kTextFields;
}

const TextField* FindTextField(uint32_t address) {
  for (const TextField& field : kTextFields) {
    if (address >= field.address && address < field.address + kTextBytes && address % 4 == 0) {
      return &field;
    }
  }
  return nullptr;
}

}  // namespace ctrl::sim
