#include "ui/page_dispatcher.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "camera/control_ids.h"
#include "camera/feature_catalogue.h"
#include "camera/model_profile.h"
#include "camera/notifier.h"
#include "ui/derived_values.h"
#include "ui/page_layouts.h"

namespace ctrl::ui {
namespace {

using namespace control;
using F = ModelFeature;

// Inclusive range of control ids.
struct IdSpan {
  int first;
  int last;
};

// The controls of a feature; the model profile decides whether they are enabled.
struct EnablingRow {
  ModelFeature feature;
  std::initializer_list<IdSpan> ids;
};

const EnablingRow kEnabling[] = {
    {F::kBinning,
     {{kBinning, kBinning}, {kBinningLabel, kBinningModeLabel}, {kBinningMode, kBinningMode}}},
    {F::kFieldCount, {{kFieldCountLabel, kFieldResetButton}}},
    {F::kMeasuredExtTriggerRate,
     {{kMeasuredExtTriggerRateLabel, kMeasuredExtTriggerRateLabel},
      {kMeasuredExtTriggerRateText, kMeasuredExtTriggerRateText}}},
    {F::kInputExtTriggerCount,
     {{kInputExtTriggerCountLabel, kInputExtTriggerCountLabel},
      {kInputExtTriggerCountText, kInputExtTriggerCountText}}},
    {F::kAxiValidCount,
     {{kAxiValidCountLabel, kAxiValidCountLabel}, {kAxiValidCountText, kAxiValidCountText}}},
    {F::kLineTriggerDivider,
     {{kLineTriggerDividerLabel, kLineTriggerDividerLabel},
      {kLineTriggerDivider, kLineTriggerDivider}}},
    {F::kLineTriggerChain, {{kLineTriggerPreDividerLabel, kLineTriggerPostDividerSpin}}},
    {F::kTdi, {{kTdiGroup, kTdiRowDirectionLabel}, {kTdiStage, kTdiRowDirection}}},
    {F::kFieldGains, {{kField1GainLabel, kField2GainLabel}, {kField1Gain, kField2GainSpin}}},
    {F::kFfcSampleFrames,
     {{kFfcSampleFramesLabel, kFfcSampleFramesLabel}, {kFfcSampleFrames, kFfcSampleFrames}}},
    {F::kAwbLink, {{kAwbLinkLabel, kAwbLink}}},
    {F::kFfcCalAlgorithm,
     {{kFfcCalAlgorithmLabel, kFfcCalAlgorithmLabel}, {kFfcCalAlgorithm, kFfcCalAlgorithm}}},
    {F::kColourCorrection, {{kColourSkewGroup, kScParameterSpin}}},
    {F::kWhiteBalance, {{kWhiteBalanceGroup, kRefreshPrnuWbGainButton}}},
    {F::kColourMatrix, {{kColourTransformGroup, kLastCcmCoefficientSpin}}},
    {F::kClValidSignals,
     {{kClFvalLabel, kClFvalLabel}, {kClFval, kClDval}, {kClDvalLabel, kClDvalLabel}}},
};

// What a follow-up does after a control changed, in order.
enum class Step {
  kBinningRanges,
  kBlackLevelRange,
  kShowPixelSize,
  kShowLineTiming,
  kShowExposureTime,
  kRereadExposure,  // the camera may shorten the exposure to fit a new line time
  kLutSelectorChanged,
  kLutValueRead,
  kOnePushWhiteBalance,
  kColourMatrix,
  kReread,            // reads `control` from the camera and shows it
  kRereadAndConfirm,  // the same, then takes every shown value as the camera's
};

struct FollowUpStep {
  Step step;
  int control = 0;
};

// The reads and displays that follow a change of a control (its spin counts as the control).
struct FollowUpRow {
  int control;
  std::initializer_list<FollowUpStep> steps;
};

const FollowUpRow kFollowUps[] = {
    {kBinning,
     {{Step::kBinningRanges},
      {Step::kReread, kWidth},
      {Step::kRereadAndConfirm, kOffsetX},
      {Step::kRereadAndConfirm, kLineRate},
      {Step::kShowLineTiming}}},
    {kPixelFormat,
     {{Step::kShowPixelSize},
      {Step::kReread, kClConfiguration},
      {Step::kReread, kTapGeometry},
      {Step::kRereadAndConfirm, kLineRate},
      {Step::kShowLineTiming}}},
    {kBlackLevelMode, {{Step::kBlackLevelRange}}},
    {kClConfiguration,
     {{Step::kReread, kTapGeometry},
      {Step::kReread, kPixelFormat},
      {Step::kRereadAndConfirm, kLineRate},
      {Step::kShowLineTiming}}},
    {kClClockFrequency, {{Step::kRereadAndConfirm, kLineRate}, {Step::kShowLineTiming}}},
    {kTapGeometry,
     {{Step::kReread, kClConfiguration},
      {Step::kReread, kPixelFormat},
      {Step::kRereadAndConfirm, kLineRate},
      {Step::kShowLineTiming}}},
    {kLutSelector, {{Step::kLutSelectorChanged}}},
    {kWbCalibMode, {{Step::kOnePushWhiteBalance}}},
    {kCcmSelector, {{Step::kColourMatrix}}},
    {kOffsetX, {{Step::kRereadAndConfirm, kOffsetX}}},
    {kWidth,
     {{Step::kRereadAndConfirm, kWidth},
      {Step::kRereadAndConfirm, kLineRate},
      {Step::kShowLineTiming}}},
    {kLineRate, {{Step::kRereadExposure}}},
    {kExposureTime, {{Step::kShowExposureTime}}},
    {kLutIndex, {{Step::kLutValueRead}}},
};

// What a push button does.
enum class ButtonAction {
  kShowTerminal,
  kTerminateAndReset,  // asks first
  kOpenLutEditor,
  kWrite,    // writes 1 to the button's command
  kLutLoad,  // writes 1 to LUT load, then shows the LUT value at the index
  kRead,     // reads the commands of readout texts and shows them
};

// Which message a write shows.
enum class Report { kNone, kErrorOnly, kResult };

// A readout a button reads: the command of a text on the pages, on the kinds that have it.
struct ButtonRead {
  int command;
  uint32_t feature = 0;  // a ModelFeature; 0 for every kind
};

struct ButtonRow {
  int button;
  ButtonAction action;
  Report report = Report::kNone;
  int timeout_ms = 0;  // 0: the command's own write time-out
  // kRead: the readouts in order; with `chained`, a read that fails ends the button's reads.
  std::initializer_list<ButtonRead> reads = {};
  bool chained = false;
};

const ButtonRow kButtons[] = {
    {kTerminalButton, ButtonAction::kShowTerminal},
    {kCameraResetButton, ButtonAction::kTerminateAndReset},
    {kDeviceResetButton, ButtonAction::kTerminateAndReset},
    {kOpenLutTableButton, ButtonAction::kOpenLutEditor},
    {kTemperatureReadButton, ButtonAction::kRead, Report::kNone, 0, {{cmd::kDeviceTemperature}}},
    {kVoltageReadButton, ButtonAction::kRead, Report::kNone, 0, {{cmd::kDeviceVoltage}}},
    {kFfcUserSetLoadButton, ButtonAction::kWrite},
    {kFfcCalFpnButton, ButtonAction::kWrite, Report::kResult},
    {kFfcCalPrnuButton, ButtonAction::kWrite, Report::kResult},
    // "Load" and "Save" act on the registers their names say (LUT load and LUT save), never
    // the other way round: a swapped Save would overwrite the working LUT with the flash copy.
    {kLutLoadButton, ButtonAction::kLutLoad},
    {kLutSaveButton, ButtonAction::kWrite, Report::kErrorOnly},
    {kLineTimeLimitsButton, ButtonAction::kRead, Report::kNone, 0, {{35}, {36}}, true},
    {kExposureLimitsButton, ButtonAction::kRead, Report::kNone, 0, {{32}, {33}}, true},
    {kMeasuredRatesButton,
     ButtonAction::kRead,
     Report::kNone,
     0,
     {{37}, {38, static_cast<uint32_t>(F::kMeasuredExtTriggerRate)}},
     true},
    {kMeasuredExposureButton, ButtonAction::kRead, Report::kNone, 0, {{31}}},
    {kExtTriggerDroppedClearButton, ButtonAction::kWrite, Report::kErrorOnly},
    {kExtTriggerCountClearButton, ButtonAction::kWrite, Report::kErrorOnly},
    {kCounterReadButton,
     ButtonAction::kRead,
     Report::kNone,
     0,
     {{39},
      {41},
      {43, static_cast<uint32_t>(F::kInputExtTriggerCount)},
      {44},
      {45},
      {46, static_cast<uint32_t>(F::kAxiValidCount)},
      {47}}},
    {kLvdsRetrainingButton, ButtonAction::kWrite, Report::kErrorOnly},
    {kRefreshDeviceStateButton, ButtonAction::kWrite, Report::kErrorOnly},
    {kFieldResetButton, ButtonAction::kWrite},
    {kRefreshPrnuWbGainButton, ButtonAction::kWrite, Report::kResult, kDefaultTimeoutMs},
};

}  // namespace

std::vector<int> CommandsReadBy(int button_id) {
  std::vector<int> commands;
  for (const ButtonRow& row : kButtons) {
    if (row.button != button_id || row.action != ButtonAction::kRead) continue;
    for (const ButtonRead& read : row.reads) commands.push_back(read.command);
  }
  return commands;
}

namespace {

// The page control a command is shown in or driven by, of the given kind; nullptr when none.
const ControlLayout* ControlOfCommand(int command_id, ControlKind kind) {
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        if (control.command == command_id && control.kind == kind) return &control;
      }
    }
  }
  return nullptr;
}

}  // namespace

