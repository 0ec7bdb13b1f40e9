#include "lut/lut_transfer.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace ctrl {
namespace {

// Register accesses of a transfer: the engine's standard time-out, with its time-out report.
bool Retried(LutTransferContext& io, const std::function<bool()>& access) {
  for (int attempt = 1; attempt <= kLutAccessAttempts; ++attempt) {
    if (access()) return true;
    // A line that went away does not come back by waiting: no retry.
    if (io.engine.last_failure() == Command::Failure::kLineLost) return false;
    if (attempt < kLutAccessAttempts) io.clock.SleepUntilUs(io.clock.NowUs() + kLutRetryPauseUs);
  }
  return false;
}

void ShowEntryProgress(LutTransferContext& io, const std::string& text, int entry,
                       int entry_count = kLutEntryCount) {
  char count[32];
  std::snprintf(count, sizeof count, " (%d / %d)", entry + 1, entry_count);
  io.progress.SetProgressMessage(text + count);
  // Single precision and truncation, so the bar reads 0..99 during the loop.
  io.progress.SetProgressPercent(static_cast<int>(
      static_cast<float>(entry) * (1.0f / static_cast<float>(entry_count)) * 100.0f));
  io.progress.ProcessPendingMessages();
}

// The camera's LUT addressing before a transfer, put back afterwards.
using SavedAddressing = LutBank::CameraAddressing;

bool SaveAddressing(LutTransferContext& io, LutBank& bank, SavedAddressing& saved) {
  if (!io.engine.ReadCommand(cmd::kLutSelector, saved.selector, kDefaultTimeoutMs)) return false;
  // The index is restored even when it could not be read; the transfer goes on regardless.
  io.engine.ReadCommand(cmd::kLutIndex, saved.index, kDefaultTimeoutMs);
  // What the camera holds now is what an interrupted transfer left behind, not its own.
  if (bank.owed_addressing()) saved = *bank.owed_addressing();
  return true;
}

void RestoreAddressing(LutTransferContext& io, LutBank& bank, const SavedAddressing& saved) {
  const bool selector =
      io.engine.WriteCommand(cmd::kLutSelector, saved.selector, kDefaultTimeoutMs);
  const bool index = io.engine.WriteCommand(cmd::kLutIndex, saved.index, kDefaultTimeoutMs);
  if (selector && index) {
    bank.owed_addressing().reset();
  } else {
    bank.owed_addressing() = saved;
  }
}

}  // namespace

std::string LutProgressText(bool writing, int table_index, bool monochrome) {
  std::string text = writing ? "Now, writing camera lut data. " : "Now, reading camera lut data. ";
  return text + LutColourSuffix(table_index, monochrome);
}

bool ReadLutTable(LutTransferContext& io, LutBank& bank, int table_index) {
  const WindowsDisabled disabled(io.windows);
  SavedAddressing saved;
  if (!SaveAddressing(io, bank, saved)) return false;
  const bool monochrome = io.engine.device().IsMonochrome();
  io.engine.WriteCommand(cmd::kLutSelector, LutSelectorOfTable(table_index), kDefaultTimeoutMs);
  const std::string text = LutProgressText(false, table_index, monochrome);
  // View Mode first, so repaints during the loop show the entries instead of the curve.
  bank.SetModeAndRedraw(table_index, LutMode::kView);
  io.progress.OpenProgress(text);
  io.progress.SetProgressPercent(0);

  LutTable& table = bank.table(table_index);
  int entry = 0;
  for (; entry < kLutEntryCount && !io.engine.CancelRequested(); ++entry) {
    const bool indexed = Retried(
        io, [&] { return io.engine.WriteCommand(cmd::kLutIndex, entry, kDefaultTimeoutMs); });
    if (!indexed) break;
    int32_t value = 0;
    const bool read = Retried(
        io, [&] { return io.engine.ReadCommand(cmd::kLutValue, value, kDefaultTimeoutMs); });
    if (!read) break;
    table[entry] = ClampLutLevel(value);
    ShowEntryProgress(io, text, entry);
    io.windows.ActivateEditor(table_index);
  }
  io.progress.FinishProgress();
  bank.SetModeAndRedraw(table_index, LutMode::kView);
  RestoreAddressing(io, bank, saved);
  return entry == kLutEntryCount;
}

bool WriteLutTable(LutTransferContext& io, LutBank& bank, int source_index, int target_index,
                   int entry_count) {
  entry_count = std::clamp(entry_count, 0, kLutEntryCount);
  WindowsDisabled disabled(io.windows);
  SavedAddressing saved;
  if (!SaveAddressing(io, bank, saved)) return false;
  const bool monochrome = io.engine.device().IsMonochrome();
  io.engine.WriteCommand(cmd::kLutSelector, LutSelectorOfTable(target_index), kDefaultTimeoutMs);
  const std::string text = LutProgressText(true, target_index, monochrome);
  // Repaints during the loop must not recompute the table from the edit points.
  LutEditor& source = bank.editor(source_index);
  const LutMode previous_mode = source.mode();
  bank.SetModeAndRedraw(source_index, LutMode::kView);
  io.progress.OpenProgress(text);
  io.progress.SetProgressPercent(0);

  const LutTable& table = source.table();
  int entry = 0;
  for (; entry < entry_count && !io.engine.CancelRequested(); ++entry) {
    const bool indexed = Retried(
        io, [&] { return io.engine.WriteCommand(cmd::kLutIndex, entry, kDefaultTimeoutMs); });
    if (!indexed) break;
    const bool written = Retried(io, [&] {
      return io.engine.WriteCommand(cmd::kLutValue, table[entry], kDefaultTimeoutMs);
    });
    if (!written) break;
    ShowEntryProgress(io, text, entry, entry_count);
  }
  bank.SetModeAndRedraw(source_index, previous_mode);
  RestoreAddressing(io, bank, saved);
  // The windows come back before the progress window closes.
  disabled.Release();
  io.progress.FinishProgress();
  return entry == entry_count;
}

bool ReadAllLutTables(LutTransferContext& io, LutBank& bank) {
  const WindowsDisabled disabled(io.windows, WindowsDisabled::Scope::kMainWindow);
  bool all_read = true;
  if (io.engine.device().IsMonochrome()) {
    all_read = ReadLutTable(io, bank, kGreenLut);
  } else {
    for (int table = kRedLut; table <= kBlueLut && all_read; ++table) {
      all_read = ReadLutTable(io, bank, table);
    }
  }
  return all_read;
}

}  // namespace ctrl
