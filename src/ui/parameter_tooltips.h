#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "camera/device_model.h"
#include "camera/feature_catalogue.h"
#include "ui/page_layouts.h"

namespace ctrl {
class CommandTable;
}

namespace ctrl::ui {

// A catalogue unit as a window writes it: "degC" is "°C", "us" is "µs"; others stay.
std::string DisplayUnit(std::string_view unit);

// The parameter a control shows or drives: its own command's, or for a microsecond edit the
// command of the tick count beside it; nullptr for controls of no parameter.
const Feature* FeatureOfControl(const ControlLayout& control);

// The tooltip of a control and its label, as rich text: the parameter's name, register, items
// (as `device` offers them) or range (`range`, the one the control allows now, else the
// catalogue's), unit, what it does and whether settings files keep it. Buttons say what they
// do. Empty for controls with nothing to tell.
std::string ToolTipFor(const ControlLayout& control, const DeviceModel& device,
                       const CommandTable& table, std::optional<FeatureRange> range);

}  // namespace ctrl::ui