PageDispatcher::PageDispatcher(Command& engine, ParameterDatabase& database,
                               ControlSurface& controls, Clock& clock, DispatcherHost* host)
    : engine_(engine), database_(database), controls_(controls), clock_(clock), host_(host) {}

// ---- Values of controls ----

int32_t PageDispatcher::ReadControlValue(int control_id) const {
  switch (controls_.CategoryOf(control_id)) {
    case ControlCategory::kEdit:
      return LeadingInteger(controls_.Text(control_id));
    case ControlCategory::kSpin:
      return controls_.SpinPosition(control_id);
    case ControlCategory::kCombo: {
      int selection = controls_.Selection(control_id);
      if (selection < 0) return -1;
      int32_t value = controls_.ItemValue(control_id, selection);
      return value == 0 ? selection : value;
    }
    case ControlCategory::kCheckBox:
      return controls_.IsChecked(control_id) ? 1 : 0;
    case ControlCategory::kRadioButton: {
      std::vector<int> group = controls_.RadioGroup(control_id);
      for (size_t i = 0; i < group.size(); ++i) {
        if (controls_.IsChecked(group[i])) return static_cast<int32_t>(i);
      }
      return 0;
    }
    default:
      return -1;
  }
}

void PageDispatcher::ShowValue(int control_id, int32_t value) {
  switch (controls_.CategoryOf(control_id)) {
    case ControlCategory::kEdit: {
      ShowText(control_id, FormatInteger(value));
      // The spin reads its buddy: a shown value within its range becomes its position.
      const int spin_id = controls_.SpinOfEdit(control_id);
      if (spin_id != 0) SyncSpinFromBuddy(spin_id);
      break;
    }
    case ControlCategory::kSpin: {
      controls_.SetSpinPosition(control_id, value);
      int buddy = controls_.BuddyOf(control_id);
      if (buddy != 0) ShowText(buddy, FormatInteger(value));
      break;
    }
    case ControlCategory::kCombo: {
      const int count = controls_.ItemCount(control_id);
      int selection = -1;
      for (int i = 0; i < count; ++i) {
        if (controls_.ItemValue(control_id, i) == value) {
          selection = i;
          break;
        }
      }
      if (selection < 0 && value >= 0 && value < count) selection = value;
      controls_.SetSelection(control_id, selection);
      break;
    }
    case ControlCategory::kCheckBox:
      controls_.SetChecked(control_id, value != 0);
      break;
    case ControlCategory::kRadioButton: {
      std::vector<int> group = controls_.RadioGroup(control_id);
      for (size_t i = 0; i < group.size(); ++i) {
        controls_.SetChecked(group[i], static_cast<int32_t>(i) == value);
      }
      break;
    }
    default:
      break;
  }
}

