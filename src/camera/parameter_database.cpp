#include "camera/parameter_database.h"

#include <array>
#include <cstdio>
#include <string>

#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/control_ids.h"
#include "camera/notifier.h"

namespace ctrl {
namespace {

// control, command id, type, spin-range mode, class, min, max, default, synchronised, file; the
// comment is the command's feature label.
constexpr ParameterRow kRows[ParameterDatabase::kRowCount] = {
    {control::kTemperatureSelector, 11, 4, 0, 1, 0, 0, 0, 0, 0},  // Device Temperature Selector
    {control::kVoltageSelector, 13, 4, 0, 1, 0, 0, 0, 0, 0},      // Device Voltage Selector
    {control::kBinning, 18, 4, 0, 1, 0, 0, 0, 0, 1},              // Binning Horizontal
    {control::kBinningMode, 19, 4, 0, 1, 0, 0, 0, 0, 1},          // Binning Horizontal Mode
    {control::kOffsetX, 21, 6, 0, 1, 0, 8128, 0, 0, 1},           // Offset X
    {control::kWidth, 22, 6, 0, 1, 64, 8192, 8192, 0, 1},         // Width
    {control::kHeight, 23, 6, 0, 1, 1, 1, 1, 0, 0},               // Height
    {control::kPixelFormat, 24, 4, 0, 1, 0, 0, 0, 0, 1},          // Pixel Format
    {control::kReverseX, 25, 4, 0, 1, 0, 0, 0, 0, 1},             // Reverse X
    {control::kFieldCount, 26, 4, 0, 1, 0, 0, 0, 0, 1},           // Field Count
    {control::kTestPattern, 28, 4, 0, 1, 0, 0, 0, 0, 1},          // Test Pattern
    {control::kExposureMode, 29, 4, 0, 1, 0, 0, 0, 0, 1},         // Exposure Mode
    {control::kExposureTime, 30, 6, 0, 1, 0, 2147483647, 4000, 0, 1},  // Exposure Time
    {control::kLineRate, 34, 6, 0, 1, 0, 2147483647, 8000, 0, 1},      // Internal Line Rate
    {control::kLineTriggerMode, 48, 4, 0, 1, 0, 0, 0, 0, 1},           // Line Trigger Mode
    {control::kLineTriggerSource, 49, 4, 0, 1, 0, 0, 0, 0, 1},         // Line Trigger Source
    {control::kLineTriggerActivation, 50, 4, 0, 1, 0, 0, 0, 0, 1},     // Line Trigger Activation
    {control::kLineTriggerDivider, 51, 4, 0, 1, 0, 0, 0, 0, 1},        // Line Trigger Divider
    {control::kLineTriggerPreDivider, 52, 6, 0, 1, 0, 39, 0, 0, 1},    // Line Trigger Pre Divider
    {control::kLineTriggerMultiplier, 53, 4, 0, 1, 0, 0, 0, 0, 1},     // Line Trigger Multiplier
    {control::kLineTriggerPostDivider, 54, 6, 0, 1, 1, 40, 1, 0, 1},   // Line Trigger Post Divider
    {control::kBlackLevelMode, 55, 4, 0, 1, 0, 0, 0, 0, 1},            // Black Level Mode
    {control::kBlackLevel, 56, 6, 0, 1, -4095, 4095, 0, 0, 1},         // Black Level
    {control::kDigitalGain, 57, 6, 0, 1, 25, 4093, 256, 0, 1},         // Digital Gain
    {control::kDigitalShift, 58, 4, 0, 1, 0, 0, 0, 0, 1},              // Digital Shift
    {control::kGammaEnable, 59, 4, 0, 1, 0, 0, 0, 0, 1},               // Gamma Enable
    {control::kGamma, 60, 6, 0, 1, 10, 700, 100, 0, 1},                // Gamma
    {control::kTdiStage, 61, 4, 0, 1, 0, 0, 0, 0, 1},                  // TDI Stage
    {control::kTdiMode, 62, 4, 0, 1, 0, 0, 0, 0, 1},                   // TDI Mode
    {control::kTdiParameter, 63, 6, 0, 1, 0, 40960, 0, 0, 1},          // TDI Parameter
    {control::kTdiRowDirection, 64, 4, 0, 1, 0, 0, 0, 0, 1},           // TDI Row Direction
    {control::kField1Gain, 65, 6, 0, 1, 25, 1024, 256, 0, 1},          // Field 1 Gain
    {control::kField2Gain, 66, 6, 0, 1, 25, 1024, 256, 0, 1},          // Field 2 Gain
    {control::kFfcEnable, 67, 4, 0, 1, 0, 0, 0, 0, 1},                 // FFC Enable
    {control::kFfcSampleFrames, 68, 4, 0, 1, 0, 0, 0, 0, 1},           // FFC Sample Frames
    {control::kFfcUserSetSelector, 69, 4, 0, 1, 0, 0, 0, 0, 1},        // FFC User Set Selector
    {control::kAwbLink, 71, 4, 0, 1, 0, 0, 0, 0, 1},                   // AWB Link
    {control::kFfcCalAreaStartX, 72, 6, 0, 1, 0, 8192, 0, 0, 1},       // FFC Cal Area Start X
    {control::kFfcCalAreaWidth, 73, 6, 0, 1, 16, 8182, 8192, 0, 1},    // FFC Cal Area Width
    {control::kFfcCalAlgorithm, 74, 4, 0, 1, 0, 0, 0, 0, 1},           // FFC Cal Algorithm
    {control::kFfcCalTargetMode, 75, 4, 0, 1, 0, 0, 0, 0, 1},          // FFC Cal Target Mode
    {control::kFfcCalTargetValue, 76, 6, 0, 1, 0, 4000, 3200, 0, 1},   // FFC Cal Target Value
    {control::kCscEnable, 79, 4, 0, 1, 0, 0, 0, 0, 1},                 // CSC Enable
    {control::kCscDirection, 80, 4, 0, 1, 0, 0, 0, 0, 1},              // CSC Direction
    {control::kCscLeftSkew, 81, 6, 0, 1, 0, 1280, 0, 0, 1},            // CSC Left Skew
    {control::kCscRightSkew, 82, 6, 0, 1, 0, 1280, 0, 0, 1},           // CSC Right Skew
    {control::kScEnable, 83, 4, 0, 1, 0, 0, 0, 0, 1},                  // SC Enable
    {control::kScDirection, 84, 4, 0, 1, 0, 0, 0, 0, 1},               // SC Direction
    {control::kScParameter, 85, 6, 0, 1, 0, 12288, 4096, 0, 1},        // SC Parameter
    {control::kWbCalibMode, 86, 4, 0, 1, 0, 0, 0, 0, 1},               // WB Calib Mode
    {control::kWbRedGain, 87, 6, 0, 1, 0, 65525, 1024, 0, 1},          // WB Red Gain
    {control::kWbBlueGain, 88, 6, 0, 1, 0, 65525, 1024, 0, 1},         // WB Blue Gain
    {control::kWbGreenGain, 89, 6, 0, 1, 102, 4096, 1024, 0, 1},       // WB Green Gain
    {control::kWbCalibAoiStartX, 90, 6, 0, 1, 0, 8192, 0, 0, 1},       // WB Calib AOI Start X
    {control::kWbCalibAoiWidth, 91, 6, 0, 1, 8, 8192, 8192, 0, 1},     // WB Calib AOI Width
    {control::kCcmEnable, 93, 4, 0, 1, 0, 0, 0, 0, 1},                 // CCM Enable
    {control::kCcmSelector, 94, 4, 0, 1, 0, 0, 0, 0, 1},               // CCM Selector
    {control::CcmCoefficient(0), 95, 6, 0, 1, -11262, 10750, 1024, 0, 1},   // CCM_A11
    {control::CcmCoefficient(1), 96, 6, 0, 1, -11262, 10750, 0, 0, 1},      // CCM_A12
    {control::CcmCoefficient(2), 97, 6, 0, 1, -11262, 10750, 0, 0, 1},      // CCM_A13
    {control::CcmCoefficient(3), 98, 6, 0, 1, -11262, 10750, 0, 0, 1},      // CCM_A21
    {control::CcmCoefficient(4), 99, 6, 0, 1, -11262, 10750, 1024, 0, 1},   // CCM_A22
    {control::CcmCoefficient(5), 100, 6, 0, 1, -11262, 10750, 0, 0, 1},     // CCM_A23
    {control::CcmCoefficient(6), 101, 6, 0, 1, -11262, 10750, 0, 0, 1},     // CCM_A31
    {control::CcmCoefficient(7), 102, 6, 0, 1, -11262, 10750, 0, 0, 1},     // CCM_A32
    {control::CcmCoefficient(8), 103, 6, 0, 1, -11262, 10750, 1024, 0, 1},  // CCM_A33
    {control::kLutEnable, 104, 4, 0, 1, 0, 0, 0, 0, 1},                     // LUT Enable
    {control::kLutSelector, 105, 4, 0, 1, 0, 0, 0, 0, 1},                   // LUT Selector
    {control::kLutIndex, 108, 6, 0, 1, 0, 4095, 0, 0, 0},                   // LUT Index
    {control::kLutValue, 109, 6, 0, 1, 0, 4095, 0, 0, 0},                   // LUT Value
    {control::kUserSetDefaultSelector, 113, 4, 0, 1, 0, 0, 0, 0, 1},  // User Set Default Selector
    {control::kClConfiguration, 114, 4, 0, 1, 0, 0, 0, 0, 1},         // Cl Configuration
    {control::kClClockFrequency, 115, 4, 0, 1, 0, 0, 0, 0, 1},        // Camera Link Clk Frequency
    {control::kTapGeometry, 116, 4, 0, 1, 0, 0, 0, 0, 1},             // Device Tap Geometry
    {control::kClFval, 117, 4, 0, 1, 0, 0, 0, 0, 1},                  // Cl FVAL
    {control::kClDval, 118, 4, 0, 1, 0, 0, 0, 0, 1},                  // Cl DVAL
    {control::kBaudRate, 119, 4, 0, 1, 0, 0, 0, 0, 1},                // Baud Rate
    {control::kDataSize, 120, 6, 0, 1, 0, 0, 0, 0, 0},                // Data Size
    {control::kParity, 121, 6, 0, 1, 0, 0, 0, 0, 0},                  // Parity
    {control::kStopBits, 122, 6, 0, 1, 0, 0, 0, 0, 0},                // Stop Bits
    {control::kEenOutput, 123, 4, 0, 1, 0, 0, 0, 0, 1},               // EEN Output
};

void Report(const std::string& text) {
  ShowExclamation(text);
}

}  // namespace

ParameterDatabase::ParameterDatabase() {
  Reset();
}

std::span<const ParameterRow> ParameterDatabase::BuiltInRows() {
  return kRows;
}

void ParameterDatabase::Reset() {
  rows_.assign(std::begin(kRows), std::end(kRows));
}

const char* ParameterDatabase::Label(int row_index) {
  // Label() hands out C strings: the rows keep terminated copies of the command table's labels.
  static const std::array<std::string, kRowCount> labels = [] {
    std::array<std::string, kRowCount> texts;
    for (int i = 0; i < kRowCount; ++i) {
      texts[i] = std::string(CommandTable::FeatureLabel(kRows[i].command_id));
    }
    return texts;
  }();
  if (row_index < 0 || row_index >= kRowCount) return "";
  return labels[row_index].c_str();
}

int ParameterDatabase::CtrlId2TblIndex(int control_id) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].control_id == control_id) return static_cast<int>(i);
  }
  Report("Unexpected error occurred in CtrlId2TblIndex().");
  return -1;
}

