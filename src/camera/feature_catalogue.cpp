#include "camera/feature_catalogue.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "camera/baud_rates.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/model_profile.h"
#include "camera/parameter_database.h"
#include "camera/value_text.h"

namespace ctrl {
namespace {

namespace k = item_kinds;

// ---- Item lists ----

constexpr EnumItem kOffOn[] = {{"Off", 0}, {"On", 1}};
constexpr EnumItem kFalseTrue[] = {{"False", 0}, {"True", 1}};
constexpr EnumItem kUserSets[] = {
    {"Default", 0}, {"UserSet1", 1}, {"UserSet2", 2}, {"UserSet3", 3}};
constexpr EnumItem kClValid[] = {{"Low Level", 0}, {"FolllowLVAL", 1}};
constexpr EnumItem kTemperatureSources[] = {{"FPGA", 1}};
constexpr EnumItem kVoltageSources[] = {{"VCCIN", 0}};
constexpr EnumItem kBinnings[] = {{"1 * 1binning", 1}, {"2 * 1binning", 2}};
constexpr EnumItem kBinningModes[] = {{"Sum", 0}, {"Average", 1}};
constexpr EnumItem kPixelFormats[] = {{"Mono8", 0x01080001},
                                      {"RGB8", 0x02180014, k::kColor},
                                      {"Mono10P", 0x010A0046, k::kMonochrome},
                                      {"Mono12P", 0x010C0047, k::kMono | k::kWideMono}};
constexpr EnumItem kFieldCounts[] = {{"single field", 1}, {"two-light field imaging", 2}};
constexpr EnumItem kTestPatterns[] = {{"Off", 0},
                                      {"Black", 1},
                                      {"White", 2},
                                      {"GreyHorizontalRamp", 3},
                                      {"GreyHorizontalRampMoving", 5},
                                      {"ColorBar", 7, k::kColor}};
constexpr EnumItem kExposureModes[] = {{"TriggerWidth", 0}, {"Timed", 1}};
constexpr EnumItem kTriggerSources[] = {{"CC1", 1}, {"CC2", 2}, {"CC3", 3}, {"CC4", 4}};
constexpr EnumItem kTriggerActivations[] = {
    {"RisingEdge", 0}, {"FallingEdge", 1}, {"LevelHigh", 2}, {"LevelLow", 3}};
constexpr EnumItem kTriggerDividers[] = {{"1", 0}, {"2", 1}, {"3", 2}, {"4", 3},
                                         {"5", 4}, {"6", 5}, {"7", 6}, {"8", 7}};
constexpr EnumItem kTriggerMultipliers[] = {{"Multiplier_1", 1},   {"Multiplier_2", 2},
                                            {"Multiplier_4", 4},   {"Multiplier_8", 8},
                                            {"Multiplier_16", 16}, {"Multiplier_32", 32}};
constexpr EnumItem kBlackLevelModes[] = {{"Normal", 0}, {"DeBackGround", 1}};
constexpr EnumItem kDigitalShifts[] = {{"x1", 0}, {"x2", 1}, {"x4", 2}, {"x8", 3}, {"x16", 4}};
constexpr EnumItem kTdiStages[] = {{"1-Stage", 0}, {"2-Stage", 1}};
constexpr EnumItem kTdiModes[] = {{"Sum", 0}, {"Aver", 1}};
constexpr EnumItem kTdiDirections[] = {{"Reverse", 0}, {"Forward", 1}};
constexpr EnumItem kSampleFrames[] = {{"1024", 1024}, {"2048", 2048}};
constexpr EnumItem kFfcAlgorithms[] = {
    {"Off", 1}, {"1*3 Filter", 2}, {"1*5 Filter", 3}, {"1*7 Filter", 4}, {"1*9 Filter", 5}};
constexpr EnumItem kFfcTargetModes[] = {{"MAX", 0}, {"Average", 1}, {"Target", 2}};
constexpr EnumItem kBlueRed[] = {{"Blue", 0}, {"Red", 1}};
constexpr EnumItem kRedBlue[] = {{"Red", 0}, {"Blue", 1}};
constexpr EnumItem kWbCalibModes[] = {{"Manual", 0}, {"Once", 2}, {"Off", 3}};
// A monochrome camera has one table; a colour camera selects one of three.
constexpr EnumItem kLutSelectors[] = {{"User", 0, k::kMonochrome},
                                      {"Green", 0, k::kColor},
                                      {"Blue", 1, k::kColor},
                                      {"Red", 2, k::kColor}};
constexpr EnumItem kDefaultUserSets[] = {
    {"Factory", 0}, {"UserSet1", 1}, {"UserSet2", 2}, {"UserSet3", 3}};
constexpr EnumItem kClConfigurations[] = {{"Base", 0}, {"Full", 2, k::kMono}, {"EightyBit", 3}};
constexpr EnumItem kClClocks[] = {{"40MHz", 40}, {"50MHz", 50}, {"60Mhz", 60}, {"65MHz", 65},
                                  {"70MHz", 70}, {"80MHz", 80}, {"85MHz", 85}};
constexpr EnumItem kTapGeometries[] = {{"Geometry_1X1 ", 1, k::kColor},
                                       {"Geometry_1X2", 2},
                                       {"Geometry_1X3", 3},
                                       {"Geometry_1X8", 8, k::kMonochrome},
                                       {"Geometry_1X10", 10}};
constexpr std::array<EnumItem, kBaudRates.size()> kBaudRateItems = [] {
  std::array<EnumItem, kBaudRates.size()> items{};
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    items[i] = {kBaudRates[i].item_name, static_cast<int32_t>(kBaudRates[i].code)};
  }
  return items;
}();

// ---- Rows ----

constexpr Feature Readout(int id, std::string_view description,
                          Conversion conversion = Conversion::kNone, std::string_view unit = {}) {
  return {id, FeatureKind::kReadout, description, {}, false, conversion, unit};
}
constexpr Feature Text(int id, std::string_view description) {
  return {id, FeatureKind::kText, description};
}
constexpr Feature Action(int id, std::string_view description, int timeout_ms = 0) {
  return {id,        FeatureKind::kAction, description, {}, false, Conversion::kNone, {}, -1, -1,
          timeout_ms};
}
constexpr Feature Integer(int id, std::string_view description, int min_command = -1,
                          int max_command = -1, Conversion conversion = Conversion::kNone,
                          std::string_view unit = {}) {
  return {id,   FeatureKind::kInteger, description, {}, false, conversion,
          unit, min_command,           max_command};
}
constexpr Feature Enum(int id, std::span<const EnumItem> items, std::string_view description) {
  return {id, FeatureKind::kEnum, description, items};
}
constexpr Feature Indexed(int id, std::span<const EnumItem> items, std::string_view description) {
  return {id, FeatureKind::kEnum, description, items, true};
}

constexpr Feature kFeatures[] = {
    Readout(0, "Kind of device the camera reports itself as."),
    Readout(1, "Scan type the camera reports."),
    Text(2, "Manufacturer name stored in the camera."),
    Text(3, "Model name; decides which profile the tool applies."),
    Text(4, "Version of the device."),
    Text(5, "Version of the camera firmware."),
    Text(6, "Serial number stored in the camera; can be rewritten."),
    Text(7, "Free text the user stores in the camera to tell cameras apart."),
    Text(8, "Identification of the image sensor."),
    Text(9, "Version of the FPGA design."),
    Text(10, "Version of the camera's XML feature description."),
    Enum(11, kTemperatureSources, "Chooses where Device Temperature is measured."),
    Readout(12, "Temperature at the selected sensor.", Conversion::kTemperature, "degC"),
    Indexed(13, kVoltageSources, "Chooses which supply Device Voltage measures."),
    Readout(14, "Voltage of the selected supply.", Conversion::kVoltage, "V"),
    Action(15, "Makes the camera refresh its device state."),
    Action(16, "Makes the camera train its LVDS receivers again."),
    Action(17, "Restarts the camera.", kDeviceResetTimeoutMs),
    Enum(18, kBinnings, "Combines horizontally adjacent pixels into one."),
    Indexed(19, kBinningModes, "Whether binned pixels are added or averaged."),
    Readout(20, "Width of the sensor in pixels; bounds Width and Offset X."),
    Integer(21, "First sensor column of the image.", -1, 20),
    Integer(22, "Number of pixels per line sent.", -1, 20),
    Readout(23, "Lines per frame; fixed for a line-scan camera."),
    Enum(24, kPixelFormats, "Pixel layout and bit depth sent over Camera Link."),
    Indexed(25, kFalseTrue, "Mirrors the line horizontally."),
    Enum(26, kFieldCounts, "Single-field or two-light field imaging."),
    Action(27, "Resets the field sequence of two-light field imaging."),
    Enum(28, kTestPatterns, "Replaces the image with a generated pattern."),
    Indexed(29, kExposureModes, "Whether the trigger pulse width or Exposure Time sets exposure."),
    Integer(30, "Exposure of each line, in ticks of the line timer.", 32, 33,
            Conversion::kExposureTime, "us"),
    Readout(31, "Exposure the camera measured on the last line."),
    Readout(32, "Shortest exposure the current settings allow."),
    Readout(33, "Longest exposure the current settings allow."),
    Integer(34, "Line period of the internal line trigger, in ticks of the line timer.", 35, 36,
            Conversion::kLineTime, "us"),
    Readout(35, "Shortest line period the current settings allow."),
    Readout(36, "Longest line period the current settings allow."),
    Readout(37, "Line rate the camera measured."),
    Readout(38, "Rate of the external trigger the camera measured."),
    Readout(39, "External triggers the camera dropped."),
    Action(40, "Clears the dropped external trigger counter."),
    Readout(41, "External triggers the camera counted."),
    Action(42, "Clears the external trigger counter."),
    Readout(43, "External trigger pulses counted at the input."),
    Readout(44, "Start-of-line events counted."),
    Readout(45, "End-of-line events counted."),
    Readout(46, "Counter of the camera's internal data-valid signal."),
    Readout(47, "Counter of the Camera Link valid signal."),
    Indexed(48, kOffOn, "Whether an external line trigger starts each line."),
    Enum(49, kTriggerSources, "Camera Link control line that carries the line trigger."),
    Indexed(50, kTriggerActivations, "Edge or level of the trigger signal that starts a line."),
    Indexed(51, kTriggerDividers, "Takes only every n-th line trigger."),
    Integer(52, "Divides the line trigger before the multiplier."),
    Enum(53, kTriggerMultipliers, "Multiplies the line trigger rate."),
    Integer(54, "Divides the line trigger after the multiplier."),
    Indexed(55, kBlackLevelModes, "Normal black level or removal of the background."),
    Integer(56, "Offset added to every pixel."),
    Integer(57, "Gain applied to every pixel; 256 is unity."),
    Indexed(58, kDigitalShifts, "Multiplies pixel values by a power of two."),
    Indexed(59, kOffOn, "Switches the gamma curve on or off."),
    Integer(60, "Gamma of the output curve in hundredths; 100 is linear."),
    Indexed(61, kTdiStages, "Number of sensor rows integrated per line."),
    Indexed(62, kTdiModes, "Whether integrated rows are added or averaged."),
    Integer(63, "Parameter of the TDI row integration."),
    Indexed(64, kTdiDirections, "Direction the object moves across the sensor rows."),
    Integer(65, "Gain of the first field in two-light field imaging; 256 is unity."),
    Integer(66, "Gain of the second field in two-light field imaging; 256 is unity."),
    Indexed(67, kOffOn, "Applies the flat-field correction to the image."),
    Enum(68, kSampleFrames, "Lines averaged when the flat-field correction is calibrated."),
    Indexed(69, kUserSets, "Flat-field data set that Load and calibration act on."),
    Action(70, "Loads the selected flat-field data set."),
    Indexed(71, kFalseTrue, "Links the white balance to the flat-field correction."),
    Integer(72, "First column of the flat-field calibration area."),
    Integer(73, "Width of the flat-field calibration area."),
    Enum(74, kFfcAlgorithms, "Smoothing filter used by the flat-field calibration."),
    Indexed(75, kFfcTargetModes, "Level the flat-field calibration corrects towards."),
    Integer(76, "Target level of the flat-field calibration in Target mode."),
    Action(77, "Calibrates the fixed-pattern noise with the lens covered.", kCalibrationTimeoutMs),
    Action(78, "Calibrates the pixel response under even light.", kCalibrationTimeoutMs),
    Indexed(79, kOffOn, "Corrects the offset between the colour rows."),
    Indexed(80, kBlueRed, "Colour row the skew correction moves."),
    Integer(81, "Skew correction at the left edge."),
    Integer(82, "Skew correction at the right edge."),
    Indexed(83, kOffOn, "Corrects the spatial offset between the colour rows."),
    Indexed(84, kRedBlue, "Colour row the spatial correction moves."),
    Integer(85, "Amount of the spatial correction."),
    Enum(86, kWbCalibModes, "Manual white balance, or one automatic balance (Once)."),
    Integer(87, "Gain of the red channel; 1024 is unity."),
    Integer(88, "Gain of the blue channel; 1024 is unity."),
    Integer(89, "Gain of the green channel; 1024 is unity."),
    Integer(90, "First column of the area the white balance measures."),
    Integer(91, "Width of the area the white balance measures."),
    Integer(92, "Not used by any operation of this tool."),
    Indexed(93, kOffOn, "Applies the colour correction matrix."),
    Indexed(94, kUserSets, "Matrix set in use; the Default set cannot be edited."),
    Integer(95, "Colour matrix coefficient row 1, column 1; 1024 is unity."),
    Integer(96, "Colour matrix coefficient row 1, column 2; 1024 is unity."),
    Integer(97, "Colour matrix coefficient row 1, column 3; 1024 is unity."),
    Integer(98, "Colour matrix coefficient row 2, column 1; 1024 is unity."),
    Integer(99, "Colour matrix coefficient row 2, column 2; 1024 is unity."),
    Integer(100, "Colour matrix coefficient row 2, column 3; 1024 is unity."),
    Integer(101, "Colour matrix coefficient row 3, column 1; 1024 is unity."),
    Integer(102, "Colour matrix coefficient row 3, column 2; 1024 is unity."),
    Integer(103, "Colour matrix coefficient row 3, column 3; 1024 is unity."),
    Indexed(104, kOffOn, "Maps pixel values through the look-up table."),
    Indexed(105, kLutSelectors, "Look-up table that LUT Index and LUT Value address."),
    Action(106, "Stores the working look-up table in flash."),
    Action(107, "Copies the look-up table in flash back into the working one."),
    Integer(108, "Input level of the look-up table entry LUT Value reads and writes."),
    Integer(109, "Output level of the look-up table at LUT Index."),
    Integer(110, "Settings area that user set load and store act on: 0 factory, 1 to 3 user."),
    Action(111, "Loads the settings of the selected area."),
    Action(112, "Stores the current settings in the selected area."),
    Indexed(113, kDefaultUserSets, "Settings the camera loads when it starts."),
    Enum(114, kClConfigurations, "Camera Link configuration: number of taps and cables."),
    Enum(115, kClClocks, "Pixel clock of the Camera Link output."),
    Enum(116, kTapGeometries, "How pixels of a line are spread over the Camera Link taps."),
    Indexed(117, kClValid, "Whether the frame valid signal stays low or follows LVAL."),
    Indexed(118, kClValid, "Whether the data valid signal stays low or follows LVAL."),
    Enum(119, kBaudRateItems, "Speed of the camera's serial link."),
    Readout(120, "Data bits of the camera's serial port."),
    Readout(121, "Parity of the camera's serial port."),
    Readout(122, "Stop bits of the camera's serial port."),
    Indexed(123, kOffOn, "Switches the EEN output signal."),
};
static_assert(std::size(kFeatures) == CommandTable::kCount);
static_assert([] {
  for (int id = 0; id < CommandTable::kCount; ++id) {
    if (kFeatures[id].command_id != id) return false;
  }
  return true;
}());

bool SameName(std::string_view item, std::string_view name) {
  while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return item.size() == name.size() &&
         std::equal(item.begin(), item.end(), name.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

const ParameterRow* BuiltInRow(const Feature& feature) {
  for (const ParameterRow& row : ParameterDatabase::BuiltInRows()) {
    if (row.command_id == feature.command_id) return &row;
  }
  return nullptr;
}

}  // namespace

uint8_t ItemKindOf(ModelKind kind, int32_t version_number) {
  switch (kind) {
    case ModelKind::Mono:
      return k::kMono;
    case ModelKind::Color:
      return k::kColor;
    case ModelKind::WideMono:
      return ProfileOf(kind).IsNewer(version_number) ? k::kNewerWideMono : k::kWideMono;
    case ModelKind::Unsupported:
      break;
  }
  return 0;
}

std::span<const Feature> Features() {
  return kFeatures;
}

const Feature* FeatureOfCommand(int command_id) {
  if (command_id < 0 || command_id >= CommandTable::kCount) return nullptr;
  return &kFeatures[command_id];
}

const Feature* FindFeature(std::string_view label) {
  return FeatureOfCommand(CommandTable::FindCommandByLabel(label));
}

std::string_view Label(const Feature& feature) {
  return CommandTable::FeatureLabel(feature.command_id);
}

std::vector<EnumItem> ItemsFor(const Feature& feature, ModelKind kind, int32_t version_number) {
  const uint8_t bit = ItemKindOf(kind, version_number);
  std::vector<EnumItem> items;
  for (const EnumItem& item : feature.items) {
    if ((item.kinds & bit) != 0) items.push_back(item);
  }
  return items;
}

bool ItemsDependOnKind(const Feature& feature) {
  return std::any_of(feature.items.begin(), feature.items.end(),
                     [](const EnumItem& item) { return item.kinds != k::kAll; });
}

std::optional<int32_t> ItemValue(const Feature& feature, ModelKind kind, std::string_view name,
                                 int32_t version_number) {
  for (const EnumItem& item : ItemsFor(feature, kind, version_number)) {
    if (SameName(item.name, name)) return item.value;
  }
  return std::nullopt;
}

std::string_view ItemName(const Feature& feature, ModelKind kind, int32_t value,
                          int32_t version_number) {
  for (const EnumItem& item : ItemsFor(feature, kind, version_number)) {
    if (item.value == value) return item.name;
  }
  return {};
}

std::optional<FeatureRange> StaticRange(const Feature& feature) {
  const ParameterRow* row = BuiltInRow(feature);
  if (row == nullptr || row->control_type != control_type::kEditSpin) return std::nullopt;
  return FeatureRange{row->min, row->max};
}

bool InSettingsFile(const Feature& feature) {
  const ParameterRow* row = BuiltInRow(feature);
  return row != nullptr && row->master_file != 0;
}

int WriteTimeoutMs(int command_id) {
  const Feature* feature = FeatureOfCommand(command_id);
  return feature != nullptr && feature->write_timeout_ms != 0 ? feature->write_timeout_ms
                                                              : kDefaultTimeoutMs;
}

std::string DisplayText(const Feature& feature, int32_t raw, const DeviceModel& device) {
  switch (feature.conversion) {
    case Conversion::kLineTime:
      return FormatLineTime(raw, TickLengthNs(device));
    case Conversion::kExposureTime:
      return FormatExposureTime(raw, TickLengthNs(device));
    case Conversion::kTemperature:
      return FormatTemperature(raw);
    case Conversion::kVoltage:
      return FormatVoltage(raw);
    case Conversion::kNone:
      break;
  }
  if (feature.kind == FeatureKind::kEnum) {
    const std::string_view name = ItemName(feature, device.kind, raw, device.version_number);
    if (!name.empty()) return std::string(name);
  }
  return std::to_string(raw);
}

}  // namespace ctrl
