#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <utility>

#include "app/channel_line_rate.h"
#include "app/registry_settings.h"
#include "camera/bulk_read.h"
#include "camera/command_table.h"
#include "camera/control_ids.h"
#include "camera/identity.h"
#include "camera/link_rate.h"
#include "camera/notifier.h"
#include "camera/user_sets.h"
#include "ctrl_version.h"
#include "files/camera_settings_file.h"
#include "files/settings_diff.h"
#include "transport/com_port_map.h"
#include "transport/comm_channel.h"
#include "ui/area_select_dialog.h"
#include "ui/communication_dialog.h"
#include "ui/compare_dialog.h"
#include "ui/file_dialogs.h"
#include "ui/identity_dialogs.h"
#include "ui/journal_dialog.h"
#include "ui/lut_windows.h"
#include "ui/page_layouts.h"
#include "ui/parameter_search.h"
#include "ui/registered_windows.h"
#include "ui/serial_devices_dialog.h"
#include "ui/status_strip.h"
#include "ui/terminal_dialog.h"
#include "ui/window_placement.h"

namespace {

constexpr int kIdleTimerMs = 25;
// How soon a reconnect attempt that found the window busy looks again.
constexpr int kBusyReconnectRetryMs = 250;
// While the line is away, how often the window looks whether its device has come back.
constexpr int kDevicePollMs = 100;
constexpr char kFactoryCode[] = "QVZ";

namespace menu {
constexpr int kExit = 2;
constexpr int kEditUserId = 30000;
constexpr int kAbout = 30001;
constexpr int kReload = 30002;
constexpr int kStoreSettings = 30003;
constexpr int kLoadSettings = 30004;
constexpr int kEditSerialNumber = 30005;
constexpr int kOpenLutFile = 30006;
constexpr int kSaveLutFile = 30007;
constexpr int kOpenFile = 30008;
constexpr int kLoadAllLut = 30009;
constexpr int kOpenCommunication = 30010;
constexpr int kSaveAllData = 30011;
constexpr int kSaveShippingData = 30012;
constexpr int kCompareWithFile = 30013;
constexpr int kSerialDevices = 30014;
constexpr int kUndo = 30015;
constexpr int kRedo = 30016;
constexpr int kChangeJournal = 30017;
constexpr int kAutoReconnect = 30040;
}  // namespace menu

// Ctrl+Z undoes and Ctrl+Shift+Z redoes anywhere in the window.
std::optional<ctrl::JournalAction> JournalStepOfKey(const QKeyEvent& key) {
  if (key.key() != Qt::Key_Z) return std::nullopt;
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::ControlModifier) return ctrl::JournalAction::kUndo;
  if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) return ctrl::JournalAction::kRedo;
  return std::nullopt;
}

bool IsModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
         key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

}  // namespace

