#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/control_surface.h"
#include "ui/page_layouts.h"

namespace ctrl::test {

// The controls of all pages as plain data, built from the same layouts the windows use.
class FakeSurface final : public ui::ControlSurface {
 public:
  struct Control {
    ui::ControlCategory category = ui::ControlCategory::kNone;
    std::string text;
    bool enabled = true;
    int32_t position = 0;
    int32_t min = 0;
    int32_t max = 100;
    int buddy = 0;
    int spin = 0;
    std::vector<std::pair<std::string, int32_t>> items;
    int selection = -1;
    bool checked = false;
    std::vector<int> group;
  };

  FakeSurface() {
    using ui::ControlCategory;
    using ui::ControlKind;
    for (const ui::PageLayout& page : ui::PageLayouts()) {
      for (const ui::GroupLayout& group : page.groups) {
        if (group.id != 0) controls[group.id].category = ControlCategory::kOtherButton;
        for (const ui::ControlLayout& layout : group.controls) {
          if (layout.label_id != 0) controls[layout.label_id].text = std::string(layout.label);
          Control& control = controls[layout.id];
          control.enabled = !layout.disabled;
          switch (layout.kind) {
            case ControlKind::kCombo:
              control.category = ControlCategory::kCombo;
              for (const ui::ComboItem& item : layout.items) {
                control.items.emplace_back(std::string(item.text), item.value);
              }
              break;
            case ControlKind::kEditSpin:
            case ControlKind::kReadOnlyEditSpin:
              control.category = ControlCategory::kEdit;
              control.spin = layout.spin_id;
              controls[layout.spin_id].category = ControlCategory::kSpin;
              controls[layout.spin_id].buddy = layout.id;
              controls[layout.spin_id].enabled = !layout.disabled;
              break;
            case ControlKind::kUnitEdit:
              control.category = ControlCategory::kEdit;
              break;
            case ControlKind::kButton:
              control.category = ControlCategory::kPushButton;
              break;
            case ControlKind::kText:
              control.text = std::string(layout.caption);
              break;
          }
        }
      }
    }
  }

  Control& operator[](int id) { return controls.at(id); }
  std::vector<std::string> ItemTexts(int id) const {
    std::vector<std::string> texts;
    for (const auto& item : controls.at(id).items) texts.push_back(item.first);
    return texts;
  }

  bool HasControl(int id) const override { return controls.count(id) != 0; }
  ui::ControlCategory CategoryOf(int id) const override {
    auto it = controls.find(id);
    return it == controls.end() ? ui::ControlCategory::kNone : it->second.category;
  }
  std::string Text(int id) const override { return controls.at(id).text; }
  void SetText(int id, const std::string& text) override { controls.at(id).text = text; }
  bool IsEnabled(int id) const override { return controls.at(id).enabled; }
  void SetEnabled(int id, bool enabled) override { controls.at(id).enabled = enabled; }
  int32_t SpinPosition(int id) const override { return controls.at(id).position; }
  void SetSpinPosition(int id, int32_t position) override { controls.at(id).position = position; }
  void GetSpinRange(int id, int32_t& min, int32_t& max) const override {
    min = controls.at(id).min;
    max = controls.at(id).max;
  }
  void SetSpinRange(int id, int32_t min, int32_t max) override {
    controls.at(id).min = min;
    controls.at(id).max = max;
  }
  int BuddyOf(int id) const override { return controls.at(id).buddy; }
  int SpinOfEdit(int id) const override { return controls.at(id).spin; }
  int ItemCount(int id) const override { return static_cast<int>(controls.at(id).items.size()); }
  std::string ItemText(int id, int index) const override {
    return controls.at(id).items.at(index).first;
  }
  int32_t ItemValue(int id, int index) const override {
    return controls.at(id).items.at(index).second;
  }
  void SetItemValue(int id, int index, int32_t value) override {
    controls.at(id).items.at(index).second = value;
  }
  void InsertItem(int id, int index, const std::string& text) override {
    auto& items = controls.at(id).items;
    if (index > static_cast<int>(items.size())) index = static_cast<int>(items.size());
    items.insert(items.begin() + index, {text, 0});
  }
  void RemoveItem(int id, int index) override {
    auto& items = controls.at(id).items;
    items.erase(items.begin() + index);
  }
  int Selection(int id) const override { return controls.at(id).selection; }
  void SetSelection(int id, int index) override { controls.at(id).selection = index; }
  bool IsChecked(int id) const override { return controls.at(id).checked; }
  void SetChecked(int id, bool checked) override { controls.at(id).checked = checked; }
  std::vector<int> RadioGroup(int id) const override { return controls.at(id).group; }

  std::map<int, Control> controls;
};

}  // namespace ctrl::test