bool PageDispatcher::RefreshControl(int control_id) {
  int command_id = database_.ToCmdId(control_id);
  if (command_id < 0) return false;
  int32_t value = 0;
  if (!engine_.ReadCommand(command_id, value, kDefaultTimeoutMs)) return false;
  database_.SetDataValue(control_id, value);
  ShowValue(control_id, value);
  return true;
}

// ---- Commit paths ----

bool PageDispatcher::WriteAndCommit(int control_id) {
  const int32_t before = database_.GetSynchronisedValue(control_id);
  const int32_t requested = database_.GetDataValue(control_id);
  if (database_.WritePendingChanges(engine_) == 1) {
    database_.CommitAll();
    if (database_.ToCmdId(control_id) == cmd::kBaudRate && before != requested) {
      FollowBaudRate(control_id, requested);
    }
    Report(control_id, before, requested, true);
    return true;
  }
  Rollback(control_id);
  Report(control_id, before, requested, false);
  return false;
}

void PageDispatcher::FollowBaudRate(int control_id, int32_t code) {
  if (host_ == nullptr || host_->FollowBaudRate(code)) return;
  // The line went back to its old rate. A camera that answers there says what it holds; from
  // a silent one the control keeps the value it confirmed.
  if (engine_.last_failure() == Command::Failure::kNone) RefreshAndConfirm(control_id);
}

