#include "ui/parameter_tooltips.h"

#include <vector>

#include "camera/command_table.h"
#include "camera/control_ids.h"
#include "ui/page_dispatcher.h"

namespace ctrl::ui {
namespace {

// What a control without a register of its own does.
struct ButtonPurpose {
  int button;
  std::string_view text;
};

constexpr ButtonPurpose kButtonPurposes[] = {
    {control::kOpenLutTableButton, "Opens the LUT editor of this camera."},
    {control::kTerminalButton, "Opens the terminal: raw commands to the camera."},
    {control::kCameraResetButton, "Asks, then resets the camera and closes the tool."},
    {control::kStoreAllButton, "Stores every parameter in the camera."},
};

// Displays the window derives from other parameters.
constexpr ButtonPurpose kDerivedDisplays[] = {
    {control::kPixelSizeText, "<b>Pixel Size A</b><br>Bits per pixel of the chosen Pixel Format."},
    {control::kLineFrequencyText,
     "<b>Line frequency</b><br>Lines per second at the Internal Line Rate."},
};

// The microsecond edits show the tick count of the spin above them in another unit.
struct UnitEditOf {
  int edit;
  int command;
};

constexpr UnitEditOf kUnitEdits[] = {
    {control::kLineTimeEdit, 34},
    {control::kExposureTimeEdit, 30},
};

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string ItemList(const std::vector<EnumItem>& items) {
  std::string text;
  for (const EnumItem& item : items) {
    if (!text.empty()) text += ", ";
    text += Escaped(item.name);
  }
  return text;
}

std::string ButtonToolTip(const ControlLayout& control) {
  std::string text = "<b>" + Escaped(control.caption) + "</b>";
  const std::vector<int> reads = CommandsReadBy(control.id);
  if (!reads.empty()) {
    std::string names;
    for (const int command : reads) {
      if (const Feature* feature = FeatureOfCommand(command)) {
        names += (names.empty() ? "" : ", ") + Escaped(Label(*feature));
      }
    }
    return text + "<br>Reads " + names + " from the camera.";
  }
  for (const ButtonPurpose& purpose : kButtonPurposes) {
    if (purpose.button == control.id) return text + "<br>" + std::string(purpose.text);
  }
  return {};
}

}  // namespace

std::string DisplayUnit(std::string_view unit) {
  if (unit == "degC") return "\u00B0C";
  if (unit == "us") return "\u00B5s";
  return std::string(unit);
}

const Feature* FeatureOfControl(const ControlLayout& control) {
  for (const UnitEditOf& unit_edit : kUnitEdits) {
    if (unit_edit.edit == control.id) return FeatureOfCommand(unit_edit.command);
  }
  return control.command >= 0 ? FeatureOfCommand(control.command) : nullptr;
}

std::string ToolTipFor(const ControlLayout& control, const DeviceModel& device,
                       const CommandTable& table, std::optional<FeatureRange> range) {
  for (const ButtonPurpose& derived : kDerivedDisplays) {
    if (derived.button == control.id) return std::string(derived.text);
  }
  const Feature* feature = FeatureOfControl(control);
  if (feature == nullptr) return control.kind == ControlKind::kButton ? ButtonToolTip(control) : "";
  const bool unit_edit = control.kind == ControlKind::kUnitEdit;
  std::string text = "<b>" + Escaped(Label(*feature)) + "</b>";
  if (unit_edit) text += " in " + DisplayUnit(feature->unit);
  text += "<br>Register " + table.GetCommandAddress(feature->command_id);
  if (feature->kind == FeatureKind::kEnum) {
    const std::vector<EnumItem> items = ItemsFor(*feature, device.kind, device.version_number);
    if (!items.empty()) text += "<br>Items: " + ItemList(items);
  } else if (feature->kind == FeatureKind::kInteger && !unit_edit) {
    if (!range) range = StaticRange(*feature);
    if (range) {
      text += "<br>Range: " + std::to_string(range->min) + " to " + std::to_string(range->max);
    }
  }
  const bool in_ticks = feature->conversion == Conversion::kLineTime ||
                        feature->conversion == Conversion::kExposureTime;
  if (unit_edit) {
    text += "<br>Unit: " + DisplayUnit(feature->unit) + ", written as ticks of the line timer";
  } else if (in_ticks) {
    text += "<br>Unit: ticks of the line timer (the field below shows " +
            DisplayUnit(feature->unit) + ")";
  } else if (!feature->unit.empty()) {
    text += "<br>Unit: " + DisplayUnit(feature->unit);
  }
  text += "<br>" + Escaped(feature->description);
  if (feature->kind == FeatureKind::kReadout) text += "<br>Read-only: the camera reports it.";
  if (feature->kind != FeatureKind::kAction) {
    text += InSettingsFile(*feature) ? "<br>Kept in camera settings files."
                                     : "<br>Not kept in camera settings files.";
  }
  return text;
}

}  // namespace ctrl::ui
