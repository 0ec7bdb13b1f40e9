#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/parameter_database.h"
#include "ui/control_surface.h"

namespace ctrl::ui {

// Page actions that need windows the dispatcher does not own.
class DispatcherHost {
 public:
  virtual ~DispatcherHost() = default;
  virtual void ShowTerminal() = 0;
  virtual void OpenLutEditor() = 0;
  // The operator confirmed terminating with a camera reset: close without asking again.
  virtual void CloseAfterReset() = 0;
};

// The logic behind all pages: turns control changes into camera writes, puts a control back to
// the camera's value when a write is not confirmed, runs the follow-up reads, the model profile,
// the dependent ranges, the derived displays and the page buttons. Knows controls only through
// ControlSurface, so it runs without any window.
class PageDispatcher final : public ControlSetter {
 public:
  PageDispatcher(Command& engine, ParameterDatabase& database, ControlSurface& controls,
                 Clock& clock, DispatcherHost* host = nullptr);

  // Control notifications.
  void CommitEdit(int edit_id);  // focus loss, or Enter in the edit
  void CommitCombo(int combo_id);
  // An arrow of a spin; true when the camera took the new position and the spin moved.
  bool StepSpin(int spin_id, int step);
  void ClickButton(int button_id);

  // Reading and showing values by the control's category.
  int32_t ReadControlValue(int id) const;
  void ShowValue(int id, int32_t value);
  void SetControlValue(int control_id, int32_t value) override { ShowValue(control_id, value); }
  // Reads the row's command and shows it; the synchronised value stays. True on success.
  bool RefreshControl(int control_id);

  // Start-up: every bound spin gets its row's range.
  void InitialiseSpinRanges();
  void ApplyModelProfile();
  void UpdateDependentRanges();
  // Selection index of the CCM Selector, which decides whether the matrix can be read.
  int CcmSelectorIndex() const;
  bool IsCommandAvailable(int command_id) const;

  // Derived displays.
  double TickLength() const;
  void ShowLineTiming();
  void ShowExposureTime();
  void ShowPixelSize();

  // Asks, then resets the camera and closes the tool.
  void TerminateAndReset();

 private:
  bool WriteAndCommit(int control_id);
  void Rollback(int control_id);
  void FollowUp(int control_id);
  void RefreshAndConfirm(int control_id);
  void SyncSpinFromBuddy(int spin_id);

  void CommitLineTimeEdit();
  void CommitExposureTimeEdit();
  void RereadExposure();

  void UpdateBinningRanges();
  void UpdateBlackLevelRange();
  void UpdateLutEditEnabling();
  void LutIndexWriteAndValueRead(bool write_index);
  void CheckOnePushWhiteBalance();
  void UpdateColourMatrixEnabling();
  void ReadColourMatrix();

  void ApplyProfileEnabling(ModelKind kind);
  void ApplyProfileItems(ModelKind kind);
  int FindItem(int combo_id, std::string_view text) const;
  void RemoveItemIfPresent(int combo_id, std::string_view text);
  void InsertItemIfMissing(int combo_id, std::string_view text, int index);
  void SetItemValues(int combo_id, std::initializer_list<int32_t> values);

  void RunButtonAction(int button_id);
  void WriteOne(int command_id, int timeout_ms, bool error_box, bool result_box);
  bool ReadInto(int command_id, int text_id);

  Command& engine_;
  ParameterDatabase& database_;
  ControlSurface& controls_;
  Clock& clock_;
  DispatcherHost* host_;
};

}  // namespace ctrl::ui