CCtrlToolDlg::CCtrlToolDlg(MainWindowSetup setup, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      dispatcher_(*setup_.engine, *setup_.database, pages_, *setup_.clock, this),
      progress_(*setup_.clock),
      reconnect_(*setup_.clock),
      menu_bar_(new QMenuBar(this)),
      tabs_(new QTabWidget(this)),
      status_strip_(new ctrl::ui::StatusStrip(*setup_.status, this)),
      idle_timer_(new QTimer(this)),
      reconnect_timer_(new QTimer(this)) {
  if (setup_.factory_mode == nullptr) setup_.factory_mode = &factory_mode_fallback_;
  if (setup_.file_dialogs == nullptr) {
    own_file_dialogs_ = std::make_unique<ctrl::ui::QtFileDialogs>();
    setup_.file_dialogs = own_file_dialogs_.get();
  }
  flows_ = std::make_unique<ctrl::ui::FileFlows>(*setup_.file_dialogs, setup_.settings);
  terminal_ = new CTerminalDialog(*setup_.engine, *setup_.status, *flows_, this);
  CommunicationSetup communication;
  communication.engine = setup_.engine;
  communication.status = setup_.status;
  communication.channel = setup_.channel;
  communication.settings = setup_.settings;
  communication.factory_mode = setup_.factory_mode;
  communication.progress = &progress_;
  communication.flows = flows_.get();
  communication.reload_all_parameters = [this] { ReloadAllParameters(); };
  communication.reload_after_model_check = [this] { Reload(/*model_just_checked=*/true); };
  communication.open_settings_file = [this] { OpenSettingsFile(communication_); };
  communication.save_all_data = [this] { SaveSettingsFile(this, /*shipping_data=*/false); };
  communication.com_port_map = setup_.com_port_map;
  communication.show_serial_devices = [this] { ShowSerialDevices(communication_); };
  communication_ = new CCommunicationDialog(std::move(communication), this);
  if (setup_.channel != nullptr) {
    line_rate_ = std::make_unique<ctrl::ChannelLineRate>(
        *setup_.channel, [this](int rate) { communication_->ShowLineRate(rate); });
  }
  ctrl::ui::LutWindowsSetup luts;
  luts.engine = setup_.engine;
  luts.clock = setup_.clock;
  luts.status = setup_.status;
  luts.progress = &progress_;
  luts.file_dialogs = setup_.file_dialogs;
  luts.main_window = this;
  luts.run_all_tables = [this](const std::function<bool()>& transfer) { return RunLong(transfer); };
  luts_ = std::make_unique<ctrl::ui::LutWindows>(luts);
  traffic_.to_messages = [this](const std::string& line) { communication_->AppendMessage(line); };
  traffic_.to_terminal = [this](const std::string& line) { terminal_->AppendTerminalLine(line); };
  traffic_.also = setup_.trace_to;
  setup_.engine->set_trace_sink(&traffic_);
  pages_.set_dispatcher(&dispatcher_);
  dispatcher_.set_change_observer(this);
  ctrl::ui::JournalWindowActions journal_actions;
  journal_actions.undo = [this] { Undo(); };
  journal_actions.redo = [this] { Redo(); };
  journal_actions.export_file = [this] { ExportJournal(journal_window_); };
  journal_window_ = new ctrl::ui::JournalDialog(journal_, setup_.engine->device(),
                                                std::move(journal_actions), this);
  progress_.set_owner(this);
  setWindowIcon(AppIcon());
  setWindowTitle(WindowTitle());
  setSizeGripEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->setSpacing(4);
  layout->setMenuBar(menu_bar_);
  layout->addWidget(tabs_, 1);
  layout->addWidget(status_strip_);
  BuildSearch();
  BuildMenu();

  pages_.Register(kTabControlId, tabs_);
  pages_.Register(ctrl::ui::StatusStrip::kControlId, status_strip_);
  connect(idle_timer_, &QTimer::timeout, this, [this] {
    setup_.engine->OnIdleTimer();
    CheckLine();
  });
  reconnect_timer_->setSingleShot(true);
  connect(reconnect_timer_, &QTimer::timeout, this, &CCtrlToolDlg::ReconnectTick);
  qApp->installEventFilter(this);
}

CCtrlToolDlg::~CCtrlToolDlg() {
  qApp->removeEventFilter(this);
  dispatcher_.set_change_observer(nullptr);
  idle_timer_->stop();
  reconnect_timer_->stop();
  setup_.engine->set_trace_sink(setup_.trace_to);
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
  if (setup_.close_link) setup_.close_link();
}

QString CCtrlToolDlg::WindowTitle() {
  return QString::fromLatin1(ctrl::kToolTitle) + QStringLiteral("  Ver ") +
         QString::fromLatin1(ctrl::kToolVersion);
}

QIcon CCtrlToolDlg::AppIcon() {
  // The desktop's SVG icon, drawn at the sizes title bars and task switchers ask for.
  Q_INIT_RESOURCE(app_icon);
  QSvgRenderer renderer(QStringLiteral(":/icons/" CTRL_APP_ID ".svg"));
  QIcon icon;
  if (!renderer.isValid()) return icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void CCtrlToolDlg::BuildMenu() {
  auto add = [this](QMenu* target, const QString& text, int id, bool available) {
    QAction* action = target->addAction(text);
    action->setData(id);
    action->setEnabled(available);
    connect(action, &QAction::triggered, this, [this, id] { OnMenuCommand(id); });
    actions_.push_back(action);
  };
  QMenu* file = menu_bar_->addMenu(QStringLiteral("File(&F)"));
  add(file, QStringLiteral("&Open"), menu::kOpenFile, true);
  add(file, QStringLiteral("Compare with Settings File\u2026"), menu::kCompareWithFile, true);
  QMenu* save_as = file->addMenu(QStringLiteral("&Save as"));
  add(save_as, QStringLiteral("All Data"), menu::kSaveAllData, true);
  add(save_as, QStringLiteral("Shipping Data"), menu::kSaveShippingData, true);
  file->addSeparator();
  add(file, QStringLiteral("E&xit"), menu::kExit, true);

  // The keys are shown here; FilterKey decides where they go, since an edit has its own undo.
  QMenu* edit = menu_bar_->addMenu(QStringLiteral("Edit(&E)"));
  add(edit, QStringLiteral("&Undo"), menu::kUndo, false);
  add(edit, QStringLiteral("&Redo"), menu::kRedo, false);
  edit->addSeparator();
  add(edit, QStringLiteral("Change &Journal\u2026"), menu::kChangeJournal, true);
  edit->addSeparator();
  edit->addAction(find_action_);
  for (auto [id, keys] : {std::pair{menu::kUndo, QKeySequence(Qt::CTRL | Qt::Key_Z)},
                          std::pair{menu::kRedo, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}}) {
    menu_action(id)->setShortcut(keys);
    menu_action(id)->setShortcutContext(Qt::WidgetShortcut);
  }

  QMenu* settings = menu_bar_->addMenu(QStringLiteral("Settings(&S)"));
  add(settings, QStringLiteral("&Reload"), menu::kReload, true);
  add(settings, QStringLiteral("&Load settings"), menu::kLoadSettings, true);
  add(settings, QStringLiteral("&Store settings"), menu::kStoreSettings, true);
  settings->addSeparator();
  add(settings, QStringLiteral("Reopen the Port &Automatically"), menu::kAutoReconnect, true);
  menu_action(menu::kAutoReconnect)->setCheckable(true);
  menu_action(menu::kAutoReconnect)->setChecked(AutoReconnect());

  QMenu* identity = menu_bar_->addMenu(QStringLiteral(" "));
  add(identity, QStringLiteral("Edit Device User ID"), menu::kEditUserId, true);
  add(identity, QStringLiteral("Edit Device Serial Number"), menu::kEditSerialNumber, true);

  QMenu* lut = menu_bar_->addMenu(QStringLiteral(" LUT(&L)"));
  add(lut, QStringLiteral("&Open LUT file"), menu::kOpenLutFile, true);
  add(lut, QStringLiteral("&Save LUT file"), menu::kSaveLutFile, true);
  add(lut, QStringLiteral("&Load all LUT table"), menu::kLoadAllLut, true);

  QMenu* help = menu_bar_->addMenu(QStringLiteral("Help(&H)"));
  add(help, QStringLiteral("&About this application"), menu::kAbout, true);
  add(help, QStringLiteral("&Open Communication Dialog"), menu::kOpenCommunication, true);
  add(help, QStringLiteral("Serial &Devices\u2026"), menu::kSerialDevices, true);
}

void CCtrlToolDlg::BuildSearch() {
  const auto shown_pages = [this] {
    std::vector<std::string> titles;
    for (int i = 0; i < tabs_->count(); ++i) titles.push_back(tabs_->tabText(i).toStdString());
    return titles;
  };
  search_ = new ctrl::ui::ParameterSearchDialog(
      ctrl::Commands(), shown_pages, [this](const ctrl::ui::SearchHit& hit) { GoTo(hit); }, this);
  find_action_ = new QAction(QStringLiteral("&Find Parameter\u2026"), this);
  find_action_->setShortcut(QKeySequence::Find);
  find_action_->setShortcutContext(Qt::WindowShortcut);
  connect(find_action_, &QAction::triggered, this, [this] { search_->Start(); });
  addAction(find_action_);
}

void CCtrlToolDlg::GoTo(const ctrl::ui::SearchHit& hit) {
  for (int i = 0; i < tabs_->count(); ++i) {
    if (tabs_->tabText(i).toStdString() == hit.page) tabs_->setCurrentIndex(i);
  }
  activateWindow();
  if (QWidget* control = pages_.FindControl(hit.control_id)) {
    control->setFocus(Qt::ShortcutFocusReason);
  }
}

QAction* CCtrlToolDlg::menu_action(int command_id) const {
  for (QAction* action : actions_) {
    if (action->data().toInt() == command_id) return action;
  }
  return nullptr;
}

void CCtrlToolDlg::OnMenuCommand(int command_id) {
  switch (command_id) {
    case menu::kExit:
      reject();
      break;
    case menu::kReload:
      RunLong([this] {
        int32_t ignored = 0;
        setup_.engine->ReadCommand(ctrl::cmd::kUserSetArea, ignored, ctrl::kDefaultTimeoutMs);
        ReloadAllParameters();
        return true;
      });
      break;
    case menu::kOpenFile:
      OpenSettingsFile(this);
      break;
    case menu::kCompareWithFile:
      CompareWithSettingsFile(this);
      break;
    case menu::kSerialDevices:
      ShowSerialDevices(this);
      break;
    case menu::kSaveAllData:
      SaveSettingsFile(this, /*shipping_data=*/false);
      break;
    case menu::kSaveShippingData:
      SaveSettingsFile(this, /*shipping_data=*/true);
      break;
    case menu::kLoadSettings:
      LoadSettingsFromCamera();
      break;
    case menu::kStoreSettings:
      StoreSettingsInCamera();
      break;
    case menu::kEditUserId:
      EditUserId();
      break;
    case menu::kEditSerialNumber:
      EditSerialNumber();
      break;
    case menu::kAbout:
      ShowAbout();
      break;
    case menu::kOpenLutFile:
      luts_->OpenLutFile(this);
      break;
    case menu::kSaveLutFile:
      luts_->SaveLutFile(this);
      break;
    case menu::kLoadAllLut:
      luts_->LoadAllLutTables();
      break;
    case menu::kOpenCommunication:
      communication_->showNormal();
      communication_->raise();
      break;
    case menu::kUndo:
      Undo();
      break;
    case menu::kRedo:
      Redo();
      break;
    case menu::kChangeJournal:
      ShowJournal();
      break;
    case menu::kAutoReconnect:
      SetAutoReconnect(menu_action(menu::kAutoReconnect)->isChecked());
      break;
    default:
      break;
  }
}

void CCtrlToolDlg::Initialise() {
  ctrl::ui::RegisteredWindows::Instance().Add(this);
  idle_timer_->start(kIdleTimerMs);
  communication_->Initialise();
  luts_->CreateWindows();

  page_widgets_ = pages_.BuildPages();
  for (QWidget* page : page_widgets_) {
    page->setParent(tabs_);
    page->hide();
  }

  dispatcher_.InitialiseSpinRanges();
  setup_.database->RefreshAllControls(dispatcher_);
  pages_.RefreshToolTips(setup_.engine->device());
  BuildTabs();
  resize(sizeHint());
  // Beside the main window once that has its place on the screen.
  if (isVisible()) {
    ShowCommunicationBeside();
  } else {
    communication_waits_for_show_ = true;
  }
  setup_.database->CommitAll();
  communication_->RefreshStoreEnabling();

  if (OpenLinkAndIdentify()) Reload(/*model_just_checked=*/true);
  setup_.database->CommitAll();
  setup_.database->RefreshAllControls(dispatcher_);
}

bool CCtrlToolDlg::OpenLinkAndIdentify() {
  if (!setup_.open_link || !setup_.open_link()) {
    ctrl::ShowExclamation("Failed to initialize!");
    return false;
  }
  // A camera an earlier run left at another rate is found there.
  if (line_rate_) {
    const ctrl::RateDetection detection = ctrl::DetectCameraRate(*setup_.engine, *line_rate_);
    if (!detection.message.empty()) communication_->AppendMessage(detection.message);
    if (!detection.answered) return false;
  } else if (!setup_.engine->CheckModel()) {
    return false;
  }
  int32_t ignored = 0;
  setup_.engine->ReadCommand(ctrl::cmd::kUserSetArea, ignored, ctrl::kDefaultTimeoutMs);
  return true;
}

void CCtrlToolDlg::ReloadAllParameters() {
  Reload(/*model_just_checked=*/false);
}

void CCtrlToolDlg::Reload(bool model_just_checked) {
  // Every exchange would fail at once: one line instead of a page of failed rows.
  CheckLine();
  if (line_lost_) {
    communication_->AppendMessage("Not read: the camera's line is gone.");
    return;
  }
  const ctrl::ui::AllWindowsDisabled disabled;
  setup_.engine->UpdateDeviceVersion();
  setup_.engine->CheckModel(/*report_unsupported=*/!model_just_checked);
  dispatcher_.ApplyModelProfile();
  ReadAllParameters();
  setup_.database->RefreshAllControls(dispatcher_);
  setup_.database->CommitAll();
  dispatcher_.UpdateDependentRanges();
  dispatcher_.ShowLineTiming();
  dispatcher_.ShowExposureTime();
  // The model decides registers, items and ranges.
  pages_.RefreshToolTips(setup_.engine->device());
}

void CCtrlToolDlg::ReadAllParameters() {
  ctrl::ReadAllParameters(
      *setup_.engine, *setup_.database, *setup_.factory_mode,
      [this] { return dispatcher_.CcmSelectorIndex(); }, progress_);
  if (!isActiveWindow()) activateWindow();
}

void CCtrlToolDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!communication_waits_for_show_) return;
  communication_waits_for_show_ = false;
  // Later, so the window system has placed and framed this window first.
  QMetaObject::invokeMethod(this, &CCtrlToolDlg::ShowCommunicationBeside, Qt::QueuedConnection);
}