void PageDispatcher::Report(int control_id, int32_t before, int32_t requested, bool confirmed) {
  if (observer_ == nullptr || (confirmed && before == requested)) return;
  ParameterChange change;
  change.control_id = control_id;
  change.command_id = database_.ToCmdId(control_id);
  change.before = before;
  change.requested = requested;
  change.after = confirmed ? requested : database_.GetSynchronisedValue(control_id);
  change.confirmed = confirmed;
  observer_->OnParameterChange(change);
}

bool PageDispatcher::ApplyCommandValue(int command_id, int32_t value) {
  const int control_id = database_.ToCtrlId(command_id);
  if (control_id < 0) return false;
  database_.SetDataValue(control_id, value);
  ShowValue(control_id, value);
  if (const int spin_id = controls_.SpinOfEdit(control_id); spin_id != 0) {
    controls_.SetSpinPosition(spin_id, value);
  }
  const bool confirmed = WriteAndCommit(control_id);
  if (const int spin_id = controls_.SpinOfEdit(control_id); spin_id != 0 && !confirmed) {
    controls_.SetSpinPosition(spin_id, database_.GetSynchronisedValue(control_id));
  }
  FollowUp(control_id);
  return confirmed;
}

void PageDispatcher::Rollback(int control_id) {
  int32_t camera_value = database_.GetSynchronisedValue(control_id);
  database_.SetDataValue(control_id, camera_value);
  ShowValue(control_id, camera_value);
}

void PageDispatcher::SyncSpinFromBuddy(int spin_id) {
  int buddy = controls_.BuddyOf(spin_id);
  if (buddy == 0) return;
  int32_t min = 0;
  int32_t max = 0;
  controls_.GetSpinRange(spin_id, min, max);
  int32_t typed = 0;
  if (ParseInteger(controls_.Text(buddy), typed) && typed >= std::min(min, max) &&
      typed <= std::max(min, max)) {
    controls_.SetSpinPosition(spin_id, typed);
  }
}

void PageDispatcher::ShowText(int control_id, const std::string& text) {
  controls_.SetText(control_id, text);
  shown_text_[control_id] = text;
}

bool PageDispatcher::OperatorChangedText(int edit_id) const {
  // An edit the dispatcher never filled still holds its empty start text.
  auto shown = shown_text_.find(edit_id);
  return controls_.Text(edit_id) != (shown == shown_text_.end() ? std::string() : shown->second);
}

void PageDispatcher::CommitEdit(int edit_id) {
  if (!OperatorChangedText(edit_id)) return;
  if (edit_id == control::kLineTimeEdit) return CommitLineTimeEdit();
  if (edit_id == control::kExposureTimeEdit) return CommitExposureTimeEdit();
  const int spin_id = controls_.SpinOfEdit(edit_id);
  if (spin_id == 0) return;

  // Text that is no integer in the spin's range leaves the spin where it was.
  SyncSpinFromBuddy(spin_id);
  int32_t candidate = controls_.SpinPosition(spin_id);
  if (database_.GetSpinRangeMode(edit_id) == 1) {
    int32_t min = 0;
    int32_t max = 0;
    database_.GetRange(edit_id, min, max);
    candidate = std::clamp(candidate, min, max);
  }
  ShowText(edit_id, FormatInteger(candidate));

  database_.SetDataValue(edit_id, candidate);
  WriteAndCommit(edit_id);
  FollowUp(edit_id);
}

