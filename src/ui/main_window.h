#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "camera/reconnect.h"
#include "files/change_journal.h"
#include "transport/serial_devices.h"
#include "ui/file_flows.h"
#include "ui/log_list.h"
#include "ui/page_dispatcher.h"
#include "ui/parameter_pages.h"
#include "ui/progress_dialog.h"

class QAction;
class QMenuBar;
class QTabWidget;
class QTimer;
class CCommunicationDialog;
class CCompareDialog;
class CSerialDevicesDialog;
class CTerminalDialog;

namespace ctrl {
class ChannelLineRate;
class CommChannel;
class ComPortMap;
class RegistrySettings;
}  // namespace ctrl

namespace ctrl::ui {
class ParameterSearchDialog;
struct SearchHit;
class JournalDialog;
class StatusStrip;
class FileDialogs;
class LutWindows;
}  // namespace ctrl::ui

// What the main window works with; everything outlives the window.
struct MainWindowSetup {
  ctrl::Command* engine = nullptr;
  ctrl::ParameterDatabase* database = nullptr;
  ctrl::OnlineStatusPublisher* status = nullptr;
  ctrl::Clock* clock = nullptr;
  // Opens the link to the camera with the persisted choice; false when it cannot be opened.
  std::function<bool()> open_link;
  // Closes the link when the window goes away.
  std::function<void()> close_link;
  // The process-wide factory control mode (non-zero: factory pages and parameters).
  int* factory_mode = nullptr;
  // The connection whose port and rate the communication dialog chooses (none: lists empty).
  ctrl::CommChannel* channel = nullptr;
  // The persisted settings: the previous-run check and the remembered folders.
  ctrl::RegistrySettings* settings = nullptr;
  // The file dialogs; QFileDialog when none is given.
  ctrl::ui::FileDialogs* file_dialogs = nullptr;
  // Also receives every traffic line, besides the message list and the terminal.
  ctrl::TraceSink* trace_to = nullptr;
  // Runs a modal dialog of the menu and returns its result; exec() when empty.
  std::function<int(QDialog&)> run_modal;
  // The COM port map of this run, which the serial devices window changes (none: not changed).
  ctrl::ComPortMap* com_port_map = nullptr;
  // The serial devices present; ListSerialDevices when empty.
  std::function<std::vector<ctrl::SerialDevice>()> list_serial_devices;
};