void CCtrlToolDlg::ShowCommunicationBeside() {
  if (!communication_->testAttribute(Qt::WA_Resized)) communication_->adjustSize();
  const QScreen* on = screen();
  const QRect available = on != nullptr ? on->availableGeometry() : QRect();
  // Before it is shown the companion has no frame yet; it gets about the one this window has.
  QSize companion = communication_->frameGeometry().size();
  if (!communication_->isVisible()) {
    companion += frameGeometry().size() - geometry().size();
  }
  if (available.isEmpty()) {
    communication_->move(frameGeometry().topRight() + QPoint(8, 0));
  } else {
    // This window moves too when the two fit on the screen only side by side.
    const ctrl::ui::WindowPair places =
        ctrl::ui::PlaceTogether(frameGeometry(), companion, available);
    if (places.main_window != frameGeometry().topLeft()) move(places.main_window);
    communication_->move(places.companion);
  }
  communication_->show();
}

void CCtrlToolDlg::ProcessPendingMessages() {
  QApplication::processEvents();
}

QWidget* CCtrlToolDlg::FindControl(int control_id) const {
  return pages_.FindControl(control_id);
}

void CCtrlToolDlg::BuildTabs() {
  tabs_->clear();
  const auto& layouts = ctrl::ui::PageLayouts();
  for (size_t i = 0; i < page_widgets_.size(); ++i) {
    if (*setup_.factory_mode == 0 && layouts[i].factory_only) continue;
    const int tab = tabs_->addTab(
        page_widgets_[i], QString::fromUtf8(layouts[i].title.data(), layouts[i].title.size()));
    tabs_->tabBar()->setTabData(tab, static_cast<int>(i));
  }
  tabs_->setCurrentIndex(0);
}