void PageDispatcher::CommitCombo(int combo_id) {
  database_.SetDataValue(combo_id, ReadControlValue(combo_id));
  database_.RefreshChangedControls(*this);
  WriteAndCommit(combo_id);
  FollowUp(combo_id);
}

bool PageDispatcher::StepSpin(int spin_id, int step) {
  SyncSpinFromBuddy(spin_id);
  int32_t min = 0;
  int32_t max = 0;
  controls_.GetSpinRange(spin_id, min, max);
  const int64_t wanted = int64_t{controls_.SpinPosition(spin_id)} + step;
  const int32_t position =
      static_cast<int32_t>(std::clamp<int64_t>(wanted, std::min(min, max), std::max(min, max)));

  const int edit_id = controls_.BuddyOf(spin_id);
  bool moved = false;
  if (edit_id != 0) {
    const int32_t before = database_.GetSynchronisedValue(edit_id);
    database_.SetDataValue(edit_id, position);
    if (database_.WritePendingChanges(engine_) == 1) {
      database_.CommitAll();
      controls_.SetSpinPosition(spin_id, position);
      ShowText(edit_id, FormatInteger(position));
      moved = true;
      Report(edit_id, before, position, true);
    } else {
      // The camera did not take it: the spin stays at the camera's value.
      Rollback(edit_id);
      controls_.SetSpinPosition(spin_id, database_.GetSynchronisedValue(edit_id));
      Report(edit_id, before, position, false);
    }
  }
  FollowUp(edit_id != 0 ? edit_id : spin_id);
  return moved;
}

void PageDispatcher::ClickButton(int button_id) {
  switch (controls_.CategoryOf(button_id)) {
    case ControlCategory::kPushButton:
      RunButtonAction(button_id);
      break;
    case ControlCategory::kCheckBox:
      // Check boxes and radio buttons keep what the operator chose, confirmed or not.
      database_.SetDataValue(button_id, ReadControlValue(button_id));
      database_.WritePendingChanges(engine_);
      database_.CommitAll();
      break;
    case ControlCategory::kRadioButton: {
      std::vector<int> group = controls_.RadioGroup(button_id);
      if (group.empty()) break;
      auto position = std::find(group.begin(), group.end(), button_id) - group.begin();
      database_.SetDataValue(group.front(), static_cast<int32_t>(position));
      database_.WritePendingChanges(engine_);
      database_.CommitAll();
      break;
    }
    default:
      break;
  }
}

// ---- Follow-ups ----

void PageDispatcher::RefreshAndConfirm(int control_id) {
  RefreshControl(control_id);
  database_.CommitAll();
}

void PageDispatcher::FollowUp(int control_id) {
  const auto row = std::find_if(std::begin(kFollowUps), std::end(kFollowUps),
                                [&](const FollowUpRow& r) { return r.control == control_id; });
  if (row == std::end(kFollowUps)) return;
  for (const FollowUpStep& step : row->steps) RunStep(static_cast<int>(step.step), step.control);
}

void PageDispatcher::RunStep(int step, int control_id) {
  switch (static_cast<Step>(step)) {
    case Step::kBinningRanges:
      return UpdateBinningRanges();
    case Step::kBlackLevelRange:
      return UpdateBlackLevelRange();
    case Step::kShowPixelSize:
      return ShowPixelSize();
    case Step::kShowLineTiming:
      return ShowLineTiming();
    case Step::kShowExposureTime:
      return ShowExposureTime();
    case Step::kRereadExposure:
      return RereadExposure();
    case Step::kLutSelectorChanged:
      UpdateLutEditEnabling();
      if (ProfileOf(engine_.device()).colour) LutIndexWriteAndValueRead(true);
      return;
    case Step::kLutValueRead:
      return LutIndexWriteAndValueRead(false);
    case Step::kOnePushWhiteBalance:
      return CheckOnePushWhiteBalance();
    case Step::kColourMatrix:
      UpdateColourMatrixEnabling();
      return ReadColourMatrix();
    case Step::kReread:
      RefreshControl(control_id);
      return;
    case Step::kRereadAndConfirm:
      return RefreshAndConfirm(control_id);
  }
}

