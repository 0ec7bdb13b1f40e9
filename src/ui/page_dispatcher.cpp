#include "ui/page_dispatcher.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "camera/notifier.h"
#include "ui/derived_values.h"
#include "ui/page_layouts.h"

namespace ctrl::ui {
namespace {

// Control ids the dispatcher names.
namespace id {
constexpr int kBinning = 1692;
constexpr int kOffsetX = 1694;
constexpr int kOffsetXSpin = 1695;
constexpr int kWidth = 1696;
constexpr int kWidthSpin = 1697;
constexpr int kPixelFormat = 1698;
constexpr int kTestPattern = 1700;
constexpr int kLineRate = 1701;
constexpr int kLineRateSpin = 1702;
constexpr int kExposure = 1704;
constexpr int kExposureSpin = 1094;
constexpr int kBlackLevelMode = 1705;
constexpr int kBlackLevelSpin = 1707;
constexpr int kClConfiguration = 1719;
constexpr int kClClock = 1720;
constexpr int kTapGeometry = 1721;
constexpr int kFfcStartXSpin = 1735;
constexpr int kFfcWidthSpin = 1737;
constexpr int kLutSelector = 1743;
constexpr int kLutIndex = 1744;
constexpr int kLutIndexSpin = 1745;
constexpr int kLutValue = 1746;
constexpr int kTemperatureText = 1750;
constexpr int kVoltageText = 1752;
constexpr int kLineFrequencyText = 1762;
constexpr int kPixelSizeText = 1813;
constexpr int kWbCalibMode = 1851;
constexpr int kCcmSelector = 1874;
constexpr int kFirstCoefficient = 1876;
constexpr int kLineTimeEdit = 1912;
constexpr int kExposureTimeEdit = 1913;
}  // namespace id

namespace command {
constexpr int kTemperature = 12;
constexpr int kVoltage = 14;
constexpr int kSensorWidth = 20;
constexpr int kPixelFormat = 24;
constexpr int kExposureTime = 30;
constexpr int kWbCalibMode = 86;
constexpr int kFirstCoefficient = 95;
}  // namespace command

constexpr int kCoefficientCount = 9;
constexpr int kWideFfcLimit = 16384;
constexpr int kFfcLimit = 8192;

// Ids of a profile row: single ids and inclusive ranges of ids.
struct IdSpan {
  int first;
  int last;
};

struct EnablingRow {
  std::initializer_list<IdSpan> ids;
  bool mono;
  bool color;
  bool wide_mono;
};

const EnablingRow kEnabling[] = {
    {{{1692, 1692}, {1801, 1801}, {1693, 1693}, {1802, 1802}}, true, true, true},
    {{{1826, 1829}}, false, false, true},
    {{{1902, 1902}, {1771, 1771}}, true, false, false},
    {{{1903, 1903}, {1784, 1784}}, true, true, false},
    {{{1904, 1904}, {1787, 1787}}, true, false, false},
    {{{1830, 1830}, {1691, 1691}}, true, true, false},
    {{{1818, 1825}}, false, false, true},
    {{{1803, 1807}, {1714, 1718}}, true, false, true},
    {{{1808, 1808}, {1814, 1815}, {1809, 1809}, {1816, 1817}}, false, false, true},
    {{{1908, 1908}, {1732, 1732}}, true, false, true},
    {{{1909, 1910}}, false, true, false},
    {{{1905, 1905}, {1738, 1738}}, true, true, false},
    {{{1831, 1849}}, false, true, false},
    {{{1850, 1869}}, false, true, false},
    {{{1870, 1901}}, false, true, false},
    {{{1906, 1906}, {1722, 1722}, {1907, 1907}, {1723, 1723}}, true, false, false},
};

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
  if (database_.WritePendingChanges(engine_) == 1) {
    database_.CommitAll();
    return true;
  }
  Rollback(control_id);
  return false;
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
  if (edit_id == id::kLineTimeEdit) return CommitLineTimeEdit();
  if (edit_id == id::kExposureTimeEdit) return CommitExposureTimeEdit();
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
    database_.SetDataValue(edit_id, position);
    if (database_.WritePendingChanges(engine_) == 1) {
      database_.CommitAll();
      controls_.SetSpinPosition(spin_id, position);
      ShowText(edit_id, FormatInteger(position));
      moved = true;
    } else {
      // The camera did not take it: the spin stays at the camera's value.
      Rollback(edit_id);
      controls_.SetSpinPosition(spin_id, database_.GetSynchronisedValue(edit_id));
    }
  }
  FollowUp(spin_id);
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
  switch (control_id) {
    case id::kBinning:
      UpdateBinningRanges();
      RefreshControl(id::kWidth);
      RefreshAndConfirm(id::kOffsetX);
      RefreshAndConfirm(id::kLineRate);
      ShowLineTiming();
      break;
    case id::kPixelFormat:
      ShowPixelSize();
      RefreshControl(id::kClConfiguration);
      RefreshControl(id::kTapGeometry);
      RefreshAndConfirm(id::kLineRate);
      ShowLineTiming();
      break;
    case id::kBlackLevelMode:
      UpdateBlackLevelRange();
      break;
    case id::kClConfiguration:
      RefreshControl(id::kTapGeometry);
      RefreshControl(id::kPixelFormat);
      RefreshAndConfirm(id::kLineRate);
      ShowLineTiming();
      break;
    case id::kClClock:
      RefreshAndConfirm(id::kLineRate);
      ShowLineTiming();
      break;
    case id::kTapGeometry:
      RefreshControl(id::kClConfiguration);
      RefreshControl(id::kPixelFormat);
      RefreshAndConfirm(id::kLineRate);
      ShowLineTiming();
      break;
    case id::kLutSelector:
      UpdateLutEditEnabling();
      if (engine_.device().IsColor()) LutIndexWriteAndValueRead(true);
      break;
    case id::kWbCalibMode:
      CheckOnePushWhiteBalance();
      break;
    case id::kCcmSelector:
      UpdateColourMatrixEnabling();
      ReadColourMatrix();
      break;
    case id::kOffsetX:
    case id::kOffsetXSpin:
      RefreshAndConfirm(id::kOffsetX);
      break;
    case id::kWidth:
    case id::kWidthSpin:
      RefreshAndConfirm(id::kWidth);
      RefreshAndConfirm(id::kLineRate);
      ShowLineTiming();
      break;
    case id::kLineRate:
    case id::kLineRateSpin:
      RereadExposure();
      break;
    case id::kExposure:
    case id::kExposureSpin:
      ShowExposureTime();
      break;
    case id::kLutIndex:
    case id::kLutIndexSpin:
      LutIndexWriteAndValueRead(false);
      break;
    default:
      break;
  }
}

