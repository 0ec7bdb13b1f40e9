#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "camera/device_model.h"

namespace ctrl {

// What a parameter is to the operator.
enum class FeatureKind {
  kInteger,  // a number the operator sets
  kEnum,     // one of named items
  kText,     // a text field of the device information
  kAction,   // writing 1 makes the camera do something
  kReadout,  // the camera reports it; the tool never writes it
};

// Which cameras offer an enum item: bits of the kind, the wide models split by device version.
namespace item_kinds {
inline constexpr uint8_t kMono = 1;
inline constexpr uint8_t kColor = 2;
inline constexpr uint8_t kWideMono = 4;  // before the newer device versions
inline constexpr uint8_t kNewerWideMono = 8;
inline constexpr uint8_t kMonochrome = kMono | kWideMono | kNewerWideMono;
inline constexpr uint8_t kAll = kMonochrome | kColor;
}  // namespace item_kinds

// The item-kind bit of a camera; 0 for an unsupported one.
uint8_t ItemKindOf(ModelKind kind, int32_t version_number);

struct EnumItem {
  std::string_view name;
  int32_t value;
  uint8_t kinds = item_kinds::kAll;
};

// How a raw register value becomes the value shown to the operator.
enum class Conversion {
  kNone,
  kLineTime,      // ticks of the line period to microseconds
  kExposureTime,  // ticks to microseconds
  kTemperature,   // tenths of a degree above -200 to degrees Celsius
  kVoltage,       // millivolts to volts
};

// One parameter the operator can name: everything the tool knows about it besides its address
// (the command table's) and its page control (the page layouts').
struct Feature {
  int command_id;
  FeatureKind kind;
  std::string_view description;  // what it does to the camera, one line
  std::span<const EnumItem> items = {};
  // The items' values are their positions in each kind's list; combo boxes hold 0 for them.
  bool positional = false;
  Conversion conversion = Conversion::kNone;
  std::string_view unit = {};  // of the shown value; empty for a plain number
  // Commands whose values bound this one where the camera reports its range; -1 for none.
  int min_command = -1;
  int max_command = -1;
  int write_timeout_ms = 0;  // 0: the usual reply time
};

// Static range of a parameter.
struct FeatureRange {
  int32_t min;
  int32_t max;
};

// Every feature, in command id order (one per command of the command table).
std::span<const Feature> Features();
// The feature of a command; nullptr for an id outside the table.
const Feature* FeatureOfCommand(int command_id);
// The feature with this label, compared without regard to case; nullptr for none.
const Feature* FindFeature(std::string_view label);
// The command table's label ("Exposure Time").
std::string_view Label(const Feature& feature);

// The items a camera offers, in list order; empty for an unsupported camera or a non-enum.
std::vector<EnumItem> ItemsFor(const Feature& feature, ModelKind kind, int32_t version_number = 0);
// True when some kinds offer other items than the rest.
bool ItemsDependOnKind(const Feature& feature);
// Value of a named item (case-insensitive; blanks at the end of either name do not count).
std::optional<int32_t> ItemValue(const Feature& feature, ModelKind kind, std::string_view name,
                                 int32_t version_number = 0);
// Name of the item with this value; empty when the camera offers none.
std::string_view ItemName(const Feature& feature, ModelKind kind, int32_t value,
                          int32_t version_number = 0);

// The range the tool allows before the camera reports one; nullopt for features without.
std::optional<FeatureRange> StaticRange(const Feature& feature);
// Whether camera settings files hold the parameter.
bool InSettingsFile(const Feature& feature);
// How long a write of the command may take; the usual reply time for an id outside the table
// (a register written by its address).
int WriteTimeoutMs(int command_id);
// A raw value as the operator sees it: converted with its unit, an item's name, or the number.
std::string DisplayText(const Feature& feature, int32_t raw, const DeviceModel& device);

}  // namespace ctrl