void PageDispatcher::UpdateBinningRanges() {
  int32_t sensor_width = 0;
  if (!engine_.ReadCommand(cmd::kSensorWidth, sensor_width, kDefaultTimeoutMs)) return;
  const int32_t min_width = controls_.Selection(control::kBinning) == 0 ? 64 : 32;
  controls_.SetSpinRange(control::kWidthSpin, min_width, sensor_width);
  controls_.SetSpinRange(control::kOffsetXSpin, 0, sensor_width - min_width);
}

void PageDispatcher::UpdateBlackLevelRange() {
  const int32_t min = controls_.Selection(control::kBlackLevelMode) == 0 ? -4095 : 0;
  controls_.SetSpinRange(control::kBlackLevelSpin, min, 4095);
}

void PageDispatcher::UpdateLutEditEnabling() {
  const bool enabled =
      ProfileOf(engine_.device()).colour || controls_.Selection(control::kLutSelector) == 0;
  controls_.SetEnabled(control::kLutIndex, enabled);
  controls_.SetEnabled(control::kLutValue, enabled);
}

void PageDispatcher::LutIndexWriteAndValueRead(bool write_index) {
  if (ProfileOf(engine_.device()).monochrome && controls_.Selection(control::kLutSelector) != 0) {
    return;
  }
  if (write_index) {
    // The result does not matter: the value read below shows what the camera has.
    engine_.WriteCommand(cmd::kLutIndex, LeadingInteger(controls_.Text(control::kLutIndex)),
                         kDefaultTimeoutMs);
  }
  int32_t value = 0;
  if (!engine_.ReadCommand(cmd::kLutValue, value, kDefaultTimeoutMs)) return;
  ShowText(control::kLutValue, FormatInteger(value));
  database_.SetDataValue(control::kLutValue, value);
  database_.CommitAll();
}