int ParameterDatabase::ToCmdId(int control_id) const {
  for (const ParameterRow& row : rows_) {
    if (row.control_id == control_id) return row.command_id;
  }
  Report("Unexpected error occurred in ToCmdId().");
  return -1;
}

int ParameterDatabase::ToCtrlId(int command_id) const {
  for (const ParameterRow& row : rows_) {
    if (row.command_id == command_id) return row.control_id;
  }
  Report("Unexpected error occurred in ToCtrlId(): Command id is " + std::to_string(command_id));
  return -1;
}

int32_t ParameterDatabase::GetDataValue(int control_id) const {
  for (const ParameterRow& row : rows_) {
    if (row.control_id == control_id) return row.current_value;
  }
  Report("Unexpected error occurred in GetDataValue().");
  return -1;
}

int32_t ParameterDatabase::GetSynchronisedValue(int control_id) const {
  for (const ParameterRow& row : rows_) {
    if (row.control_id == control_id) return row.synchronised_value;
  }
  Report("Unexpected error occurred in GetDataValue().");
  return -1;
}

int ParameterDatabase::SetDataValue(int control_id, int32_t value) {
  for (ParameterRow& row : rows_) {
    if (row.control_id == control_id) {
      row.current_value = value;
      return 1;
    }
  }
  Report("Unexpected error occurred in SetDataValue().");
  return 0;
}

