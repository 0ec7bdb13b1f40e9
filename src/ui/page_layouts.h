#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "camera/device_model.h"

namespace ctrl::ui {

// What a control of a page is. Bound edits always come with their spin (two controls, two ids).
enum class ControlKind {
  kCombo,     // bound combo box with a fixed item list
  kEditSpin,  // bound edit with its up/down spin
  kReadOnlyEditSpin,
  kUnitEdit,  // free edit in physical units (line time, exposure time); no spin, no row
  kText,      // read-only text for readouts and derived values
  kButton,    // push button
};

struct ComboItem {
  std::string_view text;
  // 0 means "stands for its index" (the list's position decides the value).
  int32_t value = 0;
};

// One row of a group box: an optional label, the control, and optionally a second control
// beside it (a "Read" button, a frequency text, ...).
struct ControlLayout {
  int id = 0;
  ControlKind kind = ControlKind::kText;
  std::string_view label;        // text of the static label left of the control; may be empty
  int label_id = 0;              // id of that label when other code enables it; 0 for none
  int spin_id = 0;               // kEditSpin and kReadOnlyEditSpin
  std::vector<ComboItem> items;  // combo boxes: the starting list, from the feature catalogue
  int command = -1;              // command the control drives, -1 for none
  std::string_view caption;      // button caption; initial text of a kText
  int row = 0;                   // row inside its group box
  int cell = 1;                  // 1 = field column, 2 = beside the field
  bool disabled = false;         // starts disabled
  bool hidden = false;           // never shown
};

struct GroupLayout {
  int id = 0;  // 0 when nothing refers to the box
  std::string_view title;
  int column = 0;  // 0, 1 or 2 of the three-column page
  std::vector<ControlLayout> controls;
};

struct PageLayout {
  int template_id = 0;
  std::string_view title;
  bool factory_only = false;
  std::vector<GroupLayout> groups;
};

// The five pages in tab order: "User A", "User B", "User C", "User D", "Factory A".
const std::vector<PageLayout>& PageLayouts();

// The list a combo box driving `command_id` shows on a camera of `kind`: the catalogue's items,
// with 0 as the value of items that stand for their position.
std::vector<ComboItem> ComboItems(int command_id, ModelKind kind, int32_t version_number);

// The control with this id on any page (not labels or group boxes), or nullptr.
const ControlLayout* FindControlLayout(int control_id);

}  // namespace ctrl::ui