void PageDispatcher::UpdateBinningRanges() {
  int32_t sensor_width = 0;
  if (!engine_.ReadCommand(command::kSensorWidth, sensor_width, kDefaultTimeoutMs)) return;
  const int32_t min_width = controls_.Selection(id::kBinning) == 0 ? 64 : 32;
  controls_.SetSpinRange(id::kWidthSpin, min_width, sensor_width);
  controls_.SetSpinRange(id::kOffsetXSpin, 0, sensor_width - min_width);
}

void PageDispatcher::UpdateBlackLevelRange() {
  const int32_t min = controls_.Selection(id::kBlackLevelMode) == 0 ? -4095 : 0;
  controls_.SetSpinRange(id::kBlackLevelSpin, min, 4095);
}

void PageDispatcher::UpdateLutEditEnabling() {
  const bool enabled = engine_.device().IsColor() || controls_.Selection(id::kLutSelector) == 0;
  controls_.SetEnabled(id::kLutIndex, enabled);
  controls_.SetEnabled(id::kLutValue, enabled);
}

void PageDispatcher::LutIndexWriteAndValueRead(bool write_index) {
  if (engine_.device().IsMonochrome() && controls_.Selection(id::kLutSelector) != 0) return;
  if (write_index) {
    // The result does not matter: the value read below shows what the camera has.
    engine_.WriteCommand(cmd::kLutIndex, LeadingInteger(controls_.Text(id::kLutIndex)),
                         kDefaultTimeoutMs);
  }
  int32_t value = 0;
  if (!engine_.ReadCommand(cmd::kLutValue, value, kDefaultTimeoutMs)) return;
  ShowText(id::kLutValue, FormatInteger(value));
  database_.SetDataValue(id::kLutValue, value);
  database_.CommitAll();
}

