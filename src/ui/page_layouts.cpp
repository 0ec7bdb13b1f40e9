#include "ui/page_layouts.h"

#include "camera/command_table.h"
#include "camera/control_ids.h"
#include "camera/feature_catalogue.h"

namespace ctrl::ui {
namespace {

// The pages start with the lists of the first supported kind; a model profile replaces them.
constexpr ModelKind kTemplateKind = ModelKind::Mono;

// The items come from the feature catalogue: those of `items_of`, by default the combo's command.
ControlLayout Combo(int row, int id, std::string_view label, int command, int label_id = 0,
                    int items_of = -1) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kCombo;
  c.label = label;
  c.label_id = label_id;
  c.items = ComboItems(items_of >= 0 ? items_of : command, kTemplateKind, 0);
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

PageLayout UserA() {
  PageLayout page{111, "User A", false, {}};
  page.groups.push_back(
      {0,
       "Line Trigger Control",
       0,
       {
           Combo(0, control::kLineTriggerMode, "Line Trigger Mode", 48),
           Combo(1, control::kLineTriggerSource, "Line Trigger Source", 49),
           Combo(2, control::kLineTriggerActivation, "Line Trigger Activation", 50),
           Combo(3, control::kLineTriggerDivider, "Line Trigger Divider", 51,
                 control::kLineTriggerDividerLabel),
           Disabled(EditSpin(4, control::kLineTriggerPreDivider, "Line Trigger Pre Divider",
                             control::kLineTriggerPreDividerSpin, 52,
                             control::kLineTriggerPreDividerLabel)),
           Disabled(Combo(5, control::kLineTriggerMultiplier, "Line Trigger Multiplier", 53,
                          control::kLineTriggerMultiplierLabel)),
           Disabled(EditSpin(6, control::kLineTriggerPostDivider, "Line Trigger Post Divider",
                             control::kLineTriggerPostDividerSpin, 54,
                             control::kLineTriggerPostDividerLabel)),
       }});
  page.groups.push_back({0,
                         "Camera Link",
                         0,
                         {
                             Combo(0, control::kClConfiguration, "Cl Configuration", 114),
                             Combo(1, control::kClClockFrequency, "Camera Link Clk Frequency", 115),
                             Combo(2, control::kTapGeometry, "Device Tap Geometry", 116),
                             Combo(3, control::kClFval, "Cl FVAL", 117, control::kClFvalLabel),
                             Combo(4, control::kClDval, "Cl DVAL", 118, control::kClDvalLabel),
                         }});
  page.groups.push_back(
      {0,
       "Image Format Control",
       1,
       {
           Combo(0, control::kBinning, "Binning Horizontal", 18, control::kBinningLabel),
           Combo(1, control::kBinningMode, "Binning Horizontal Mode", 19,
                 control::kBinningModeLabel),
           EditSpin(2, control::kOffsetX, "Offset X", control::kOffsetXSpin, 21),
           EditSpin(3, control::kWidth, "Width", control::kWidthSpin, 22),
           ReadOnlyEditSpin(4, control::kHeight, "Height", control::kHeightSpin, 23),
           Combo(5, control::kPixelFormat, "Pixel Format", 24),
           Text(6, control::kPixelSizeText, "Pixel Size A"),
           Combo(7, control::kReverseX, "Reverse X", 25),
           Disabled(Combo(8, control::kFieldCount, "Field Count", 26, control::kFieldCountLabel)),
           Disabled(Button(9, control::kFieldResetButton, "Execute", 27, 1, "Field Rset",
                           control::kFieldResetLabel)),
           Combo(10, control::kTestPattern, "Test Pattern", 28),
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
           Combo(6, control::kExposureMode, "Exposure Mode", 29),
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
  page.groups.push_back({0,
                         "Flat Field Correction",
                         0,
                         {
                             Combo(0, control::kFfcEnable, "FFC Enable", 67),
                             Combo(1, control::kFfcSampleFrames, "FFC Sample Frames", 68,
                                   control::kFfcSampleFramesLabel),
                             Combo(2, control::kFfcUserSetSelector, "FFC User Set Selector", 69),
                             Button(3, control::kFfcUserSetLoadButton, "Load", 70),
                             Combo(4, control::kAwbLink, "AWB Link", 71, control::kAwbLinkLabel),
                             EditSpin(5, control::kFfcCalAreaStartX, "FFC Cal Area Start X",
                                      control::kFfcCalAreaStartXSpin, 72),
                             EditSpin(6, control::kFfcCalAreaWidth, "FFC Cal Area Width",
                                      control::kFfcCalAreaWidthSpin, 73),
                             Combo(7, control::kFfcCalAlgorithm, "FFC Cal Algorithm", 74,
                                   control::kFfcCalAlgorithmLabel),
                             Combo(8, control::kFfcCalTargetMode, "FFC Cal Target Mode", 75),
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
           Combo(0, control::kLutEnable, "LUT Enable", 104),
           Combo(1, control::kLutSelector, "LUT Selector", 105),
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
           Combo(0, control::kBlackLevelMode, "Black Level Mode", 55),
           EditSpin(1, control::kBlackLevel, "Black Level", control::kBlackLevelSpin, 56),
           EditSpin(2, control::kDigitalGain, "Digital Gain", control::kDigitalGainSpin, 57),
           Combo(3, control::kDigitalShift, "Digital Shift", 58),
           Combo(4, control::kGammaEnable, "Gamma Enable", 59),
           EditSpin(5, control::kGamma, "Gamma", control::kGammaSpin, 60),
       }});
  page.groups.push_back({control::kTdiGroup,
                         "TDI Control",
                         2,
                         {
                             Combo(0, control::kTdiStage, "TDI Stage", 61, control::kTdiStageLabel),
                             Combo(1, control::kTdiMode, "TDI Mode", 62, control::kTdiModeLabel),
                             EditSpin(2, control::kTdiParameter, "TDI Parameter",
                                      control::kTdiParameterSpin, 63, control::kTdiParameterLabel),
                             Combo(3, control::kTdiRowDirection, "TDI Row Direction", 64,
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
           Combo(0, control::kWbCalibMode, "WB Calib Mode", 86, control::kWbCalibModeLabel),
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
           Combo(0, control::kCscEnable, "CSC Enable", 79, control::kCscEnableLabel),
           Combo(1, control::kCscDirection, "CSC Direction", 80, control::kCscDirectionLabel),
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
           Combo(0, control::kScEnable, "SC Enable", 83, control::kScEnableLabel),
           Combo(1, control::kScDirection, "SC Direction", 84, control::kScDirectionLabel),
           EditSpin(2, control::kScParameter, "SC Parameter", control::kScParameterSpin, 85,
                    control::kScParameterLabel),
       }});
  GroupLayout ccm{
      control::kColourTransformGroup,
      "Color Transformation Control",
      2,
      {
          Combo(0, control::kCcmEnable, "CCM Enable", 93, control::kCcmEnableLabel),
          Combo(1, control::kCcmSelector, "CCM Selector", 94, control::kCcmSelectorLabel),
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
                         }});
  page.groups.push_back({0, "", 0, {Button(0, control::kCounterReadButton, "Counter Read")}});
  page.groups.push_back(
      {0,
       "Device Control",
       1,
       {
           Combo(0, control::kTemperatureSelector, "Device Temperature Selector", 11),
           Text(1, control::kTemperatureText, "", 12),
           Button(1, control::kTemperatureReadButton, "Read", -1, 2),
           Combo(2, control::kVoltageSelector, "Device Voltage Selector", 13),
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
  page.groups.push_back({0,
                         "Device Serial Port Control",
                         2,
                         {
                             Combo(0, control::kBaudRate, "Baud Rate", 119),
                         }});
  page.groups.push_back(
      {0,
       "User Set Control",
       2,
       {
           Combo(0, control::kUserSetDefaultSelector, "User Set Default Selector", 113),
       }});
  page.groups.push_back({0, "", 2, {Combo(0, control::kEenOutput, "EEN Output", 123)}});
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
           Hidden(Combo(0, control::kCmosFfcEnable, "cmos FFC Enable", -1, 0, 67)),
           Hidden(Combo(1, control::kCmosFfcSampleFrames, "Cmos FFC Sample Frames", -1, 0, 68)),
           Hidden(Combo(2, control::kCmosFfcMode, "cmos FFC Mode", -1, 0, 67)),
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

std::vector<ComboItem> ComboItems(int command_id, ModelKind kind, int32_t version_number) {
  const Feature* feature = FeatureOfCommand(command_id);
  if (feature == nullptr) return {};
  std::vector<ComboItem> items;
  for (const EnumItem& item : ItemsFor(*feature, kind, version_number)) {
    items.push_back({item.name, feature->positional ? 0 : item.value});
  }
  return items;
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
