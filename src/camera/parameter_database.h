#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ctrl {

class Command;

namespace control_type {
inline constexpr int kCombo = 4;
inline constexpr int kEditSpin = 6;
inline constexpr int kWriteOnly = 7;  // never read back; no row has it today
}  // namespace control_type

namespace parameter_class {
inline constexpr int kUser = 1;
inline constexpr int kFactory = 2;
}  // namespace parameter_class

// One row of the parameter database: binds a control to a command and keeps the value the
// control shows (current) and the value last known to be in the camera (synchronised).
struct ParameterRow {
  int control_id;
  int command_id;
  int control_type;
  int spin_range_mode;
  int parameter_class;
  int32_t min;
  int32_t max;
  int32_t current_value;
  int32_t synchronised_value;
  int master_file;

  bool pending() const { return current_value != synchronised_value; }
};

// What the database needs of the pages: show a value in a control.
class ControlSetter {
 public:
  virtual ~ControlSetter() = default;
  virtual void SetControlValue(int control_id, int32_t value) = 0;
};

// The single place where parameter values live. A change is committed only after the camera
// accepted it. Lookups by a key that is not in the table report their fixed message and
// return their failure value.
class ParameterDatabase {
 public:
  static constexpr int kRowCount = 81;

  ParameterDatabase();
  // Back to the built-in defaults (a fresh run; used by tests).
  void Reset();

  const std::vector<ParameterRow>& rows() const { return rows_; }
  std::vector<ParameterRow>& mutable_rows() { return rows_; }

  int CtrlId2TblIndex(int control_id) const;
  int ToCmdId(int control_id) const;
  int ToCtrlId(int command_id) const;
  int32_t GetDataValue(int control_id) const;
  int32_t GetSynchronisedValue(int control_id) const;
  int SetDataValue(int control_id, int32_t value);
  int GetRange(int control_id, int32_t& min, int32_t& max) const;
  int GetSpinRangeMode(int control_id) const;
  int IsFactoryParam(int control_id) const;
  int IsInSettingsFile(int control_id) const;
  int IsReadableRow(int row_index) const;
  int CountReadableRows() const;
  int CountReadableUserRows() const;
  void CommitAll();
  // Writes every pending row in table order; stops at the first write the camera does not
  // confirm. 1 when all were accepted (or none was pending).
  int WritePendingChanges(Command& engine);
  void RefreshAllControls(ControlSetter& controls) const;
  void RefreshChangedControls(ControlSetter& controls) const;

  // The change protocol of every control handler: set, write what is pending, commit; when the
  // camera does not confirm, the control returns to the camera's value. True when committed.
  bool ApplyChange(int control_id, int32_t value, Command& engine, ControlSetter* controls);

  // The built-in rows, as a fresh run starts with them.
  static std::span<const ParameterRow> BuiltInRows();

  // The register label of a row ("Exposure Time"), for listings.
  static const char* Label(int row_index);

 private:
  std::vector<ParameterRow> rows_;
  mutable int readable_rows_ = -1;
  mutable int readable_user_rows_ = -1;
};

// The process-wide database.
ParameterDatabase& Database();

}  // namespace ctrl