void CCtrlToolDlg::ToggleFactoryMode() {
  *setup_.factory_mode = *setup_.factory_mode == 0 ? 1 : 0;
  BuildTabs();
  setup_.database->WritePendingChanges(*setup_.engine);
  setup_.database->CommitAll();
  communication_->RefreshStoreEnabling();
  int32_t ignored = 0;
  if (setup_.engine->ReadCommand(ctrl::cmd::kUserSetArea, ignored, ctrl::kDefaultTimeoutMs)) {
    ReloadAllParameters();
  }
}

int CCtrlToolDlg::RunModal(QDialog& dialog) {
  return setup_.run_modal ? setup_.run_modal(dialog) : dialog.exec();
}

void CCtrlToolDlg::OpenLutEditor() {
  luts_->ShowEditors();
}

bool CCtrlToolDlg::FollowBaudRate(int32_t code) {
  const int new_rate = ctrl::RateOfBaudRateCode(code);
  if (!line_rate_ || new_rate == 0) return true;
  std::string message;
  const bool followed = ctrl::FollowCameraRate(*setup_.engine, *line_rate_, line_rate_->LineRate(),
                                               new_rate, message);
  if (!message.empty()) communication_->AppendMessage(message);
  return followed;
}

bool CCtrlToolDlg::RunLong(const std::function<bool()>& operation) {
  const bool fast = line_rate_ && communication_->fast_transfers();
  const bool done = ctrl::RunLongOperation(
      *setup_.engine, line_rate_.get(), fast, operation,
      [this](const std::string& message) { communication_->AppendMessage(message); });
  if (fast) ShowCameraBaudRate();
  return done;
}

