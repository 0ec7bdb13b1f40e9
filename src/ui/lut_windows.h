#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/online_status.h"
#include "lut/lut_editor.h"
#include "lut/lut_flows.h"
#include "lut/lut_transfer.h"
#include "ui/file_dialogs.h"

class CLUTDlg;
class CProgressBarDialog;

namespace ctrl::ui {

// What the LUT windows work with; everything outlives them.
struct LutWindowsSetup {
  Command* engine = nullptr;
  Clock* clock = nullptr;
  OnlineStatusPublisher* status = nullptr;
  CProgressBarDialog* progress = nullptr;
  FileDialogs* file_dialogs = nullptr;
  // Owns the progress window outside the editors' own transfers and is disabled while all
  // tables are read.
  QWidget* main_window = nullptr;
  // Wraps the transfers of all tables ("Load all", and the read before a save); none: as they are.
  RunTransfer run_all_tables;
};

// The three LUT tables with their editor windows, the transfers the windows start and the LUT
// menu commands. Repaints an editor whenever the core changes its table, and holds the windows
// back while a transfer runs.
class LutWindows final : public LutDisplay, public WindowGate {
 public:
  explicit LutWindows(LutWindowsSetup setup);
  ~LutWindows() override;
  LutWindows(const LutWindows&) = delete;
  LutWindows& operator=(const LutWindows&) = delete;

  // The three editors, hidden, one per table; a second call changes nothing.
  void CreateWindows();
  // "Open LUT Table": all three on a colour camera, only the green one on a monochrome camera.
  void ShowEditors();

  // The LUT menu. Each returns true when it changed the tables or wrote the file.
  bool OpenLutFile(QWidget* owner);
  bool SaveLutFile(QWidget* owner);
  bool LoadAllLutTables();

  // The editor buttons "Read Table Data" and "Write Table Data".
  bool ReadTable(int table_index);
  bool WriteTable(int table_index);

  LutBank& bank() { return bank_; }
  // nullptr before CreateWindows().
  CLUTDlg* editor_window(int table_index) const;
  bool monochrome() const;

  // LutDisplay.
  void TableChanged(int table_index) override;
  // WindowGate.
  void DisableWindows() override;
  void EnableWindows() override;
  void DisableMainWindow() override;
  void EnableMainWindow() override;
  void ActivateEditor(int table_index) override;

 private:
  LutTransferContext Context();
  // Runs a transfer with the progress window owned by `owner`.
  template <typename Transfer>
  bool WithProgressOwner(QWidget* owner, Transfer transfer);

  LutWindowsSetup setup_;
  LutBank bank_;
  std::array<std::unique_ptr<CLUTDlg>, kLutTableCount> windows_;
};

}  // namespace ctrl::ui