int ParameterDatabase::GetRange(int control_id, int32_t& min, int32_t& max) const {
  int index = CtrlId2TblIndex(control_id);
  if (index < 0) return 0;
  min = rows_[index].min;
  max = rows_[index].max;
  return 1;
}

int ParameterDatabase::GetSpinRangeMode(int control_id) const {
  int index = CtrlId2TblIndex(control_id);
  if (index < 0) return -1;
  return rows_[index].spin_range_mode;
}

int ParameterDatabase::IsFactoryParam(int control_id) const {
  for (const ParameterRow& row : rows_) {
    if (row.control_id == control_id) {
      return row.parameter_class == parameter_class::kFactory ? 1 : 0;
    }
  }
  char text[160];
  std::snprintf(text, sizeof text,
                "ERROR: IsFactoryParam(): Control id \"%d: 0x%x\" is not registered in database "
                "table",
                control_id, static_cast<unsigned>(control_id));
  Report(text);
  return 0;
}

int ParameterDatabase::IsInSettingsFile(int control_id) const {
  for (const ParameterRow& row : rows_) {
    if (row.control_id == control_id) return row.master_file;
  }
  return 0;
}

int ParameterDatabase::IsReadableRow(int row_index) const {
  return rows_[row_index].control_type != control_type::kWriteOnly ? 1 : 0;
}

