// Tooltips come from the feature catalogue and the camera at hand: a wrong register, an item
// the camera does not offer or a missing unit would mislead the operator at the control.
#include "ui/parameter_tooltips.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/command_table.h"
#include "camera/control_ids.h"

namespace ctrl::ui {
namespace {

struct ToolTipCase {
  const char* what;
  int control_id;
  ModelKind kind;
  std::vector<std::string> has;
  std::vector<std::string> lacks;
};

TEST(ParameterToolTips, NameRegisterItemsOrRangeUnitAndFilingComeFromTheCatalogue) {
  CommandTable table;
  const std::string gamma_register = table.GetCommandAddress(60);
  const std::vector<ToolTipCase> cases = {
      {"integer with its range",
       control::kGamma,
       ModelKind::Mono,
       {"<b>Gamma</b>", "Register " + gamma_register, "Range: ", "Kept in camera settings files."},
       {"Items:", "Unit:"}},
      {"items of a colour camera",
       control::kPixelFormat,
       ModelKind::Color,
       {"Items: Mono8, RGB8"},
       {"Mono10P", "Range:"}},
      {"items of a monochrome camera",
       control::kPixelFormat,
       ModelKind::Mono,
       {"Items: Mono8, Mono10P, Mono12P"},
       {"RGB8"}},
      {"readout with a unit no format shows",
       control::kTemperatureText,
       ModelKind::Mono,
       {"Unit: \u00B0C", "Read-only", "Not kept in camera settings files."},
       {"degC"}},
      {"tick count says where the microseconds are",
       control::kExposureTime,
       ModelKind::Mono,
       {"Unit: ticks of the line timer", "\u00B5s"},
       {}},
      {"microsecond edit names its parameter",
       control::kExposureTimeEdit,
       ModelKind::Mono,
       {"<b>Exposure Time</b> in \u00B5s"},
       {"Range:"}},
      {"read button names what it reads",
       control::kLineTimeLimitsButton,
       ModelKind::Mono,
       {"Reads ", "Linetime"},
       {"Register"}},
      {"action button",
       control::kDeviceResetButton,
       ModelKind::Mono,
       {"Register " + table.GetCommandAddress(17), "Restarts the camera."},
       {"settings files"}},
  };
  for (const ToolTipCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ControlLayout* layout = FindControlLayout(c.control_id);
    ASSERT_NE(layout, nullptr);
    DeviceModel device;
    device.kind = c.kind;
    device.version_number = 100;
    const std::string tip = ToolTipFor(*layout, device, table, std::nullopt);
    for (const std::string& part : c.has) EXPECT_NE(tip.find(part), std::string::npos) << tip;
    for (const std::string& part : c.lacks) EXPECT_EQ(tip.find(part), std::string::npos) << tip;
  }
}

TEST(ParameterToolTips, TheRangeAControlAllowsNowBeatsTheCatalogues) {
  CommandTable table;
  DeviceModel device;
  device.kind = ModelKind::Mono;
  const std::string tip =
      ToolTipFor(*FindControlLayout(control::kDigitalGain), device, table, FeatureRange{3, 77});
  EXPECT_NE(tip.find("Range: 3 to 77"), std::string::npos) << tip;
}

TEST(ParameterToolTips, EveryVisibleControlOfEveryPageHasOne) {
  CommandTable table;
  DeviceModel device;
  device.kind = ModelKind::Color;
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        if (control.hidden) continue;
        EXPECT_FALSE(ToolTipFor(control, device, table, std::nullopt).empty())
            << page.title << " control " << control.id;
      }
    }
  }
}

}  // namespace
}  // namespace ctrl::ui
