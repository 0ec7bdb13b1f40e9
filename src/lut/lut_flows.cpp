#include "lut/lut_flows.h"

#include <cstdio>
#include <filesystem>

#include "camera/notifier.h"
#include "lut/lut_file.h"

namespace ctrl {
namespace {

constexpr int64_t kAfterLoadAllPauseUs = 20000;

bool AskReadAll() {
  return CurrentNotifier().AskYesNo("Read all lut data from the camera ?", "Confirm");
}

}  // namespace

std::string LutDialogInitialName() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  return (folder / "*.csv").string();
}

void ShowLutDialogError(int return_code) {
  char text[64];
  std::snprintf(text, sizeof text, "Error in Load Dialog! (Return-code = %d)", return_code);
  CurrentNotifier().ShowMessage(text, "Load Error", MessageIcon::Exclamation);
}

bool ReadTablesBeforeSave(LutTransferContext& io, LutBank& bank) {
  if (!AskReadAll()) return true;
  return ReadAllLutTables(io, bank);
}

bool SaveLutFileConfirmed(const std::string& path, const LutBank& bank, ModelKind kind) {
  std::error_code error;
  if (std::filesystem::exists(path, error) &&
      !CurrentNotifier().AskYesNo(path + "\nThis file already exists.\nReplace existing file?",
                                  "")) {
    return false;
  }
  return WriteLutFile(path, bank, kind);
}

bool LoadAllLutTablesConfirmed(LutTransferContext& io, LutBank& bank) {
  if (!AskReadAll()) return false;
  const bool read = ReadAllLutTables(io, bank);
  // Lets the camera settle before the next command.
  io.clock.SleepUntilUs(io.clock.NowUs() + kAfterLoadAllPauseUs);
  return read;
}

}  // namespace ctrl
