#include "lut/lut_flows.h"

#include <cstdio>
#include <filesystem>

#include "lut/lut_file.h"

namespace ctrl {
namespace {

constexpr int64_t kAfterLoadAllPauseUs = 20000;

bool AskReadAll(const AskOperator& ask) {
  return ask({"Read all lut data from the camera ?", "Confirm", MessageIcon::Question});
}

bool ReadAllTables(LutTransferContext& io, LutBank& bank, const RunTransfer& run) {
  const auto transfer = [&] { return ReadAllLutTables(io, bank); };
  return run ? run(transfer) : transfer();
}

}  // namespace

std::string LutDialogInitialName() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  return (folder / "*.csv").string();
}

LutMessage LutDialogErrorMessage(int return_code) {
  char text[64];
  std::snprintf(text, sizeof text, "Error in Load Dialog! (Return-code = %d)", return_code);
  return {text, "Load Error", MessageIcon::Exclamation};
}

bool ReadTablesBeforeSave(LutTransferContext& io, LutBank& bank, const AskOperator& ask,
                          const RunTransfer& run) {
  if (!AskReadAll(ask)) return true;
  return ReadAllTables(io, bank, run);
}

bool SaveLutFileConfirmed(const std::string& path, const LutBank& bank, ModelKind kind,
                          const AskOperator& ask) {
  std::error_code error;
  if (std::filesystem::exists(path, error) &&
      !ask({path + "\nThis file already exists.\nReplace existing file?", "",
            MessageIcon::Question})) {
    return false;
  }
  return WriteLutFile(path, bank, kind);
}

bool LoadAllLutTablesConfirmed(LutTransferContext& io, LutBank& bank, const AskOperator& ask,
                               const RunTransfer& run) {
  if (!AskReadAll(ask)) return false;
  const bool read = ReadAllTables(io, bank, run);
  // Lets the camera settle before the next command.
  io.clock.SleepUntilUs(io.clock.NowUs() + kAfterLoadAllPauseUs);
  return read;
}

}  // namespace ctrl