int ParameterDatabase::CountReadableRows() const {
  if (readable_rows_ < 0) {
    readable_rows_ = 0;
    for (size_t i = 0; i < rows_.size(); ++i) readable_rows_ += IsReadableRow(static_cast<int>(i));
  }
  return readable_rows_;
}

int ParameterDatabase::CountReadableUserRows() const {
  if (readable_user_rows_ < 0) {
    readable_user_rows_ = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (IsReadableRow(static_cast<int>(i)) &&
          rows_[i].parameter_class == parameter_class::kUser) {
        ++readable_user_rows_;
      }
    }
  }
  return readable_user_rows_;
}

void ParameterDatabase::CommitAll() {
  for (ParameterRow& row : rows_) row.synchronised_value = row.current_value;
}

int ParameterDatabase::WritePendingChanges(Command& engine) {
  for (ParameterRow& row : rows_) {
    if (!row.pending()) continue;
    if (!engine.WriteCommand(row.command_id, row.current_value, kDefaultTimeoutMs)) return 0;
  }
  return 1;
}

void ParameterDatabase::RefreshAllControls(ControlSetter& controls) const {
  for (const ParameterRow& row : rows_) controls.SetControlValue(row.control_id, row.current_value);
}

void ParameterDatabase::RefreshChangedControls(ControlSetter& controls) const {
  for (const ParameterRow& row : rows_) {
    if (row.pending()) controls.SetControlValue(row.control_id, row.current_value);
  }
}

bool ParameterDatabase::ApplyChange(int control_id, int32_t value, Command& engine,
                                    ControlSetter* controls) {
  SetDataValue(control_id, value);
  if (WritePendingChanges(engine) == 1) {
    CommitAll();
    return true;
  }
  int32_t camera_value = GetSynchronisedValue(control_id);
  SetDataValue(control_id, camera_value);
  if (controls != nullptr) controls->SetControlValue(control_id, camera_value);
  return false;
}

ParameterDatabase& Database() {
  static ParameterDatabase database;
  return database;
}

}  // namespace ctrl