void CCtrlToolDlg::ShowCameraBaudRate() {
  // A reload or file load inside the raised line read the raised rate; the camera is back.
  if (!dispatcher_.RefreshControl(ctrl::control::kBaudRate)) return;
  for (ctrl::ParameterRow& row : setup_.database->mutable_rows()) {
    if (row.control_id == ctrl::control::kBaudRate) row.synchronised_value = row.current_value;
  }
}

void CCtrlToolDlg::ShowTerminal() {
  terminal_->ShowTerminal();
}

void CCtrlToolDlg::ShowDerivedValues() {
  dispatcher_.UpdateDependentRanges();
  dispatcher_.ShowLineTiming();
  dispatcher_.ShowExposureTime();
  dispatcher_.ShowPixelSize();
}

void CCtrlToolDlg::OpenSettingsFile(QWidget* owner) {
  flows_->OpenCameraFile(owner, [this, owner](const std::string& path) {
    ctrl::SettingsFileContext context{
        *setup_.engine,       *setup_.database,
        *setup_.factory_mode, [this] { return dispatcher_.CcmSelectorIndex(); },
        &progress_,           &dispatcher_};
    progress_.set_owner(owner);
    const bool loaded = RunLong([&] { return ctrl::ReadCameraSettingFile(path, context); });
    progress_.set_owner(this);
    if (loaded) ShowDerivedValues();
    return loaded;
  });
}

void CCtrlToolDlg::SaveSettingsFile(QWidget* owner, bool shipping_data) {
  flows_->SaveCameraFile(owner, [this, shipping_data](const std::string& path) {
    ctrl::SettingsFileContext context{*setup_.engine, *setup_.database, *setup_.factory_mode,
                                      [this] { return dispatcher_.CcmSelectorIndex(); }};
    return shipping_data ? ctrl::WriteShippingDataFile(path, context)
                         : ctrl::WriteAllDataFile(path, context);
  });
}

void CCtrlToolDlg::CompareWithSettingsFile(QWidget* owner) {
  std::string chosen;
  flows_->OpenCameraFile(owner, [&chosen](const std::string& path) {
    chosen = path;
    return true;
  });
  if (chosen.empty()) return;
  if (std::unique_ptr<CCompareDialog> dialog = CompareDialogFor(chosen, owner)) RunModal(*dialog);
}

std::unique_ptr<CCompareDialog> CCtrlToolDlg::CompareDialogFor(const std::string& path,
                                                               QWidget* owner) {
  const auto ccm = [this] { return dispatcher_.CcmSelectorIndex(); };
  // The camera first: its CCM selection decides which matrix rows the file can hold.
  std::optional<ctrl::SettingsValues> camera;
  ctrl::CameraReadTrouble trouble;
  {
    const ctrl::ui::AllWindowsDisabled disabled;
    progress_.set_owner(owner);
    camera = ctrl::ReadCameraSettingsValues(*setup_.engine, *setup_.database, *setup_.factory_mode,
                                            ccm, progress_, &trouble);
    progress_.set_owner(this);
    setup_.database->RefreshAllControls(dispatcher_);
    setup_.database->CommitAll();
  }
  ShowDerivedValues();
  if (!camera) {
    ctrl::ShowExclamation(
        (trouble.line_lost ? std::string("The camera's line went away. ") : std::string()) +
            trouble.message + "\nThe camera was not compared with the file.",
        "Compare with Settings File");
    return nullptr;
  }
  ctrl::SettingsFileContext context{*setup_.engine, *setup_.database, *setup_.factory_mode, ccm};
  std::optional<ctrl::SettingsValues> file = ctrl::ReadFileSettingsValues(path, context);
  if (!file) return nullptr;

  CompareSetup compare;
  compare.device = &setup_.engine->device();
  compare.apply = [this](int command_id, int32_t value) {
    return dispatcher_.ApplyCommandValue(command_id, value);
  };
  compare.is_available = [this](int command_id) {
    return dispatcher_.IsCommandAvailable(command_id);
  };
  compare.line_lost = [this] { return setup_.engine->line_lost(); };
  compare.camera_values = [this] {
    return ctrl::DatabaseSettingsValues(*setup_.database, setup_.engine->device().kind,
                                        *setup_.factory_mode, dispatcher_.CcmSelectorIndex());
  };
  compare.save_camera_values = [this](QWidget* dialog) {
    SaveSettingsFile(dialog, /*shipping_data=*/false);
  };
  return std::make_unique<CCompareDialog>(std::move(compare),
                                          QFileInfo(QString::fromStdString(path)).fileName(),
                                          std::move(*camera), std::move(*file), owner);
}

