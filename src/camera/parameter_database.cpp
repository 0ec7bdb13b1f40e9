#include "camera/parameter_database.h"

#include <cstdio>

#include "camera/command_engine.h"
#include "camera/notifier.h"

namespace ctrl {
namespace {

// control id, command id, type, spin-range mode, class, min, max, default, synchronised, file
constexpr ParameterRow kRows[ParameterDatabase::kRowCount] = {
    {1724, 11, 4, 0, 1, 0, 0, 0, 0, 0},  // 0 Device Temperature Selector
    {1725, 13, 4, 0, 1, 0, 0, 0, 0, 0},  // 1 Device Voltage Selector
    {1692, 18, 4, 0, 1, 0, 0, 0, 0, 1},  // 2 Binning Horizontal
    {1693, 19, 4, 0, 1, 0, 0, 0, 0, 1},  // 3 Binning Horizontal Mode
    {1694, 21, 6, 0, 1, 0, 8128, 0, 0, 1},  // 4 Offset X
    {1696, 22, 6, 0, 1, 64, 8192, 8192, 0, 1},  // 5 Width
    {1811, 23, 6, 0, 1, 1, 1, 1, 0, 0},  // 6 Height
    {1698, 24, 4, 0, 1, 0, 0, 0, 0, 1},  // 7 Pixel Format
    {1699, 25, 4, 0, 1, 0, 0, 0, 0, 1},  // 8 Reverse X
    {1827, 26, 4, 0, 1, 0, 0, 0, 0, 1},  // 9 Field Count
    {1700, 28, 4, 0, 1, 0, 0, 0, 0, 1},  // 10 Test Pattern
    {1703, 29, 4, 0, 1, 0, 0, 0, 0, 1},  // 11 Exposure Mode
    {1704, 30, 6, 0, 1, 0, 2147483647, 4000, 0, 1},  // 12 Exposure Time
    {1701, 34, 6, 0, 1, 0, 2147483647, 8000, 0, 1},  // 13 Internal Line Rate
    {1688, 48, 4, 0, 1, 0, 0, 0, 0, 1},  // 14 Line Trigger Mode
    {1689, 49, 4, 0, 1, 0, 0, 0, 0, 1},  // 15 Line Trigger Source
    {1690, 50, 4, 0, 1, 0, 0, 0, 0, 1},  // 16 Line Trigger Activation
    {1691, 51, 4, 0, 1, 0, 0, 0, 0, 1},  // 17 Line Trigger Divider
    {1819, 52, 6, 0, 1, 0, 39, 0, 0, 1},  // 18 Line Trigger Pre Divider
    {1822, 53, 4, 0, 1, 0, 0, 0, 0, 1},  // 19 Line Trigger Multiplier
    {1824, 54, 6, 0, 1, 1, 40, 1, 0, 1},  // 20 Line Trigger Post Divider
    {1705, 55, 4, 0, 1, 0, 0, 0, 0, 1},  // 21 Black Level Mode
    {1706, 56, 6, 0, 1, -4095, 4095, 0, 0, 1},  // 22 Black Level
    {1708, 57, 6, 0, 1, 25, 4093, 256, 0, 1},  // 23 Digital Gain
    {1710, 58, 4, 0, 1, 0, 0, 0, 0, 1},  // 24 Digital Shift
    {1711, 59, 4, 0, 1, 0, 0, 0, 0, 1},  // 25 Gamma Enable
    {1712, 60, 6, 0, 1, 10, 700, 100, 0, 1},  // 26 Gamma
    {1714, 61, 4, 0, 1, 0, 0, 0, 0, 1},  // 27 TDI Stage
    {1715, 62, 4, 0, 1, 0, 0, 0, 0, 1},  // 28 TDI Mode
    {1716, 63, 6, 0, 1, 0, 40960, 0, 0, 1},  // 29 TDI Parameter
    {1718, 64, 4, 0, 1, 0, 0, 0, 0, 1},  // 30 TDI Row Direction
    {1814, 65, 6, 0, 1, 25, 1024, 256, 0, 1},  // 31 Field 1 Gain
    {1816, 66, 6, 0, 1, 25, 1024, 256, 0, 1},  // 32 Field 2 Gain
    {1731, 67, 4, 0, 1, 0, 0, 0, 0, 1},  // 33 FFC Enable
    {1732, 68, 4, 0, 1, 0, 0, 0, 0, 1},  // 34 FFC Sample Frames
    {1733, 69, 4, 0, 1, 0, 0, 0, 0, 1},  // 35 FFC User Set Selector
    {1910, 71, 4, 0, 1, 0, 0, 0, 0, 1},  // 36 AWB Link
    {1734, 72, 6, 0, 1, 0, 8192, 0, 0, 1},  // 37 FFC Cal Area Start X
    {1736, 73, 6, 0, 1, 16, 8182, 8192, 0, 1},  // 38 FFC Cal Area Width
    {1738, 74, 4, 0, 1, 0, 0, 0, 0, 1},  // 39 FFC Cal Algorithm
    {1739, 75, 4, 0, 1, 0, 0, 0, 0, 1},  // 40 FFC Cal Target Mode
    {1740, 76, 6, 0, 1, 0, 4000, 3200, 0, 1},  // 41 FFC Cal Target Value
    {1833, 79, 4, 0, 1, 0, 0, 0, 0, 1},  // 42 CSC Enable
    {1835, 80, 4, 0, 1, 0, 0, 0, 0, 1},  // 43 CSC Direction
    {1837, 81, 6, 0, 1, 0, 1280, 0, 0, 1},  // 44 CSC Left Skew
    {1840, 82, 6, 0, 1, 0, 1280, 0, 0, 1},  // 45 CSC Right Skew
    {1844, 83, 4, 0, 1, 0, 0, 0, 0, 1},  // 46 SC Enable
    {1846, 84, 4, 0, 1, 0, 0, 0, 0, 1},  // 47 SC Direction
    {1848, 85, 6, 0, 1, 0, 12288, 4096, 0, 1},  // 48 SC Parameter
    {1851, 86, 4, 0, 1, 0, 0, 0, 0, 1},  // 49 WB Calib Mode
    {1854, 87, 6, 0, 1, 0, 65525, 1024, 0, 1},  // 50 WB Red Gain
    {1857, 88, 6, 0, 1, 0, 65525, 1024, 0, 1},  // 51 WB Blue Gain
    {1860, 89, 6, 0, 1, 102, 4096, 1024, 0, 1},  // 52 WB Green Gain
    {1863, 90, 6, 0, 1, 0, 8192, 0, 0, 1},  // 53 WB Calib AOI Start X
    {1866, 91, 6, 0, 1, 8, 8192, 8192, 0, 1},  // 54 WB Calib AOI Width
    {1872, 93, 4, 0, 1, 0, 0, 0, 0, 1},  // 55 CCM Enable
    {1874, 94, 4, 0, 1, 0, 0, 0, 0, 1},  // 56 CCM Selector
    {1876, 95, 6, 0, 1, -11262, 10750, 1024, 0, 1},  // 57 CCM_A11
    {1879, 96, 6, 0, 1, -11262, 10750, 0, 0, 1},  // 58 CCM_A12
    {1882, 97, 6, 0, 1, -11262, 10750, 0, 0, 1},  // 59 CCM_A13
    {1885, 98, 6, 0, 1, -11262, 10750, 0, 0, 1},  // 60 CCM_A21
    {1888, 99, 6, 0, 1, -11262, 10750, 1024, 0, 1},  // 61 CCM_A22
    {1891, 100, 6, 0, 1, -11262, 10750, 0, 0, 1},  // 62 CCM_A23
    {1894, 101, 6, 0, 1, -11262, 10750, 0, 0, 1},  // 63 CCM_A31
    {1897, 102, 6, 0, 1, -11262, 10750, 0, 0, 1},  // 64 CCM_A32
    {1900, 103, 6, 0, 1, -11262, 10750, 1024, 0, 1},  // 65 CCM_A33
    {1742, 104, 4, 0, 1, 0, 0, 0, 0, 1},  // 66 LUT Enable
    {1743, 105, 4, 0, 1, 0, 0, 0, 0, 1},  // 67 LUT Selector
    {1744, 108, 6, 0, 1, 0, 4095, 0, 0, 0},  // 68 LUT Index
    {1746, 109, 6, 0, 1, 0, 4095, 0, 0, 0},  // 69 LUT Value
    {1753, 113, 4, 0, 1, 0, 0, 0, 0, 1},  // 70 User Set Default Selector
    {1719, 114, 4, 0, 1, 0, 0, 0, 0, 1},  // 71 Cl Configuration
    {1720, 115, 4, 0, 1, 0, 0, 0, 0, 1},  // 72 Camera Link Clk Frequency
    {1721, 116, 4, 0, 1, 0, 0, 0, 0, 1},  // 73 Device Tap Geometry
    {1722, 117, 4, 0, 1, 0, 0, 0, 0, 1},  // 74 Cl FVAL
    {1723, 118, 4, 0, 1, 0, 0, 0, 0, 1},  // 75 Cl DVAL
    {1748, 119, 4, 0, 1, 0, 0, 0, 0, 1},  // 76 Baud Rate
    {1793, 120, 6, 0, 1, 0, 0, 0, 0, 0},  // 77 Data Size
    {1795, 121, 6, 0, 1, 0, 0, 0, 0, 0},  // 78 Parity
    {1797, 122, 6, 0, 1, 0, 0, 0, 0, 0},  // 79 Stop Bits
    {1911, 123, 4, 0, 1, 0, 0, 0, 0, 1},  // 80 EEN Output
};

constexpr const char* kLabels[ParameterDatabase::kRowCount] = {
    "Device Temperature Selector",
    "Device Voltage Selector",
    "Binning Horizontal",
    "Binning Horizontal Mode",
    "Offset X",
    "Width",
    "Height",
    "Pixel Format",
    "Reverse X",
    "Field Count",
    "Test Pattern",
    "Exposure Mode",
    "Exposure Time",
    "Internal Line Rate",
    "Line Trigger Mode",
    "Line Trigger Source",
    "Line Trigger Activation",
    "Line Trigger Divider",
    "Line Trigger Pre Divider",
    "Line Trigger Multiplier",
    "Line Trigger Post Divider",
    "Black Level Mode",
    "Black Level",
    "Digital Gain",
    "Digital Shift",
    "Gamma Enable",
    "Gamma",
    "TDI Stage",
    "TDI Mode",
    "TDI Parameter",
    "TDI Row Direction",
    "Field 1 Gain",
    "Field 2 Gain",
    "FFC Enable",
    "FFC Sample Frames",
    "FFC User Set Selector",
    "AWB Link",
    "FFC Cal Area Start X",
    "FFC Cal Area Width",
    "FFC Cal Algorithm",
    "FFC Cal Target Mode",
    "FFC Cal Target Value",
    "CSC Enable",
    "CSC Direction",
    "CSC Left Skew",
    "CSC Right Skew",
    "SC Enable",
    "SC Direction",
    "SC Parameter",
    "WB Calib Mode",
    "WB Red Gain",
    "WB Blue Gain",
    "WB Green Gain",
    "WB Calib AOI Start X",
    "WB Calib AOI Width",
    "CCM Enable",
    "CCM Selector",
    "CCM_A11",
    "CCM_A12",
    "CCM_A13",
    "CCM_A21",
    "CCM_A22",
    "CCM_A23",
    "CCM_A31",
    "CCM_A32",
    "CCM_A33",
    "LUT Enable",
    "LUT Selector",
    "LUT Index",
    "LUT Value",
    "User Set Default Selector",
    "Cl Configuration",
    "Camera Link Clk Frequency",
    "Device Tap Geometry",
    "Cl FVAL",
    "Cl DVAL",
    "Baud Rate",
    "Data Size",
    "Parity",
    "Stop Bits",
    "EEN Output",
};

void Report(const std::string& text) { ShowExclamation(text); }

}  // namespace

ParameterDatabase::ParameterDatabase() { Reset(); }

void ParameterDatabase::Reset() { rows_.assign(std::begin(kRows), std::end(kRows)); }

const char* ParameterDatabase::Label(int row_index) {
  if (row_index < 0 || row_index >= kRowCount) return "";
  return kLabels[row_index];
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
      if (IsReadableRow(static_cast<int>(i)) && rows_[i].parameter_class == parameter_class::kUser) {
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
