// Guards the page tables against drifting from the parameter database: a row without a control,
// a control of the wrong kind or command, duplicate ids, or two controls in one grid cell.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "camera/feature_catalogue.h"
#include "camera/parameter_database.h"
#include "ui/page_layouts.h"

namespace ctrl::ui {
namespace {

std::map<int, const ControlLayout*> AllControls() {
  std::map<int, const ControlLayout*> controls;
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) controls[control.id] = &control;
    }
  }
  return controls;
}

TEST(PageLayouts, FivePagesInTabOrderWithOnlyFactoryAFactoryOnly) {
  const auto& pages = PageLayouts();
  ASSERT_EQ(pages.size(), 5u);
  const std::pair<int, std::string_view> expected[] = {
      {111, "User A"}, {112, "User B"}, {113, "User C"}, {114, "User D"}, {117, "Factory A"}};
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(pages[i].template_id, expected[i].first);
    EXPECT_EQ(pages[i].title, expected[i].second);
    EXPECT_EQ(pages[i].factory_only, i == 4) << pages[i].title;
  }
}

TEST(PageLayouts, EveryDatabaseRowHasOneControlOfItsKindAndCommand) {
  const auto controls = AllControls();
  ParameterDatabase database;
  for (const ParameterRow& row : database.rows()) {
    auto it = controls.find(row.control_id);
    ASSERT_NE(it, controls.end()) << "row of control " << row.control_id << " has no control";
    const ControlLayout& control = *it->second;
    EXPECT_EQ(control.command, row.command_id) << row.control_id;
    if (row.control_type == control_type::kCombo) {
      EXPECT_EQ(control.kind, ControlKind::kCombo) << row.control_id;
      EXPECT_FALSE(control.items.empty()) << row.control_id;
    } else {
      EXPECT_TRUE(control.kind == ControlKind::kEditSpin ||
                  control.kind == ControlKind::kReadOnlyEditSpin)
          << row.control_id;
      EXPECT_NE(control.spin_id, 0) << row.control_id;
    }
  }
}

TEST(PageLayouts, EveryBoundControlOnAPageIsADatabaseRow) {
  ParameterDatabase database;
  std::set<int> rows;
  for (const ParameterRow& row : database.rows()) rows.insert(row.control_id);
  for (const auto& [id, control] : AllControls()) {
    const bool bound = control->kind == ControlKind::kCombo ||
                       ((control->kind == ControlKind::kEditSpin ||
                         control->kind == ControlKind::kReadOnlyEditSpin) &&
                        control->command >= 0);
    // The unbound leftovers of the factory page are hidden and drive nothing.
    if (control->command < 0) {
      EXPECT_TRUE(control->hidden || !bound) << id;
      continue;
    }
    if (bound) {
      EXPECT_EQ(rows.count(id), 1u) << id;
    }
  }
}

TEST(PageLayouts, IdsAreUniqueAcrossControlsSpinsLabelsAndGroups) {
  std::map<int, int> uses;
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      if (group.id != 0) ++uses[group.id];
      for (const ControlLayout& control : group.controls) {
        ++uses[control.id];
        if (control.spin_id != 0) ++uses[control.spin_id];
        if (control.label_id != 0) ++uses[control.label_id];
      }
    }
  }
  for (const auto& [id, count] : uses) EXPECT_EQ(count, 1) << "id " << id;
}

TEST(PageLayouts, NoTwoVisibleControlsShareACell) {
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      std::set<std::pair<int, int>> cells;
      for (const ControlLayout& control : group.controls) {
        if (control.hidden) continue;
        EXPECT_TRUE(cells.insert({control.row, control.cell}).second)
            << page.title << " / " << group.title << ": " << control.id;
        EXPECT_TRUE(control.cell == 1 || control.cell == 2) << control.id;
      }
    }
  }
}

TEST(PageLayouts, ItemValuesAreDistinctWhereGiven) {
  for (const auto& [id, control] : AllControls()) {
    std::set<int32_t> values;
    for (const ComboItem& item : control->items) {
      if (item.value != 0) {
        EXPECT_TRUE(values.insert(item.value).second) << id << " " << item.text;
      }
    }
  }
}

TEST(PageLayouts, ItemsMatchTheOperatorVisibleExamples) {
  const ControlLayout* source = FindControlLayout(1689);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->items[1].text, "CC2");
  EXPECT_EQ(source->items[1].value, 2);
  const ControlLayout* pixel_format = FindControlLayout(1698);
  ASSERT_NE(pixel_format, nullptr);
  EXPECT_EQ(pixel_format->items[1].value, 0x010A0046);
  EXPECT_EQ(FindControlLayout(1761)->hidden, true);
  EXPECT_EQ(FindControlLayout(1021)->disabled, true);
  EXPECT_EQ(FindControlLayout(4711), nullptr);
}

// A page control that drives or shows a command must be described by the catalogue, as what it
// is on the page: a combo box an enum, a button an action, a readout text a readout.
TEST(PageLayouts, EveryControlWithACommandHasACatalogueFeatureOfItsKind) {
  for (const auto& [id, control] : AllControls()) {
    if (control->command < 0) continue;
    const Feature* feature = FeatureOfCommand(control->command);
    ASSERT_NE(feature, nullptr) << id;
    switch (control->kind) {
      case ControlKind::kCombo:
        EXPECT_EQ(feature->kind, FeatureKind::kEnum) << id;
        break;
      case ControlKind::kButton:
        EXPECT_EQ(feature->kind, FeatureKind::kAction) << id;
        break;
      case ControlKind::kText:
      case ControlKind::kReadOnlyEditSpin:
        EXPECT_EQ(feature->kind, FeatureKind::kReadout) << id;
        break;
      default:
        EXPECT_EQ(feature->kind, FeatureKind::kInteger) << id;
        break;
    }
  }
}

}  // namespace
}  // namespace ctrl::ui