void PageDispatcher::CheckOnePushWhiteBalance() {
  if (controls_.Selection(control::kWbCalibMode) != 1) return;
  // Give the camera time to run the calibration before asking whether it finished.
  clock_.SleepUntilUs(clock_.NowUs() + 100'000);
  int32_t mode = 0;
  if (!engine_.ReadCommand(cmd::kWbCalibMode, mode, kDefaultTimeoutMs) || mode != 0) return;
  database_.SetDataValue(control::kWbCalibMode, 0);
  ShowValue(control::kWbCalibMode, 0);
  RefreshControl(control::kWbRedGain);
  RefreshControl(control::kWbBlueGain);
  RefreshControl(control::kWbGreenGain);
  database_.CommitAll();
}

void PageDispatcher::UpdateColourMatrixEnabling() {
  if (!ProfileOf(engine_.device()).colour) return;
  const bool enabled = controls_.Selection(control::kCcmSelector) != 0;
  for (int i = 0; i < control::kCcmCoefficientCount; ++i) {
    controls_.SetEnabled(control::CcmCoefficient(i), enabled);
    controls_.SetEnabled(control::CcmCoefficientSpin(i), enabled);
  }
}

void PageDispatcher::ReadColourMatrix() {
  if (controls_.Selection(control::kCcmSelector) == 0) return;
  for (int i = 0; i < control::kCcmCoefficientCount; ++i) {
    int32_t value = 0;
    if (!engine_.ReadCommand(cmd::kFirstCcmCoefficient + i, value, kDefaultTimeoutMs)) continue;
    const int edit_id = control::CcmCoefficient(i);
    ShowText(edit_id, FormatInteger(value));
    database_.SetDataValue(edit_id, value);
  }
  database_.CommitAll();
}

// ---- Model profile and dependent ranges ----

int PageDispatcher::CcmSelectorIndex() const {
  return database_.GetDataValue(control::kCcmSelector);
}

bool PageDispatcher::IsCommandAvailable(int command_id) const {
  return CommandTable::IsCommandAvailable(command_id, engine_.device().kind, CcmSelectorIndex());
}

void PageDispatcher::InitialiseSpinRanges() {
  for (const ParameterRow& row : database_.rows()) {
    if (row.control_type != control_type::kEditSpin) continue;
    const int spin_id = controls_.SpinOfEdit(row.control_id);
    if (spin_id == 0) continue;
    const int32_t widen = row.spin_range_mode == 1 ? 1 : 0;
    // Widening saturates instead of leaving the 32-bit range.
    const int32_t min = row.min == INT32_MIN ? row.min : row.min - widen;
    const int32_t max = row.max == INT32_MAX ? row.max : row.max + widen;
    controls_.SetSpinRange(spin_id, min, max);
  }
}

void PageDispatcher::ApplyModelProfile() {
  const ModelKind kind = engine_.device().kind;
  if (kind == ModelKind::Unsupported) return;
  const ModelProfile& profile = ProfileOf(kind);
  engine_.table().ApplyAddressMoves(profile);
  ApplyProfileEnabling(kind);
  ApplyProfileItems(kind);
  const int32_t limit = profile.ffc_area_limit;
  controls_.SetSpinRange(control::kFfcCalAreaStartXSpin, 0, limit);
  controls_.SetSpinRange(control::kFfcCalAreaWidthSpin, 16, limit);
}

void PageDispatcher::ApplyProfileEnabling(ModelKind kind) {
  for (const EnablingRow& row : kEnabling) {
    const bool on = ProfileOf(kind).Has(row.feature);
    for (const IdSpan& span : row.ids) {
      for (int control_id = span.first; control_id <= span.last; ++control_id) {
        if (controls_.HasControl(control_id)) controls_.SetEnabled(control_id, on);
      }
    }
  }
}

std::vector<ProfileItem> ProfileItems(int combo_id, ModelKind kind, int version_number) {
  const ControlLayout* layout = FindControlLayout(combo_id);
  if (layout == nullptr || kind == ModelKind::Unsupported) return {};
  const Feature* feature = FeatureOfCommand(layout->command);
  if (feature == nullptr || !ItemsDependOnKind(*feature)) return {};
  std::vector<ProfileItem> items;
  for (const ComboItem& item : ComboItems(layout->command, kind, version_number)) {
    items.push_back({std::string(item.text), item.value});
  }
  return items;
}

void PageDispatcher::ReplaceItems(int combo_id, const std::vector<ProfileItem>& items) {
  std::vector<ProfileItem> present;
  for (int i = 0; i < controls_.ItemCount(combo_id); ++i) {
    present.push_back({controls_.ItemText(combo_id, i), controls_.ItemValue(combo_id, i)});
  }
  if (present == items) return;
  // The entry shown before stays shown when the new list has it; a reload shows the camera's.
  const int selection = controls_.Selection(combo_id);
  const std::string selected =
      selection >= 0 && selection < static_cast<int>(present.size()) ? present[selection].text : "";
  for (int i = static_cast<int>(present.size()) - 1; i >= 0; --i) {
    controls_.RemoveItem(combo_id, i);
  }
  int reselect = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    const int index = static_cast<int>(i);
    controls_.InsertItem(combo_id, index, items[i].text);
    controls_.SetItemValue(combo_id, index, items[i].value);
    if (selection >= 0 && items[i].text == selected) reselect = index;
  }
  controls_.SetSelection(combo_id, reselect);
}

void PageDispatcher::ApplyProfileItems(ModelKind kind) {
  // Each kind's lists come from the catalogue, never from the previous kind's.
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        if (control.kind != ControlKind::kCombo) continue;
        const auto items = ProfileItems(control.id, kind, engine_.device().version_number);
        if (!items.empty()) ReplaceItems(control.id, items);
      }
    }
  }
}

void PageDispatcher::UpdateDependentRanges() {
  ShowPixelSize();
  UpdateLutEditEnabling();
  UpdateBinningRanges();
  UpdateBlackLevelRange();
  UpdateColourMatrixEnabling();
}

// ---- Derived displays ----

double PageDispatcher::TickLength() const {
  return TickLengthNs(engine_.device());
}

void PageDispatcher::ShowLineTiming() {
  const int32_t ticks = database_.GetDataValue(control::kLineRate);
  ShowText(control::kLineTimeEdit, FormatLineTime(ticks, TickLength()));
  ShowText(control::kLineFrequencyText, FormatLineFrequency(ticks, TickLength()));
}

void PageDispatcher::ShowExposureTime() {
  const int32_t ticks = database_.GetDataValue(control::kExposureTime);
  ShowText(control::kExposureTimeEdit, FormatExposureTime(ticks, TickLength()));
}

void PageDispatcher::ShowPixelSize() {
  int32_t pixel_format = 0;
  if (!engine_.ReadCommand(cmd::kPixelFormat, pixel_format, kDefaultTimeoutMs)) return;
  ShowText(control::kPixelSizeText, FormatPixelSize(pixel_format));
}