void CCtrlToolDlg::ShowSerialDevices(QWidget* owner) {
  std::unique_ptr<CSerialDevicesDialog> dialog = SerialDevicesDialog(owner);
  RunModal(*dialog);
}

std::unique_ptr<CSerialDevicesDialog> CCtrlToolDlg::SerialDevicesDialog(QWidget* owner) {
  SerialDevicesSetup devices;
  devices.settings = setup_.settings;
  devices.port_map = setup_.com_port_map;
  devices.list_devices = setup_.list_serial_devices;
  devices.mappings_changed = [this] { communication_->FillPortList(); };
  return std::make_unique<CSerialDevicesDialog>(std::move(devices), owner);
}

void CCtrlToolDlg::LoadSettingsFromCamera() {
  CParameterAreaSelectDialog dialog(this, CParameterAreaSelectDialog::kLoad, *setup_.factory_mode,
                                    *setup_.status);
  if (RunModal(dialog) != QDialog::Accepted) return;
  if (!ctrl::LoadUserSet(*setup_.engine, dialog.chosen_area())) return;
  // The camera now works with the loaded area: every control is read again.
  ReloadAllParameters();
}

void CCtrlToolDlg::StoreSettingsInCamera() {
  CParameterAreaSelectDialog dialog(this, CParameterAreaSelectDialog::kStore, *setup_.factory_mode,
                                    *setup_.status);
  if (RunModal(dialog) != QDialog::Accepted) return;
  if (ctrl::StoreUserSet(*setup_.engine, dialog.chosen_area())) {
    ctrl::CurrentNotifier().ShowMessage("Completed saving current setting data !", "",
                                        ctrl::MessageIcon::Information);
  }
}

void CCtrlToolDlg::ShowAbout() {
  CAboutDialog dialog(*setup_.engine, *setup_.status, this);
  dialog.ReadIdentity();
  RunModal(dialog);
}

void CCtrlToolDlg::EditUserId() {
  CUserIdDialog dialog(*setup_.engine, *setup_.status, this);
  dialog.ReadUserId();
  RunModal(dialog);
}

void CCtrlToolDlg::EditSerialNumber() {
  CCameraIdDialog dialog(*setup_.engine, *setup_.status, *setup_.factory_mode, this);
  dialog.ReadSerialNumber();
  RunModal(dialog);
}

void CCtrlToolDlg::reject() {
  if (!reset_requested_ && !ctrl::CurrentNotifier().AskYesNo(
                               "Are you sure to terminate the Camera Control Tool ?", "Confirm")) {
    return;
  }
  QDialog::reject();
}

void CCtrlToolDlg::CloseAfterReset() {
  reset_requested_ = true;
  // Later, so the button's handler has returned before the window goes.
  QMetaObject::invokeMethod(this, &CCtrlToolDlg::reject, Qt::QueuedConnection);
}

bool CCtrlToolDlg::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) return false;
  // An ignored key travels on to the parents as the same event; filter it only once.
  // Events live on the stack, so the next key (Ctrl, then Z) may come at the same address; a
  // travelling event still has its key.
  const int code = static_cast<QKeyEvent*>(event)->key();
  const bool travelling = event == last_key_event_ && type == last_key_type_ &&
                          code == last_key_code_ && last_key_target_ != nullptr &&
                          widget->isAncestorOf(last_key_target_);
  last_key_event_ = event;
  last_key_type_ = type;
  last_key_code_ = code;
  last_key_target_ = widget;
  if (travelling) return false;
  if (type != QEvent::KeyPress) return false;
  return FilterKey(widget, static_cast<QKeyEvent*>(event));
}

void CCtrlToolDlg::TrackFactorySequence(const QKeyEvent* key) {
  if (key->key() == Qt::Key_F12 && key->modifiers().testFlag(Qt::ShiftModifier) &&
      key->modifiers().testFlag(Qt::ControlModifier)) {
    sequence_armed_ = true;
    sequence_position_ = 0;
    return;
  }
  if (!sequence_armed_ || key->isAutoRepeat() || IsModifierKey(key->key())) return;
  if (key->key() != Qt::Key_A + (kFactoryCode[sequence_position_] - 'A')) {
    sequence_armed_ = false;
    return;
  }
  if (++sequence_position_ == 3) {
    sequence_armed_ = false;
    ToggleFactoryMode();
  }
}

