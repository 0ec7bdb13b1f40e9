#include "ui/page_layouts.h"

#include "camera/command_table.h"
#include "camera/control_ids.h"

namespace ctrl::ui {
namespace {

ControlLayout Combo(int row, int id, std::string_view label, int command,
                    std::vector<ComboItem> items, int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kCombo;
  c.label = label;
  c.label_id = label_id;
  c.items = std::move(items);
  c.command = command;
  c.row = row;
  return c;
}

ControlLayout EditSpin(int row, int id, std::string_view label, int spin_id, int command,
                       int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kEditSpin;
  c.label = label;
  c.label_id = label_id;
  c.spin_id = spin_id;
  c.command = command;
  c.row = row;
  return c;
}

ControlLayout ReadOnlyEditSpin(int row, int id, std::string_view label, int spin_id, int command) {
  ControlLayout c = EditSpin(row, id, label, spin_id, command);
  c.kind = ControlKind::kReadOnlyEditSpin;
  return c;
}

ControlLayout UnitEdit(int row, int id, std::string_view label) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kUnitEdit;
  c.label = label;
  c.row = row;
  return c;
}

ControlLayout Text(int row, int id, std::string_view label, int command = -1, int cell = 1,
                   int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kText;
  c.label = label;
  c.label_id = label_id;
  c.command = command;
  c.caption = "-";
  c.row = row;
  c.cell = cell;
  return c;
}

ControlLayout Button(int row, int id, std::string_view caption, int command = -1, int cell = 1,
                     std::string_view label = {}, int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kButton;
  c.label = label;
  c.label_id = label_id;
  c.caption = caption;
  c.command = command;
  c.row = row;
  c.cell = cell;
  return c;
}

ControlLayout Disabled(ControlLayout c) {
  c.disabled = true;
  return c;
}

ControlLayout Hidden(ControlLayout c) {
  c.hidden = true;
  return c;
}

const std::vector<ComboItem> kOffOn = {{"Off"}, {"On"}};
const std::vector<ComboItem> kFalseTrue = {{"False"}, {"True"}};
const std::vector<ComboItem> kUserSets = {{"Default"}, {"UserSet1"}, {"UserSet2"}, {"UserSet3"}};
const std::vector<ComboItem> kClValid = {{"Low Level"}, {"FolllowLVAL"}};

PageLayout UserA() {
  PageLayout page{111, "User A", false, {}};
  page.groups.push_back(
      {0,
       "Line Trigger Control",
       0,
       {
           Combo(0, control::kLineTriggerMode, "Line Trigger Mode", 48, kOffOn),
           Combo(1, control::kLineTriggerSource, "Line Trigger Source", 49,
                 {{"CC1", 1}, {"CC2", 2}, {"CC3", 3}, {"CC4", 4}}),
           Combo(2, control::kLineTriggerActivation, "Line Trigger Activation", 50,
                 {{"RisingEdge"}, {"FallingEdge"}, {"LevelHigh"}, {"LevelLow"}}),
           Combo(3, control::kLineTriggerDivider, "Line Trigger Divider", 51,
                 {{"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}, {"7"}, {"8"}},
                 control::kLineTriggerDividerLabel),
           Disabled(EditSpin(4, control::kLineTriggerPreDivider, "Line Trigger Pre Divider",
                             control::kLineTriggerPreDividerSpin, 52,
                             control::kLineTriggerPreDividerLabel)),
           Disabled(Combo(5, control::kLineTriggerMultiplier, "Line Trigger Multiplier", 53,
                          {{"Multiplier_1", 1},
                           {"Multiplier_2", 2},
                           {"Multiplier_4", 4},
                           {"Multiplier_8", 8},
                           {"Multiplier_16", 16},
                           {"Multiplier_32", 32}},
                          control::kLineTriggerMultiplierLabel)),
           Disabled(EditSpin(6, control::kLineTriggerPostDivider, "Line Trigger Post Divider",
                             control::kLineTriggerPostDividerSpin, 54,
                             control::kLineTriggerPostDividerLabel)),
       }});
  page.groups.push_back(
      {0,
       "Camera Link",
       0,
       {
           Combo(0, control::kClConfiguration, "Cl Configuration", 114,
                 {{"Base", 0}, {"Full", 2}, {"EightyBit", 3}}),
           Combo(1, control::kClClockFrequency, "Camera Link Clk Frequency", 115,
                 {{"40MHz", 40},
                  {"50MHz", 50},
                  {"60Mhz", 60},
                  {"65MHz", 65},
                  {"70MHz", 70},
                  {"80MHz", 80},
                  {"85MHz", 85}}),
           Combo(2, control::kTapGeometry, "Device Tap Geometry", 116,
                 {{"Geometry_1X2", 2},
                  {"Geometry_1X3", 3},
                  {"Geometry_1X8", 8},
                  {"Geometry_1X10", 10}}),
           Combo(3, control::kClFval, "Cl FVAL", 117, kClValid, control::kClFvalLabel),
           Combo(4, control::kClDval, "Cl DVAL", 118, kClValid, control::kClDvalLabel),
       }});
  page.groups.push_back(
      {0,
       "Image Format Control",
       1,
       {
           Combo(0, control::kBinning, "Binning Horizontal", 18,
                 {{"1 * 1binning", 1}, {"2 * 1binning", 2}}, control::kBinningLabel),
           Combo(1, control::kBinningMode, "Binning Horizontal Mode", 19, {{"Sum"}, {"Average"}},
                 control::kBinningModeLabel),
           EditSpin(2, control::kOffsetX, "Offset X", control::kOffsetXSpin, 21),
           EditSpin(3, control::kWidth, "Width", control::kWidthSpin, 22),
           ReadOnlyEditSpin(4, control::kHeight, "Height", control::kHeightSpin, 23),
           Combo(5, control::kPixelFormat, "Pixel Format", 24,
                 {{"Mono8", 0x01080001}, {"Mono10P", 0x010A0046}, {"Mono12P", 0x010C0047}}),
           Text(6, control::kPixelSizeText, "Pixel Size A"),
           Combo(7, control::kReverseX, "Reverse X", 25, kFalseTrue),
           Disabled(Combo(8, control::kFieldCount, "Field Count", 26,
                          {{"single field", 1}, {"two-light field imaging", 2}},
                          control::kFieldCountLabel)),
           Disabled(Button(9, control::kFieldResetButton, "Execute", 27, 1, "Field Rset",
                           control::kFieldResetLabel)),
           Combo(10, control::kTestPattern, "Test Pattern", 28,
                 {{"Off", 0},
                  {"Black", 1},
                  {"White", 2},
                  {"GreyHorizontalRamp", 3},
                  {"GreyHorizontalRampMoving", 5}}),
       }});
  page.groups.push_back(
      {0,
       "Acquisition Control",
       2,
       {
           EditSpin(0, control::kLineRate, "Internal Line Rate", control::kLineRateSpin, 34),
           UnitEdit(1, control::kLineTimeEdit, ""),
           Text(1, control::kLineFrequencyText, "", -1, 2),
           Hidden(Text(1, control::kUnusedText1, "", -1, 2)),
           Hidden(Text(1, control::kUnusedText2, "", -1, 2)),
           Text(2, control::kLineTimeMinText, "Linetime MIN", 35),
           Button(2, control::kLineTimeLimitsButton, "Read", -1, 2),
           Text(3, control::kLineTimeMaxText, "Linetime MAX", 36),
           Text(4, control::kMeasuredLineRateText, "Measured Line Rate", 37),
           Button(4, control::kMeasuredRatesButton, "Read", -1, 2),
           Text(5, control::kMeasuredExtTriggerRateText, "Measured Ext Trigger Rate", 38, 1,
                control::kMeasuredExtTriggerRateLabel),
           Combo(6, control::kExposureMode, "Exposure Mode", 29, {{"TriggerWidth"}, {"Timed"}}),
           EditSpin(7, control::kExposureTime, "Exposure Time", control::kExposureTimeSpin, 30),
           UnitEdit(8, control::kExposureTimeEdit, ""),
           Text(9, control::kExposureMinText, "Exposure Time Min", 32),
           Button(9, control::kExposureLimitsButton, "Read", -1, 2),
           Text(10, control::kExposureMaxText, "Exposure Time Max", 33),
           Text(11, control::kMeasuredExposureText, "Measured Exposure Time", 31),
           Button(11, control::kMeasuredExposureButton, "Read", -1, 2),
       }});
  return page;
}

PageLayout UserB() {
  PageLayout page{112, "User B", false, {}};
  page.groups.push_back(
      {0,
       "Flat Field Correction",
       0,
       {
           Combo(0, control::kFfcEnable, "FFC Enable", 67, kOffOn),
           Combo(1, control::kFfcSampleFrames, "FFC Sample Frames", 68,
                 {{"1024", 1024}, {"2048", 2048}}, control::kFfcSampleFramesLabel),
           Combo(2, control::kFfcUserSetSelector, "FFC User Set Selector", 69, kUserSets),
           Button(3, control::kFfcUserSetLoadButton, "Load", 70),
           Combo(4, control::kAwbLink, "AWB Link", 71, kFalseTrue, control::kAwbLinkLabel),
           EditSpin(5, control::kFfcCalAreaStartX, "FFC Cal Area Start X",
                    control::kFfcCalAreaStartXSpin, 72),
           EditSpin(6, control::kFfcCalAreaWidth, "FFC Cal Area Width",
                    control::kFfcCalAreaWidthSpin, 73),
           Combo(7, control::kFfcCalAlgorithm, "FFC Cal Algorithm", 74,
                 {{"Off", 1},
                  {"1*3 Filter", 2},
                  {"1*5 Filter", 3},
                  {"1*7 Filter", 4},
                  {"1*9 Filter", 5}},
                 control::kFfcCalAlgorithmLabel),
           Combo(8, control::kFfcCalTargetMode, "FFC Cal Target Mode", 75,
                 {{"MAX"}, {"Average"}, {"Target"}}),
           EditSpin(9, control::kFfcCalTargetValue, "FFC Cal Target Value",
                    control::kFfcCalTargetValueSpin, 76),
           Button(10, control::kFfcCalFpnButton, "FFC Cal FPN", 77),
           Button(10, control::kFfcCalPrnuButton, "FFC Cal PRNU", 78, 2),
       }});
  page.groups.push_back(
      {0,
       "LUT Control",
       1,
       {
           Combo(0, control::kLutEnable, "LUT Enable", 104, kOffOn),
           Combo(1, control::kLutSelector, "LUT Selector", 105, {{"User"}}),
           Button(2, control::kLutSaveButton, "Save", cmd::kLutSave),
           Button(2, control::kLutLoadButton, "Load", cmd::kLutLoad, 2),
           EditSpin(3, control::kLutIndex, "LUT Index", control::kLutIndexSpin, 108),
           EditSpin(4, control::kLutValue, "LUT Value", control::kLutValueSpin, 109),
           Button(5, control::kOpenLutTableButton, "Open LUT Table"),
       }});
  page.groups.push_back(
      {0,
       "Analog Control",
       1,
       {
           Combo(0, control::kBlackLevelMode, "Black Level Mode", 55,
                 {{"Normal"}, {"DeBackGround"}}),
           EditSpin(1, control::kBlackLevel, "Black Level", control::kBlackLevelSpin, 56),
           EditSpin(2, control::kDigitalGain, "Digital Gain", control::kDigitalGainSpin, 57),
           Combo(3, control::kDigitalShift, "Digital Shift", 58,
                 {{"x1"}, {"x2"}, {"x4"}, {"x8"}, {"x16"}}),
           Combo(4, control::kGammaEnable, "Gamma Enable", 59, kOffOn),
           EditSpin(5, control::kGamma, "Gamma", control::kGammaSpin, 60),
       }});
  page.groups.push_back(
      {control::kTdiGroup,
       "TDI Control",
       2,
       {
           Combo(0, control::kTdiStage, "TDI Stage", 61, {{"1-Stage"}, {"2-Stage"}},
                 control::kTdiStageLabel),
           Combo(1, control::kTdiMode, "TDI Mode", 62, {{"Sum"}, {"Aver"}}, control::kTdiModeLabel),
           EditSpin(2, control::kTdiParameter, "TDI Parameter", control::kTdiParameterSpin, 63,
                    control::kTdiParameterLabel),
           Combo(3, control::kTdiRowDirection, "TDI Row Direction", 64, {{"Reverse"}, {"Forward"}},
                 control::kTdiRowDirectionLabel),
       }});
  page.groups.push_back({0,
                         "",
                         2,
                         {
                             EditSpin(0, control::kField1Gain, "Field 1 Gain",
                                      control::kField1GainSpin, 65, control::kField1GainLabel),
                             EditSpin(1, control::kField2Gain, "Field 2 Gain",
                                      control::kField2GainSpin, 66, control::kField2GainLabel),
                         }});
  return page;
}

PageLayout UserC() {
  PageLayout page{113, "User C", false, {}};
  page.groups.push_back(
      {control::kWhiteBalanceGroup,
       "White Balance",
       0,
       {
           Combo(0, control::kWbCalibMode, "WB Calib Mode", 86,
                 {{"Manual", 0}, {"Once", 2}, {"Off", 3}}, control::kWbCalibModeLabel),
           EditSpin(1, control::kWbRedGain, "WB Red Gain", control::kWbRedGainSpin, 87,
                    control::kWbRedGainLabel),
           EditSpin(2, control::kWbBlueGain, "WB Blue Gain", control::kWbBlueGainSpin, 88,
                    control::kWbBlueGainLabel),
           EditSpin(3, control::kWbGreenGain, "WB Green Gain", control::kWbGreenGainSpin, 89,
                    control::kWbGreenGainLabel),
           EditSpin(4, control::kWbCalibAoiStartX, "WB Calib AOI Start X",
                    control::kWbCalibAoiStartXSpin, 90, control::kWbCalibAoiStartXLabel),
           EditSpin(5, control::kWbCalibAoiWidth, "WB Calib AOI Width",
                    control::kWbCalibAoiWidthSpin, 91, control::kWbCalibAoiWidthLabel),
           Button(6, control::kRefreshPrnuWbGainButton, "Execute", 78, 1, "Refresh PRNU_WBGain",
                  control::kRefreshPrnuWbGainLabel),
       }});
  page.groups.push_back(
      {control::kColourSkewGroup,
       "Color Skew Correction",
       1,
       {
           Combo(0, control::kCscEnable, "CSC Enable", 79, kOffOn, control::kCscEnableLabel),
           Combo(1, control::kCscDirection, "CSC Direction", 80, {{"Blue"}, {"Red"}},
                 control::kCscDirectionLabel),
           EditSpin(2, control::kCscLeftSkew, "CSC Left Skew", control::kCscLeftSkewSpin, 81,
                    control::kCscLeftSkewLabel),
           EditSpin(3, control::kCscRightSkew, "CSC Right Skew", control::kCscRightSkewSpin, 82,
                    control::kCscRightSkewLabel),
       }});
  page.groups.push_back(
      {control::kSpatialCorrectionGroup,
       "Spatial Correction",
       1,
       {
           Combo(0, control::kScEnable, "SC Enable", 83, kOffOn, control::kScEnableLabel),
           Combo(1, control::kScDirection, "SC Direction", 84, {{"Red"}, {"Blue"}},
                 control::kScDirectionLabel),
           EditSpin(2, control::kScParameter, "SC Parameter", control::kScParameterSpin, 85,
                    control::kScParameterLabel),
       }});
  GroupLayout ccm{
      control::kColourTransformGroup,
      "Color Transformation Control",
      2,
      {
          Combo(0, control::kCcmEnable, "CCM Enable", 93, kOffOn, control::kCcmEnableLabel),
          Combo(1, control::kCcmSelector, "CCM Selector", 94, kUserSets,
                control::kCcmSelectorLabel),
      }};
  static constexpr std::string_view kCoefficients[] = {"CCM_A11", "CCM_A12", "CCM_A13",
                                                       "CCM_A21", "CCM_A22", "CCM_A23",
                                                       "CCM_A31", "CCM_A32", "CCM_A33"};
  for (int i = 0; i < control::kCcmCoefficientCount; ++i) {
    ccm.controls.push_back(EditSpin(2 + i, control::CcmCoefficient(i), kCoefficients[i],
                                    control::CcmCoefficientSpin(i), 95 + i,
                                    control::CcmCoefficientLabel(i)));
  }
  page.groups.push_back(std::move(ccm));
  // The whole page belongs to colour cameras; the colour profile enables it.
  for (GroupLayout& group : page.groups) {
    for (ControlLayout& control : group.controls) control.disabled = true;
  }
  return page;
}

PageLayout UserD() {
  PageLayout page{114, "User D", false, {}};
  page.groups.push_back({0,
                         "Acquisition Control",
                         0,
                         {
                             Text(0, control::kExtTriggerDroppedText, "Ext Trigger Dropped", 39),
                             Button(0, control::kExtTriggerDroppedClearButton, "Clear", 40, 2),
                             Text(1, control::kExtTriggerCountText, "Ext Trigger Count", 41),
                             Button(1, control::kExtTriggerCountClearButton, "Clear", 42, 2),
                             Text(2, control::kInputExtTriggerCountText, "Input Ext Trigger Count",
                                  43, 1, control::kInputExtTriggerCountLabel),
                             Text(3, control::kSolCountText, "SOL Count", 44),
                             Text(4, control::kEolCountText, "EOL Count", 45),
                             Text(5, control::kAxiValidCountText, "axidgtvalid Count", 46, 1,
                                  control::kAxiValidCountLabel),
                             Text(6, control::kCameraValidCountText, "Cameratvalid Count", 47),
                             Button(7, control::kCounterReadButton, "Counter Read"),
                         }});
  page.groups.push_back(
      {0,
       "Device Control",
       1,
       {
           Combo(0, control::kTemperatureSelector, "Device Temperature Selector", 11,
                 {{"FPGA", 1}}),
           Text(1, control::kTemperatureText, "", 12),
           Button(1, control::kTemperatureReadButton, "Read", -1, 2),
           Combo(2, control::kVoltageSelector, "Device Voltage Selector", 13, {{"VCCIN"}}),
           Text(3, control::kVoltageText, "", 14),
           Button(3, control::kVoltageReadButton, "Read", -1, 2),
       }});
  page.groups.push_back(
      {0,
       "",
       1,
       {
           Button(0, control::kRefreshDeviceStateButton, "refresh Device State", 15),
           Button(1, control::kLvdsRetrainingButton, "LVDS Re Training", 16),
           Button(2, control::kDeviceResetButton, "Device Reset", 17),
       }});
  page.groups.push_back(
      {0,
       "Device Serial Port Control",
       2,
       {
           Combo(0, control::kBaudRate, "Baud Rate", 119,
                 {{"BAUDRATE_9600", 1}, {"BAUDRATE_115200", 16}, {"BAUDRATE_460800", 64}}),
       }});
  page.groups.push_back({0,
                         "User Set Control",
                         2,
                         {
                             Combo(0, control::kUserSetDefaultSelector, "User Set Default Selector",
                                   113, {{"Factory"}, {"UserSet1"}, {"UserSet2"}, {"UserSet3"}}),
                         }});
  page.groups.push_back({0, "", 2, {Combo(0, control::kEenOutput, "EEN Output", 123, kOffOn)}});
  return page;
}

PageLayout FactoryA() {
  PageLayout page{117, "Factory A", true, {}};
  page.groups.push_back({0,
                         "",
                         0,
                         {
                             Button(0, control::kTerminalButton, "Terminal"),
                             Button(1, control::kCameraResetButton, "Camera Reset"),
                             Disabled(Button(2, control::kStoreAllButton, "Store All")),
                         }});
  page.groups.push_back(
      {0,
       "",
       1,
       {
           Hidden(Combo(0, control::kCmosFfcEnable, "cmos FFC Enable", -1, kOffOn)),
           Hidden(Combo(1, control::kCmosFfcSampleFrames, "Cmos FFC Sample Frames", -1,
                        {{"1024", 1024}, {"2048", 2048}})),
           Hidden(Combo(2, control::kCmosFfcMode, "cmos FFC Mode", -1, {{"Off"}, {"On"}})),
           Hidden(EditSpin(3, control::kCmosFfcTargetValue, "cmos FFC Target Value",
                           control::kCmosFfcTargetValueSpin, -1)),
           Hidden(Button(4, control::kCmosFfcCalFpnButton, "cmos FFC Cal FPN")),
           Hidden(Button(5, control::kCmosFfcCalPrnuButton, "cmos FFC Cal PRNU")),
           Hidden(
               ReadOnlyEditSpin(6, control::kDataSize, "Data Size", control::kDataSizeSpin, 120)),
           Hidden(ReadOnlyEditSpin(7, control::kParity, "Parity", control::kParitySpin, 121)),
           Hidden(
               ReadOnlyEditSpin(8, control::kStopBits, "Stop Bits", control::kStopBitsSpin, 122)),
       }});
  return page;
}

}  // namespace

const std::vector<PageLayout>& PageLayouts() {
  static const std::vector<PageLayout> pages = {UserA(), UserB(), UserC(), UserD(), FactoryA()};
  return pages;
}

const ControlLayout* FindControlLayout(int control_id) {
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        if (control.id == control_id) return &control;
      }
    }
  }
  return nullptr;
}

}  // namespace ctrl::ui