void PageDispatcher::CommitExposureTimeEdit() {
  const int32_t ticks =
      TicksFromMicroseconds(controls_.Text(control::kExposureTimeEdit), TickLength());
  if (ticks != database_.GetSynchronisedValue(control::kExposureTime)) {
    ShowValue(control::kExposureTime, ticks);
    database_.SetDataValue(control::kExposureTime, ticks);
    WriteAndCommit(control::kExposureTime);
  }
  ShowExposureTime();
}

void PageDispatcher::CommitLineTimeEdit() {
  const int32_t ticks = TicksFromMicroseconds(controls_.Text(control::kLineTimeEdit), TickLength());
  if (ticks == database_.GetSynchronisedValue(control::kLineRate)) {
    ShowLineTiming();
    return;
  }
  ShowValue(control::kLineRate, ticks);
  database_.SetDataValue(control::kLineRate, ticks);
  WriteAndCommit(control::kLineRate);
  RereadExposure();
}

void PageDispatcher::RereadExposure() {
  ShowLineTiming();
  // The camera may shorten the exposure to fit the new line time.
  int32_t exposure = 0;
  if (engine_.ReadCommand(cmd::kExposureTime, exposure, kDefaultTimeoutMs)) {
    ShowValue(control::kExposureTime, exposure);
    database_.SetDataValue(control::kExposureTime, exposure);
    database_.CommitAll();
  }
  ShowExposureTime();
}

// ---- Buttons ----

void PageDispatcher::TerminateAndReset() {
  if (!CurrentNotifier().AskYesNo(
          "Are you sure to terminate the Camera Control Tool and reset the camera ?", "Confirm")) {
    return;
  }
  engine_.WriteCommand(cmd::kDeviceReset, 1, WriteTimeoutMs(cmd::kDeviceReset));
  if (host_ != nullptr) host_->CloseAfterReset();
}

bool PageDispatcher::ReadInto(int command_id, int text_id) {
  int32_t value = 0;
  if (!engine_.ReadCommand(command_id, value, kDefaultTimeoutMs)) return false;
  ShowText(text_id, DisplayText(*FeatureOfCommand(command_id), value, engine_.device()));
  return true;
}

void PageDispatcher::RunButtonAction(int button_id) {
  const auto row = std::find_if(std::begin(kButtons), std::end(kButtons),
                                [&](const ButtonRow& r) { return r.button == button_id; });
  if (row == std::end(kButtons)) return;
  const ControlLayout* button = FindControlLayout(button_id);
  const int command_id = button != nullptr ? button->command : -1;
  switch (row->action) {
    case ButtonAction::kShowTerminal:
      if (host_ != nullptr) host_->ShowTerminal();
      return;
    case ButtonAction::kTerminateAndReset:
      return TerminateAndReset();
    case ButtonAction::kOpenLutEditor:
      if (host_ != nullptr) host_->OpenLutEditor();
      return;
    case ButtonAction::kLutLoad:
      if (engine_.WriteCommand(command_id, 1, kDefaultTimeoutMs)) {
        LutIndexWriteAndValueRead(true);
      } else {
        CurrentNotifier().ShowMessage("Error", "", MessageIcon::Error);
      }
      return;
    case ButtonAction::kWrite: {
      const int timeout = row->timeout_ms != 0 ? row->timeout_ms : WriteTimeoutMs(command_id);
      const bool ok = engine_.WriteCommand(command_id, 1, timeout);
      if (ok && row->report == Report::kResult) {
        CurrentNotifier().ShowMessage("Completed", "", MessageIcon::Information);
      } else if (!ok && row->report != Report::kNone) {
        CurrentNotifier().ShowMessage("Error", "", MessageIcon::Error);
      }
      return;
    }
    case ButtonAction::kRead: {
      const ModelProfile& profile = ProfileOf(engine_.device());
      for (const ButtonRead& read : row->reads) {
        if (read.feature != 0 && !profile.Has(static_cast<ModelFeature>(read.feature))) continue;
        const ControlLayout* text = ControlOfCommand(read.command, ControlKind::kText);
        const bool ok = text != nullptr && ReadInto(read.command, text->id);
        if (!ok && row->chained) return;
      }
      return;
    }
  }
}

}  // namespace ctrl::ui