bool CCtrlToolDlg::FilterKey(QWidget* target, QKeyEvent* key) {
  TrackFactorySequence(key);
  if (const std::optional<ctrl::JournalAction> step = JournalStepOfKey(*key)) {
    // In an edit with the operator's own typing the keys undo the typing; in an edit that shows
    // the camera's value, as everywhere else, they undo the last change sent to the camera.
    if (auto* edit = qobject_cast<QLineEdit*>(target); edit != nullptr) {
      const int id = pages_.IdOf(edit);
      if (id == 0 || FindControl(id) != edit || dispatcher_.OperatorChangedText(id)) return false;
    }
    SendJournalStep(*step);
    return true;
  }
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  const bool escape = key->key() == Qt::Key_Escape;
  if (!enter && !escape) return false;
  // A combo box with its list open has the focus in the list, another window; here it is closed.
  if (qobject_cast<QLineEdit*>(target) != nullptr) {
    if (enter) dispatcher_.CommitEdit(pages_.IdOf(target));
    return true;
  }
  return qobject_cast<QAbstractButton*>(target) != nullptr ||
         qobject_cast<QComboBox*>(target) != nullptr;
}

// ---- Change journal ----

void CCtrlToolDlg::OnParameterChange(const ctrl::ui::ParameterChange& change) {
  ctrl::JournalEntry entry;
  entry.time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
  entry.clock_us = setup_.clock->NowUs();
  entry.action = sending_;
  entry.command_id = change.command_id;
  entry.before = change.before;
  entry.requested = change.requested;
  entry.after = change.after;
  entry.confirmed = change.confirmed;
  journal_.Record(std::move(entry));
  step_reported_ = true;
  RefreshJournalViews();
}

void CCtrlToolDlg::Undo() {
  SendJournalStep(ctrl::JournalAction::kUndo);
}

void CCtrlToolDlg::Redo() {
  SendJournalStep(ctrl::JournalAction::kRedo);
}

void CCtrlToolDlg::SendJournalStep(ctrl::JournalAction action) {
  const bool undo = action == ctrl::JournalAction::kUndo;
  const std::optional<ctrl::JournalTarget> target =
      undo ? journal_.UndoTarget() : journal_.RedoTarget();
  if (!target) return;
  const int control_id = setup_.database->ToCtrlId(target->command_id);
  if (control_id < 0) return;
  const int32_t held = setup_.database->GetSynchronisedValue(control_id);
  sending_ = action;
  step_reported_ = false;
  const bool confirmed = dispatcher_.ApplyCommandValue(target->command_id, target->value);
  sending_ = ctrl::JournalAction::kChange;
  if (!step_reported_) {
    // The camera already held the value (a load or reload brought it back): nothing was
    // written, but the step is taken all the same.
    OnParameterChange({control_id, target->command_id, held, target->value,
                       confirmed ? target->value : held, confirmed});
  }
  const ctrl::DeviceModel& device = setup_.engine->device();
  const std::string label = ctrl::ui::JournalParameterLabel(target->command_id);
  const std::string line =
      confirmed
          ? std::string(undo ? "Undo: " : "Redo: ") + label + " set to " +
                ctrl::ui::JournalValueText(target->command_id, target->value, device)
          : std::string(undo ? "Undo refused: " : "Redo refused: ") + label + " stays " +
                ctrl::ui::JournalValueText(
                    target->command_id, setup_.database->GetSynchronisedValue(control_id), device);
  communication_->AppendMessage(line);
}

void CCtrlToolDlg::ShowJournal() {
  journal_window_->Refresh();
  if (!journal_window_->isVisible()) {
    journal_window_->move(frameGeometry().center() - journal_window_->rect().center());
  }
  journal_window_->showNormal();
  journal_window_->raise();
  journal_window_->activateWindow();
}

void CCtrlToolDlg::ExportJournal(QWidget* owner) {
  flows_->SaveCameraFile(owner, [this](const std::string& path) {
    return ctrl::WritePartialSettingsFile(path, journal_.entries(), setup_.engine->table(),
                                          *setup_.database);
  });
}

void CCtrlToolDlg::RefreshJournalViews() {
  menu_action(menu::kUndo)->setEnabled(journal_.UndoTarget().has_value());
  menu_action(menu::kRedo)->setEnabled(journal_.RedoTarget().has_value());
  journal_window_->Refresh();
}

// ---- Reconnecting ----

namespace {

// Keeps the reports of a reconnect attempt (a port that cannot be opened yet) out of message
// boxes: the attempts repeat every few seconds while the camera is away.
class KeptReports final : public ctrl::Notifier {
 public:
  KeptReports() : previous_(ctrl::CurrentNotifier()) { ctrl::InstallNotifier(this); }
  ~KeptReports() override { ctrl::InstallNotifier(&previous_); }
  KeptReports(const KeptReports&) = delete;
  KeptReports& operator=(const KeptReports&) = delete;

