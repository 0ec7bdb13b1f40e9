#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ctrl::ui {

// How the dispatcher tells controls apart; decides how a value is read from and shown in one.
enum class ControlCategory {
  kNone,  // static texts, labels, unknown ids
  kEdit,
  kSpin,
  kCombo,
  kPushButton,
  kCheckBox,
  kRadioButton,
  kOtherButton,  // group boxes
};

// The controls of all pages as the dispatcher sees them, addressed by control id. The Qt
// widgets implement it; tests fake it. Setting a value, a selection or a range never notifies
// the dispatcher back.
class ControlSurface {
 public:
  virtual ~ControlSurface() = default;

  virtual bool HasControl(int id) const = 0;
  virtual ControlCategory CategoryOf(int id) const = 0;
  virtual std::string Text(int id) const = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;

  // A spin keeps its own position and range; its buddy is the edit it steps.
  virtual int32_t SpinPosition(int spin_id) const = 0;
  virtual void SetSpinPosition(int spin_id, int32_t position) = 0;
  virtual void GetSpinRange(int spin_id, int32_t& min, int32_t& max) const = 0;
  virtual void SetSpinRange(int spin_id, int32_t min, int32_t max) = 0;
  virtual int BuddyOf(int spin_id) const = 0;     // 0 when none
  virtual int SpinOfEdit(int edit_id) const = 0;  // 0 when none

  // Combo boxes: items carry an item value beside their text; -1 selection means none.
  virtual int ItemCount(int combo_id) const = 0;
  virtual std::string ItemText(int combo_id, int index) const = 0;
  virtual int32_t ItemValue(int combo_id, int index) const = 0;
  virtual void SetItemValue(int combo_id, int index, int32_t value) = 0;
  // Inserts with item value 0; an index past the end appends.
  virtual void InsertItem(int combo_id, int index, const std::string& text) = 0;
  virtual void RemoveItem(int combo_id, int index) = 0;
  virtual int Selection(int combo_id) const = 0;
  virtual void SetSelection(int combo_id, int index) = 0;

  virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  // The radio buttons of the group `id` belongs to, first button first; empty for no group.
  virtual std::vector<int> RadioGroup(int id) const = 0;
};

}  // namespace ctrl::ui
