#pragma once

#include <functional>
#include <string>

#include "camera/notifier.h"
#include "lut/lut_transfer.h"

namespace ctrl {

// The parts of the LUT menu commands around their file dialogs; the dialogs themselves belong to
// the windows.

// What the LUT file dialogs offer: the extension added to a bare name and the filters (the save
// dialog's text has always read "gamm").
inline constexpr const char* kLutFileExtension = "csv";
inline constexpr const char* kLutOpenFilter = "Camera gamma data (*.csv) | *.csv ||";
inline constexpr const char* kLutSaveFilter = "Camera gamm data (*.csv) | *.csv";

// File name a LUT file dialog starts with: the current folder and "*.csv".
std::string LutDialogInitialName();

// A message or a yes/no question of a LUT menu command. The windows show it; the core only
// says what it is.
struct LutMessage {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::Question;
};

// Puts a yes/no question to the operator; true for "Yes". The windows supply it.
using AskOperator = std::function<bool(const LutMessage& question)>;

// Runs a transfer of all tables and returns its result; the windows may wrap it (a faster line
// while it runs). An empty one runs the transfer as it is.
using RunTransfer = std::function<bool(const std::function<bool()>& transfer)>;

// What a file dialog that ended neither with OK nor with Cancel reports.
LutMessage LutDialogErrorMessage(int return_code);

// "&Save LUT file", before its dialog: asks whether to read all tables from the camera first.
// False when the operator said Yes and the read failed; no file may be written then.
bool ReadTablesBeforeSave(LutTransferContext& io, LutBank& bank, const AskOperator& ask,
                          const RunTransfer& run = {});

// "&Save LUT file", after its dialog: an existing file is replaced only when the operator agrees.
// True when the file was written.
bool SaveLutFileConfirmed(const std::string& path, const LutBank& bank, ModelKind kind,
                          const AskOperator& ask);

// "&Load all LUT table": asks, then reads every table of the camera. True when the operator said
// Yes and every read succeeded.
bool LoadAllLutTablesConfirmed(LutTransferContext& io, LutBank& bank, const AskOperator& ask,
                               const RunTransfer& run = {});

}  // namespace ctrl