  void ShowMessage(const std::string& text, const std::string&, ctrl::MessageIcon) override {
    if (text_.empty()) text_ = text;
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  // The first report, on one line.
  std::string Text() const {
    std::string flat = text_;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    return flat;
  }

 private:
  ctrl::Notifier& previous_;
  std::string text_;
};

}  // namespace

bool CCtrlToolDlg::AutoReconnect() const {
  return setup_.settings == nullptr || setup_.settings->AutoReconnect();
}

void CCtrlToolDlg::SetAutoReconnect(bool on) {
  if (setup_.settings != nullptr) setup_.settings->WriteAutoReconnect(on);
  menu_action(menu::kAutoReconnect)->setChecked(on);
  if (!on) {
    reconnect_.Stop();
    reconnect_timer_->stop();
  } else if (line_lost_) {
    reconnect_.Start();
    ArmReconnectTimer();
  }
}

std::string CCtrlToolDlg::PortText() const {
  if (setup_.channel == nullptr) return "the port";
  return setup_.channel->PortName(setup_.channel->CurrentPortIndex());
}

void CCtrlToolDlg::CheckLine() {
  if (line_lost_ || !setup_.engine->line_lost()) return;
  line_lost_ = true;
  reopen_failure_.clear();
  shown_before_loss_ = ctrl::ShownValues(*setup_.database);
  device_present_ = DevicePresent();
  status_strip_->SetLineLost(true);
  if (!AutoReconnect()) {
    communication_->AppendMessage("The camera's line went away. Choose " + PortText() +
                                  " again in the communication window when the camera is back "
                                  "(Settings > Reopen the Port Automatically does it by itself).");
    return;
  }
  communication_->AppendMessage("The camera's line went away. " + PortText() +
                                " is opened again as soon as the camera is back.");
  reconnect_.Start();
  ArmReconnectTimer();
}

void CCtrlToolDlg::ArmReconnectTimer() {
  const int64_t wait_us = reconnect_.UsUntilDue();
  if (wait_us < 0) return;
  int wait_ms = static_cast<int>((wait_us + 999) / 1000);
  // A device that can come back (a USB adapter, a restarted simulator's link) is looked for
  // between the attempts, so its return is met at once rather than at the next pause's end.
  if (!DevicePath().isEmpty()) wait_ms = std::min(wait_ms, kDevicePollMs);
  reconnect_timer_->start(wait_ms);
}

QString CCtrlToolDlg::DevicePath() const {
  if (setup_.channel == nullptr || setup_.com_port_map == nullptr ||
      setup_.channel->port_category() != ctrl::PortCategory::kComPort) {
    return {};
  }
  return QString::fromStdString(setup_.com_port_map->DevicePath(
      setup_.channel->PortName(setup_.channel->CurrentPortIndex())));
}

bool CCtrlToolDlg::DevicePresent() const {
  const QString path = DevicePath();
  return !path.isEmpty() && QFileInfo::exists(path);
}

bool CCtrlToolDlg::ReopenAndIdentify() {
  const KeptReports reports;
  const bool opened = setup_.channel != nullptr ? setup_.channel->ReopenCurrent()
                                                : setup_.open_link && setup_.open_link();
  const bool answered = opened && setup_.engine->CheckModel(/*report_unsupported=*/false);
  if (!answered && reopen_failure_.empty()) {
    reopen_failure_ = opened ? "the camera does not answer yet" : reports.Text();
    if (reopen_failure_.empty()) reopen_failure_ = PortText() + " cannot be opened yet";
    communication_->AppendMessage("Not back yet (" + reopen_failure_ + "); trying again.");
  }
  return answered;
}

void CCtrlToolDlg::ReconnectTick() {
  if (!line_lost_ || !AutoReconnect()) {
    reconnect_.Stop();
    return;
  }
  // Not from inside another operation or a dialog's own event loop: the reload that follows
  // would run in the middle of it.
  const bool busy = !isEnabled() || QApplication::activeModalWidget() != nullptr;
  if (busy) {
    reconnect_timer_->start(kBusyReconnectRetryMs);
    return;
  }
  const bool present = DevicePresent();
  if (present && !device_present_) reconnect_.AttemptNow();
  device_present_ = present;
  if (!reconnect_.Due()) {
    ArmReconnectTimer();
    return;
  }
  if (!ReopenAndIdentify()) {
    reconnect_.Failed();
    ArmReconnectTimer();
    return;
  }
  line_lost_ = false;
  reconnect_.Stop();
  status_strip_->SetLineLost(false);
  communication_->AppendMessage("The camera is back on " + PortText() +
                                "; every parameter is read again (a restarted camera has lost the "
                                "changes it did not store).");
  int32_t ignored = 0;
  setup_.engine->ReadCommand(ctrl::cmd::kUserSetArea, ignored, ctrl::kDefaultTimeoutMs);
  Reload(/*model_just_checked=*/true);
  CheckLine();
  if (line_lost_) return;  // gone again during the reload: the next round reports
  const std::vector<std::string> changes = ctrl::ChangedParameters(
      shown_before_loss_, ctrl::ShownValues(*setup_.database), setup_.engine->device());
  // The list shows the newest line first: the details go in before their heading.
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    communication_->AppendMessage("  " + *change);
  }
  if (changes.empty()) {
    communication_->AppendMessage(
        "Every parameter has the value it had before the line went away.");
  } else {
    communication_->AppendMessage(
        std::to_string(changes.size()) +
        (changes.size() == 1 ? " parameter differs" : " parameters differ") +
        " from before the line went away:");
  }
}