void PageDispatcher::CheckOnePushWhiteBalance() {
  if (controls_.Selection(id::kWbCalibMode) != 1) return;
  // Give the camera time to run the calibration before asking whether it finished.
  clock_.SleepUntilUs(clock_.NowUs() + 100'000);
  int32_t mode = 0;
  if (!engine_.ReadCommand(command::kWbCalibMode, mode, kDefaultTimeoutMs) || mode != 0) return;
  database_.SetDataValue(id::kWbCalibMode, 0);
  ShowValue(id::kWbCalibMode, 0);
  RefreshControl(1854);
  RefreshControl(1857);
  RefreshControl(1860);
  database_.CommitAll();
}

void PageDispatcher::UpdateColourMatrixEnabling() {
  if (!engine_.device().IsColor()) return;
  const bool enabled = controls_.Selection(id::kCcmSelector) != 0;
  for (int i = 0; i < kCoefficientCount; ++i) {
    controls_.SetEnabled(id::kFirstCoefficient + 3 * i, enabled);
    controls_.SetEnabled(id::kFirstCoefficient + 3 * i + 1, enabled);
  }
}

void PageDispatcher::ReadColourMatrix() {
  if (controls_.Selection(id::kCcmSelector) == 0) return;
  for (int i = 0; i < kCoefficientCount; ++i) {
    int32_t value = 0;
    if (!engine_.ReadCommand(command::kFirstCoefficient + i, value, kDefaultTimeoutMs)) continue;
    const int edit_id = id::kFirstCoefficient + 3 * i;
    ShowText(edit_id, FormatInteger(value));
    database_.SetDataValue(edit_id, value);
  }
  database_.CommitAll();
}

// ---- Model profile and dependent ranges ----

int PageDispatcher::CcmSelectorIndex() const {
  return database_.GetDataValue(id::kCcmSelector);
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
  if (kind == ModelKind::WideMono) engine_.table().ApplyWideModelOverride();
  ApplyProfileEnabling(kind);
  ApplyProfileItems(kind);
  const int32_t limit = kind == ModelKind::WideMono ? kWideFfcLimit : kFfcLimit;
  controls_.SetSpinRange(id::kFfcStartXSpin, 0, limit);
  controls_.SetSpinRange(id::kFfcWidthSpin, 16, limit);
}

void PageDispatcher::ApplyProfileEnabling(ModelKind kind) {
  for (const EnablingRow& row : kEnabling) {
    const bool on = kind == ModelKind::Mono    ? row.mono
                    : kind == ModelKind::Color ? row.color
                                               : row.wide_mono;
    for (const IdSpan& span : row.ids) {
      for (int control_id = span.first; control_id <= span.last; ++control_id) {
        if (controls_.HasControl(control_id)) controls_.SetEnabled(control_id, on);
      }
    }
  }
}

namespace {

void RemoveItem(std::vector<ProfileItem>& items, std::string_view text) {
  std::erase_if(items, [text](const ProfileItem& item) { return item.text == text; });
}

void InsertItem(std::vector<ProfileItem>& items, size_t index, std::string text, int32_t value) {
  index = std::min(index, items.size());
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), {std::move(text), value});
}

}  // namespace