// The operator's main window: menu, the tab pages with all camera parameters, the status strip.
// Opens the link, identifies the camera, reads every parameter and keeps the pages in step with
// the camera for the whole run.
class CCtrlToolDlg final : public QDialog,
                           private ctrl::ui::DispatcherHost,
                           private ctrl::ui::ChangeObserver {
  Q_OBJECT

 public:
  static constexpr int kTabControlId = 1089;
  static constexpr int kFactoryPage = 4;

  explicit CCtrlToolDlg(MainWindowSetup setup, QWidget* parent = nullptr);
  ~CCtrlToolDlg() override;

  static QString WindowTitle();
  static QIcon AppIcon();

  // The window initialisation: pages, built-in values, tabs, link, model and the first read.
  void Initialise();
  bool OpenLinkAndIdentify();
  void ReloadAllParameters();
  void ReadAllParameters();
  void ProcessPendingMessages();
  // The control with this id on any page, or one of the window's own; nullptr for none.
  QWidget* FindControl(int control_id) const;
  void ToggleFactoryMode();
  void BuildTabs();

  QTabWidget* tabs() const { return tabs_; }
  ctrl::ui::StatusStrip* status_strip() const { return status_strip_; }
  ctrl::ui::ParameterPages& pages() { return pages_; }
  ctrl::ui::PageDispatcher& dispatcher() { return dispatcher_; }
  CProgressBarDialog& progress() { return progress_; }
  QAction* menu_action(int command_id) const;
  CCommunicationDialog* communication() const { return communication_; }
  CTerminalDialog* terminal() const { return terminal_; }
  ctrl::ui::ParameterSearchDialog* search() const { return search_; }
  QAction* find_action() const { return find_action_; }
  ctrl::ui::LutWindows& luts() { return *luts_; }

  // The camera settings file commands; `owner` owns their file dialog and progress window.
  void OpenSettingsFile(QWidget* owner);
  void SaveSettingsFile(QWidget* owner, bool shipping_data);
  // Asks for a settings file and shows where it differs from the camera.
  void CompareWithSettingsFile(QWidget* owner);
  // The compare window for this file, after reading the camera's values afresh; nothing (and
  // the reason reported) when the camera or the file cannot be read.
  std::unique_ptr<CCompareDialog> CompareDialogFor(const std::string& path, QWidget* owner);
  void ShowSerialDevices(QWidget* owner);
  std::unique_ptr<CSerialDevicesDialog> SerialDevicesDialog(QWidget* owner);
  void LoadSettingsFromCamera();
  void StoreSettingsInCamera();
  // The change journal: undo and redo send the step's value through the pages' change protocol;
  // the window lists it in the message list and the journal.
  void Undo();
  void Redo();
  void ShowJournal();
  void ExportJournal(QWidget* owner);
  const ctrl::ChangeJournal& journal() const { return journal_; }
  ctrl::ui::JournalDialog* journal_window() const { return journal_window_; }
  void ShowAbout();
  void EditUserId();
  void EditSerialNumber();
  // The idle timer's look at the line: the first sign that it went away puts the window
  // offline and, unless that is switched off, starts reopening the port.
  void CheckLine();
  // One step of the reopening, run by its timer: an attempt when one is due. When the camera
  // answers again, every parameter is read again and what now differs is listed.
  void ReconnectTick();
  bool line_lost() const { return line_lost_; }
  const ctrl::ReconnectSchedule& reconnect_schedule() const { return reconnect_; }
  bool reset_requested() const { return reset_requested_; }
  int factory_mode() const { return *setup_.factory_mode; }

 public slots:
  void accept() override {}  // Enter reaching the window does nothing
  void reject() override;    // close, Escape and Exit: ask first

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ShowTerminal() override;
  void OpenLutEditor() override;
  void CloseAfterReset() override;
  bool FollowBaudRate(int32_t code) override;
  // Runs a long operation, at the fastest rate when "Fast transfers" is ticked.
  bool RunLong(const std::function<bool()>& operation);
  // Reads the camera's Baud Rate into its control as the camera's value.
  void ShowCameraBaudRate();
  void OnParameterChange(const ctrl::ui::ParameterChange& change) override;
  // Sends the undo or redo step's value and journals it as that action.
  void SendJournalStep(ctrl::JournalAction action);
  void RefreshJournalViews();

  void BuildMenu();
  // Ctrl+F: the search over all pages.
  void BuildSearch();
  // Shows the page of a search hit and puts the focus into its control.
  void GoTo(const ctrl::ui::SearchHit& hit);
  // Shows the communication window beside this one, which must already have its place.
  void ShowCommunicationBeside();
  // The reload; `model_just_checked`: the caller has just identified the camera and reported
  // an unsupported model, so the model check here stays quiet.
  void Reload(bool model_just_checked);
  int RunModal(QDialog& dialog);
  bool AutoReconnect() const;
  void SetAutoReconnect(bool on);
  void ArmReconnectTimer();
  // The device the current COM port opens; empty for the library ports.
  QString DevicePath() const;
  bool DevicePresent() const;
  // Reopens the port and checks the model, keeping the reports of a failure out of boxes.
  bool ReopenAndIdentify();
  std::string PortText() const;
  void ShowDerivedValues();
  void OnMenuCommand(int command_id);
  // True when the key is used up here and must not reach the window.
  bool FilterKey(QWidget* target, QKeyEvent* key);
  void TrackFactorySequence(const QKeyEvent* key);

  MainWindowSetup setup_;
  int factory_mode_fallback_ = 0;
  std::unique_ptr<ctrl::ui::FileDialogs> own_file_dialogs_;
  std::unique_ptr<ctrl::ui::FileFlows> flows_;
  ctrl::ui::TrafficLogs traffic_;
  ctrl::ui::ParameterPages pages_;
  ctrl::ui::PageDispatcher dispatcher_;
  CProgressBarDialog progress_;
  ctrl::ReconnectSchedule reconnect_;
  // Whether the port's device existed when last looked at while the line was away.
  bool device_present_ = false;
  QMenuBar* menu_bar_;
  QTabWidget* tabs_;
  ctrl::ui::StatusStrip* status_strip_;
  QTimer* idle_timer_;
  QTimer* reconnect_timer_;
  // The line went away and the window has not reached the camera since.
  bool line_lost_ = false;
  // What the pages showed when the line went away, to list what a returning camera changed.
  std::vector<ctrl::ShownValue> shown_before_loss_;
  // Why the port could not be opened again, said once per loss.
  std::string reopen_failure_;
  CTerminalDialog* terminal_;
  CCommunicationDialog* communication_;
  ctrl::ui::ParameterSearchDialog* search_ = nullptr;
  QAction* find_action_ = nullptr;
  std::vector<QWidget*> page_widgets_;
  std::vector<QAction*> actions_;
  bool reset_requested_ = false;
  // Initialise ran before the window was shown: the communication window waits for that.
  bool communication_waits_for_show_ = false;
  bool sequence_armed_ = false;
  int sequence_position_ = 0;
  const QEvent* last_key_event_ = nullptr;
  int last_key_type_ = 0;
  int last_key_code_ = 0;
  QPointer<QWidget> last_key_target_;
  ctrl::ChangeJournal journal_;
  ctrl::ui::JournalDialog* journal_window_ = nullptr;
  // What the dispatcher's next change report is: an operator's change unless an undo or redo
  // is being sent.
  ctrl::JournalAction sending_ = ctrl::JournalAction::kChange;
  bool step_reported_ = false;
  // The PC side's rate on the connection; none without a connection.
  std::unique_ptr<ctrl::ChannelLineRate> line_rate_;
  // Last, so the editor windows go before everything they use.
  std::unique_ptr<ctrl::ui::LutWindows> luts_;
};
