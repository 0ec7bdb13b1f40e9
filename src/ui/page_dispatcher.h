#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/parameter_database.h"
#include "ui/control_surface.h"

namespace ctrl::ui {

// One entry of a combo box list as a model kind offers it.
struct ProfileItem {
  std::string text;
  int32_t value = 0;  // 0: stands for its index
  bool operator==(const ProfileItem&) const = default;
};

// The list a model kind offers in a combo box whose catalogue items depend on the kind ("Pixel
// Format", "Test Pattern", ...); empty for other combo boxes and for an unsupported kind.
std::vector<ProfileItem> ProfileItems(int combo_id, ModelKind kind, int version_number);

// The commands a "Read" button of the pages reads, in order; empty for other buttons.
std::vector<int> CommandsReadBy(int button_id);

// Page actions that need windows the dispatcher does not own.
class DispatcherHost {
 public:
  virtual ~DispatcherHost() = default;
  virtual void ShowTerminal() = 0;
  virtual void OpenLutEditor() = 0;
  // The operator confirmed terminating with a camera reset: close without asking again.
  virtual void CloseAfterReset() = 0;
  // The camera confirmed a new Baud Rate register code and answers at that rate from now on:
  // the PC side follows. False when it could not (the line is back at its old rate then).
  virtual bool FollowBaudRate(int32_t code) {
    (void)code;
    return true;
  }
};

// One value sent through the change protocol, as the camera answered it.
struct ParameterChange {
  int control_id = 0;
  int command_id = -1;
  int32_t before = 0;     // the camera's value before the write
  int32_t requested = 0;  // the value written
  int32_t after = 0;      // the camera's value now: `requested` when confirmed, else `before`
  bool confirmed = false;
};

// Told of every change the operator (or the window on the operator's behalf) sent to the camera.
class ChangeObserver {
 public:
  virtual ~ChangeObserver() = default;
  virtual void OnParameterChange(const ParameterChange& change) = 0;
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
  // Focus loss, or Enter in the edit. Text the operator left as it was shown is no change and
  // writes nothing: a shown value does not always survive the trip back through its format.
  void CommitEdit(int edit_id);
  void CommitCombo(int combo_id);
  // An arrow of a spin; true when the camera took the new position and the spin moved.
  bool StepSpin(int spin_id, int step);
  void ClickButton(int button_id);

  // Sends `value` for the row of `command_id` as if the operator had set its control: write,
  // confirm, follow-up reads; the control returns to the camera's value when refused. True when
  // the camera confirmed it (also when it already held the value).
  bool ApplyCommandValue(int command_id, int32_t value);
  void set_change_observer(ChangeObserver* observer) { observer_ = observer; }
  // True when the edit holds other text than the dispatcher last showed in it.
  bool OperatorChangedText(int edit_id) const;

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
  // The CCM Selector value of the database, which decides whether the matrix can be read and
  // filed. During a bulk read or a file load it follows the camera before the control does.
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
  // After a confirmed Baud Rate change: the host moves the PC side along.
  void FollowBaudRate(int control_id, int32_t code);
  void Rollback(int control_id);
  void Report(int control_id, int32_t before, int32_t requested, bool confirmed);
  void FollowUp(int control_id);
  // One step of a follow-up (a Step of the follow-up table).
  void RunStep(int step, int control_id);
  void RefreshAndConfirm(int control_id);
  void SyncSpinFromBuddy(int spin_id);
  // Every text the dispatcher puts into a control goes through here, so that a commit can tell
  // the operator's text from the shown one.
  void ShowText(int control_id, const std::string& text);

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
  void ReplaceItems(int combo_id, const std::vector<ProfileItem>& items);

  void RunButtonAction(int button_id);
  bool ReadInto(int command_id, int text_id);

  Command& engine_;
  ParameterDatabase& database_;
  ControlSurface& controls_;
  Clock& clock_;
  DispatcherHost* host_;
  std::map<int, std::string> shown_text_;
  ChangeObserver* observer_ = nullptr;
};

}  // namespace ctrl::ui