std::vector<ProfileItem> ProfileItems(int combo_id, ModelKind kind, int version_number) {
  constexpr int32_t kRgb8 = 0x02180014;
  constexpr int32_t kColorBar = 7;
  constexpr int32_t kGeometry1x1 = 1;

  const ControlLayout* layout = FindControlLayout(combo_id);
  if (layout == nullptr || kind == ModelKind::Unsupported) return {};
  std::vector<ProfileItem> items;
  for (const ComboItem& item : layout->items) items.push_back({std::string(item.text), item.value});

  const bool color = kind == ModelKind::Color;
  const bool wide = kind == ModelKind::WideMono;
  switch (combo_id) {
    case id::kPixelFormat:
      if (color) {
        RemoveItem(items, "Mono10P");
        RemoveItem(items, "Mono12P");
        InsertItem(items, 1, "RGB8", kRgb8);
      } else if (wide && version_number >= 200) {
        RemoveItem(items, "Mono12P");
      }
      break;
    case id::kTestPattern:
      if (color) InsertItem(items, 5, "ColorBar", kColorBar);
      break;
    case id::kLutSelector:
      if (color) items = {{"Green", 0}, {"Blue", 0}, {"Red", 0}};
      break;
    case id::kClConfiguration:
      if (color || wide) RemoveItem(items, "Full");
      break;
    case id::kTapGeometry:
      if (color) {
        RemoveItem(items, "Geometry_1X8");
        InsertItem(items, 0, "Geometry_1X1 ", kGeometry1x1);
      }
      break;
    default:
      return {};
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
  // Each kind's lists come from the page's lists, never from the previous kind's.
  for (int combo_id : {id::kPixelFormat, id::kTestPattern, id::kLutSelector, id::kClConfiguration,
                       id::kTapGeometry}) {
    ReplaceItems(combo_id, ProfileItems(combo_id, kind, engine_.device().version_number));
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
  const int32_t ticks = database_.GetDataValue(id::kLineRate);
  ShowText(id::kLineTimeEdit, FormatLineTime(ticks, TickLength()));
  ShowText(id::kLineFrequencyText, FormatLineFrequency(ticks, TickLength()));
}

void PageDispatcher::ShowExposureTime() {
  const int32_t ticks = database_.GetDataValue(id::kExposure);
  ShowText(id::kExposureTimeEdit, FormatExposureTime(ticks, TickLength()));
}

void PageDispatcher::ShowPixelSize() {
  int32_t pixel_format = 0;
  if (!engine_.ReadCommand(command::kPixelFormat, pixel_format, kDefaultTimeoutMs)) return;
  ShowText(id::kPixelSizeText, FormatPixelSize(pixel_format));
}

void PageDispatcher::CommitExposureTimeEdit() {
  const int32_t ticks = TicksFromMicroseconds(controls_.Text(id::kExposureTimeEdit), TickLength());
  if (ticks != database_.GetSynchronisedValue(id::kExposure)) {
    ShowValue(id::kExposure, ticks);
    database_.SetDataValue(id::kExposure, ticks);
    WriteAndCommit(id::kExposure);
  }
  ShowExposureTime();
}

void PageDispatcher::CommitLineTimeEdit() {
  const int32_t ticks = TicksFromMicroseconds(controls_.Text(id::kLineTimeEdit), TickLength());
  if (ticks == database_.GetSynchronisedValue(id::kLineRate)) {
    ShowLineTiming();
    return;
  }
  ShowValue(id::kLineRate, ticks);
  database_.SetDataValue(id::kLineRate, ticks);
  WriteAndCommit(id::kLineRate);
  RereadExposure();
}

void PageDispatcher::RereadExposure() {
  ShowLineTiming();
  // The camera may shorten the exposure to fit the new line time.
  int32_t exposure = 0;
  if (engine_.ReadCommand(command::kExposureTime, exposure, kDefaultTimeoutMs)) {
    ShowValue(id::kExposure, exposure);
    database_.SetDataValue(id::kExposure, exposure);
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
  engine_.WriteCommand(cmd::kDeviceReset, 1, kDeviceResetTimeoutMs);
  if (host_ != nullptr) host_->CloseAfterReset();
}

void PageDispatcher::WriteOne(int command_id, int timeout_ms, bool error_box, bool result_box) {
  const bool ok = engine_.WriteCommand(command_id, 1, timeout_ms);
  if (ok && result_box) {
    CurrentNotifier().ShowMessage("Completed", "", MessageIcon::Information);
  } else if (!ok && (error_box || result_box)) {
    CurrentNotifier().ShowMessage("Error", "", MessageIcon::Error);
  }
}

bool PageDispatcher::ReadInto(int command_id, int text_id) {
  int32_t value = 0;
  if (!engine_.ReadCommand(command_id, value, kDefaultTimeoutMs)) return false;
  ShowText(text_id, FormatInteger(value));
  return true;
}

void PageDispatcher::RunButtonAction(int button_id) {
  switch (button_id) {
    case 1010:
      if (host_ != nullptr) host_->ShowTerminal();
      break;
    case 1012:
    case 1800:
      TerminateAndReset();
      break;
    case 1132:
      if (host_ != nullptr) host_->OpenLutEditor();
      break;
    case 1749: {
      int32_t raw = 0;
      if (engine_.ReadCommand(command::kTemperature, raw, kDefaultTimeoutMs)) {
        ShowText(id::kTemperatureText, FormatTemperature(raw));
      }
      break;
    }
    case 1751: {
      int32_t raw = 0;
      if (engine_.ReadCommand(command::kVoltage, raw, kDefaultTimeoutMs)) {
        ShowText(id::kVoltageText, FormatVoltage(raw));
      }
      break;
    }
    case 1754:
      WriteOne(70, kDefaultTimeoutMs, false, false);
      break;
    case 1755:
      WriteOne(77, kCalibrationTimeoutMs, false, true);
      break;
    case 1756:
      WriteOne(78, kCalibrationTimeoutMs, false, true);
      break;
    // "Load" and "Save" act on the registers their names say (LUT load and LUT save), never
    // the other way round: a swapped Save would overwrite the working LUT with the flash copy.
    case 1759:
      if (engine_.WriteCommand(cmd::kLutLoad, 1, kDefaultTimeoutMs)) {
        LutIndexWriteAndValueRead(true);
      } else {
        CurrentNotifier().ShowMessage("Error", "", MessageIcon::Error);
      }
      break;
    case 1760:
      WriteOne(cmd::kLutSave, kDefaultTimeoutMs, true, false);
      break;
    case 1768:
      if (ReadInto(35, 1764)) ReadInto(36, 1765);
      break;
    case 1769:
      if (ReadInto(32, 1766)) ReadInto(33, 1767);
      break;
    case 1773:
      if (ReadInto(37, 1770) && engine_.device().IsMono()) ReadInto(38, 1771);
      break;
    case 1774:
      ReadInto(31, 1772);
      break;
    case 1789:
      WriteOne(40, kDefaultTimeoutMs, true, false);
      break;
    case 1790:
      WriteOne(42, kDefaultTimeoutMs, true, false);
      break;
    case 1791: {
      const ModelKind kind = engine_.device().kind;
      ReadInto(39, 1782);
      ReadInto(41, 1783);
      if (kind == ModelKind::Mono || kind == ModelKind::Color) ReadInto(43, 1784);
      ReadInto(44, 1785);
      ReadInto(45, 1786);
      if (kind == ModelKind::Mono) ReadInto(46, 1787);
      ReadInto(47, 1788);
      break;
    }
    case 1792:
      WriteOne(16, kDefaultTimeoutMs, true, false);
      break;
    case 1810:
      WriteOne(15, kDefaultTimeoutMs, true, false);
      break;
    case 1829:
      WriteOne(27, kDefaultTimeoutMs, false, false);
      break;
    case 1869:
      WriteOne(78, kDefaultTimeoutMs, false, true);
      break;
    default:
      break;
  }
}

}  // namespace ctrl::ui
