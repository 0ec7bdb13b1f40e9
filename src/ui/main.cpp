// ctrltool: the operator's window. Talks to the camera through the persisted connection, or,
// with --simulate, to a simulated camera served on a pseudo-terminal behind COM1.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/application_state.h"
#include "app/qt_settings_backend.h"
#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "ctrl_version.h"
#include "files/atomic_file.h"
#include "files/camera_settings_file.h"
#include "sim/pty/pty_camera_server.h"
#include "ui/area_select_dialog.h"
#include "ui/communication_dialog.h"
#include "ui/compare_dialog.h"
#include "ui/identity_dialogs.h"
#include "ui/journal_dialog.h"
#include "ui/lut_dialog.h"
#include "ui/lut_windows.h"
#include "ui/main_window.h"
#include "ui/parameter_search.h"
#include "ui/qt_notifier.h"
#include "ui/serial_devices_dialog.h"
#include "ui/terminal_dialog.h"
#include "ui/window_command_line.h"

namespace {

bool SaveWindow(QWidget& window, const QString& name) {
  window.show();
  QApplication::processEvents();
  const bool saved = window.grab().save(name);
  std::printf("%s\n", name.toUtf8().constData());
  return saved;
}

// A settings file of the camera's values with three of them changed, for the compare window.
bool WriteChangedSettingsFile(CCtrlToolDlg& window, ctrl::Command& engine, const QString& path) {
  ctrl::SettingsFileContext context{engine, ctrl::Database(), window.factory_mode(),
                                    [&window] { return window.dispatcher().CcmSelectorIndex(); }};
  if (!ctrl::WriteAllDataFile(path.toStdString(), context)) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QList<QByteArray> lines = file.readAll().split('\n');
  file.close();
  // Exposure Time halved, Line Trigger Activation turned over, Digital Gain raised.
  const std::vector<std::pair<int, std::function<int(int)>>> changes = {
      {30, [](int value) { return value / 2; }},
      {50, [](int value) { return value == 0 ? 1 : 0; }},
      {57, [](int value) { return value + 44; }},
  };
  for (const auto& [command_id, change] : changes) {
    const QByteArray address =
        QByteArray::fromStdString(engine.table().GetCommandAddress(command_id));
    for (QByteArray& line : lines) {
      if (!line.startsWith(address + "=")) continue;
      const int value = line.mid(address.size() + 1).trimmed().toInt();
      line = address + "=" + QByteArray::number(change(value)) + (line.endsWith('\r') ? "\r" : "");
    }
  }
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(lines.join('\n')) >= 0;
}

// The journal after two changes and an undo. Only a simulated camera is changed for a picture.
bool SaveJournalScreenshot(CCtrlToolDlg& window, ctrl::Command& engine, bool simulated,
                           const QString& folder) {
  if (simulated) {
    int32_t exposure = 0;
    if (engine.ReadCommand(ctrl::cmd::kExposureTime, exposure, ctrl::kDefaultTimeoutMs)) {
      window.dispatcher().ApplyCommandValue(ctrl::cmd::kExposureTime, exposure * 3 / 4);
    }
    const int gamma_enable = ctrl::CommandTable::FindCommandByLabel("Gamma Enable");
    int32_t gamma_enabled = 0;
    if (engine.ReadCommand(gamma_enable, gamma_enabled, ctrl::kDefaultTimeoutMs)) {
      window.dispatcher().ApplyCommandValue(gamma_enable, gamma_enabled == 0 ? 1 : 0);
    }
    window.Undo();
  }
  window.ShowJournal();
  return SaveWindow(*window.journal_window(), folder + "/journal.png");
}

// Saves the main window with each tab selected, then the secondary windows.
bool SaveScreenshots(CCtrlToolDlg& window, ctrl::Command& engine,
                     ctrl::OnlineStatusPublisher& status, bool simulated, const QString& folder) {
  QDir().mkpath(folder);
  window.show();
  QApplication::processEvents();
  QTabWidget* tabs = window.tabs();
  bool ok = true;
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QApplication::processEvents();
    QString name =
        QString("%1/%2-%3.png").arg(folder).arg(i).arg(tabs->tabText(i).replace(' ', '_'));
    ok = window.grab().save(name) && ok;
    std::printf("%s\n", name.toUtf8().constData());
  }
  ok = SaveWindow(*window.communication(), folder + "/communication.png") && ok;

  ctrl::ui::ParameterSearchDialog& search = *window.search();
  search.Start();
  search.field()->setText(QStringLiteral("expo"));
  ok = SaveWindow(search, folder + "/search.png") && ok;
  search.hide();

  CTerminalDialog& terminal = *window.terminal();
  static_cast<QLineEdit*>(terminal.Control(CTerminalDialog::kCommandEdit))
      ->setText("rd 0x00000044");
  terminal.Send();
  // The reply up to its prompt; a camera that never stops talking does not hold the run.
  std::string reply;
  for (int lines = 0; lines < 64 && engine.WaitLine(200, reply) && reply != "OK>"; ++lines) {
  }
  ok = SaveWindow(terminal, folder + "/terminal.png") && ok;
  terminal.hide();

  CAboutDialog about(engine, status, &window);
  about.ReadIdentity();
  ok = SaveWindow(about, folder + "/about.png") && ok;
  CParameterAreaSelectDialog area(&window, CParameterAreaSelectDialog::kLoad, window.factory_mode(),
                                  status);
  ok = SaveWindow(area, folder + "/area_select.png") && ok;
  CCameraIdDialog serial(engine, status, window.factory_mode(), &window);
  serial.ReadSerialNumber();
  ok = SaveWindow(serial, folder + "/serial_number.png") && ok;
  CUserIdDialog user_id(engine, status, &window);
  user_id.ReadUserId();
  ok = SaveWindow(user_id, folder + "/user_id.png") && ok;

  QTemporaryDir scratch;
  const QString compared = scratch.filePath("Line_A.cam");
  if (scratch.isValid() && WriteChangedSettingsFile(window, engine, compared)) {
    if (std::unique_ptr<CCompareDialog> compare =
            window.CompareDialogFor(compared.toStdString(), &window)) {
      ok = SaveWindow(*compare, folder + "/compare.png") && ok;
    }
  }
  std::unique_ptr<CSerialDevicesDialog> devices = window.SerialDevicesDialog(&window);
  ok = SaveWindow(*devices, folder + "/serial_devices.png") && ok;

  // The LUT editors of the camera kind, each with a curve through a few edit points.
  ctrl::ui::LutWindows& luts = window.luts();
  luts.ShowEditors();
  for (int table = 0; table < ctrl::kLutTableCount; ++table) {
    CLUTDlg* editor = luts.editor_window(table);
    if (!editor->isVisible()) continue;
    editor->editor().AddOrMovePoint(60, 150 - 30 * table);
    editor->editor().AddOrMovePoint(150, 110 - 20 * table);
    editor->editor().AddOrMovePoint(210, 40);
    editor->ShowModeAndRedraw();
    ok = SaveWindow(*editor, QString("%1/lut_editor_%2.png").arg(folder).arg(table)) && ok;
  }
  ok = SaveJournalScreenshot(window, engine, simulated, folder) && ok;
  return ok;
}

// The simulated camera hangs up, then comes back restarted with its Exposure Time changed: the
// window offline, then its message list after the reconnect.
bool SaveReconnectScreenshots(CCtrlToolDlg& window, ctrl::Command& engine,
                              ctrl::sim::PtyCameraServer& simulator, ctrl::ApplicationState& state,
                              const QString& folder) {
  simulator.Stop();
  // The window's own timers notice the hang-up and make the first attempt.
  for (int i = 0; i < 200 && !window.line_lost(); ++i) {
    QThread::msleep(5);
    QApplication::processEvents();
  }
  QApplication::processEvents();
  bool ok = SaveWindow(window, folder + "/offline.png");
  const uint32_t exposure = engine.table().GetCommandRegister(ctrl::cmd::kExposureTime);
  simulator.WithCamera([&](ctrl::sim::CameraFrontEnd& camera) {
    camera.model().Poke(exposure, camera.model().Peek(exposure) + 400);
    return 0;
  });
  if (!simulator.Start()) return false;
  state.MapCom1ForThisRun(simulator.slave_path());
  for (int i = 0; i < 400 && window.line_lost(); ++i) {
    QThread::msleep(10);
    QApplication::processEvents();
  }
  ok = SaveWindow(window, folder + "/reconnected.png") && ok;
  return SaveWindow(*window.communication(), folder + "/communication_reconnected.png") && ok &&
         !window.line_lost();
}

}  // namespace

int main(int argc, char* argv[]) {
  // Help, version and mistakes are answered before the window's application exists: they need
  // no display.
  ctrl::ui::WindowCommandLine command_line;
  {
    QCoreApplication parsing(argc, argv);
    command_line = ctrl::ui::ParseWindowCommandLine(QCoreApplication::arguments());
  }
  if (command_line.exit_code) {
    std::fputs(command_line.out.toLocal8Bit().constData(), stdout);
    std::fputs(command_line.err.toLocal8Bit().constData(), stderr);
    return *command_line.exit_code;
  }
  const ctrl::ui::WindowOptions& options = command_line.options;

  QApplication app(argc, argv);
  // Ties the window to its desktop entry (the Wayland app id), and so to the entry's icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(CTRL_APP_ID));
  ctrl::IgnoreFileSizeSignal();

  // Screenshot runs leave the operator's stored settings alone.
  ctrl::QtSettingsBackend stored_settings;
  ctrl::MemorySettingsBackend screenshot_settings;
  const bool screenshots = !options.screenshot_dir.isEmpty();
  ctrl::ApplicationState state(
      screenshots ? static_cast<ctrl::SettingsBackend&>(screenshot_settings) : stored_settings);

  std::unique_ptr<ctrl::sim::PtyCameraServer> simulator;
  if (options.simulate) {
    ctrl::sim::PtyCameraServer::Options server_options;
    server_options.model = options.model;
    simulator = std::make_unique<ctrl::sim::PtyCameraServer>(server_options);
    if (!simulator->Start()) {
      std::fprintf(stderr, "The simulated camera could not start: %s\n",
                   simulator->error().c_str());
      return 1;
    }
    state.MapCom1ForThisRun(simulator->slave_path());
    state.UseCom1ForThisRun();
  } else if (!options.device.empty()) {
    state.UseDeviceForThisRun(options.device);
  }
  if (options.factory) state.UseFactoryModeForThisRun();

  ctrl::Clock& clock = ctrl::DefaultClock();
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine(state.channel(), clock, ctrl::Commands(), status);

  MainWindowSetup setup;
  setup.engine = &engine;
  setup.database = &ctrl::Database();
  setup.status = &status;
  setup.clock = &clock;
  setup.open_link = [&state] { return state.OpenConnection(); };
  setup.close_link = [&state] { state.channel().Close(); };
  setup.factory_mode = &state.factory_mode();
  setup.channel = &state.channel();
  setup.settings = &state.settings();
  setup.com_port_map = &state.transports().com_port.port_map();

  ctrl::ui::QtNotifier notifier;
  ctrl::InstallNotifier(&notifier);
  int result = 0;
  {
    CCtrlToolDlg window(setup);
    notifier.set_parent(&window);
    if (screenshots) {
      // Nobody is there to close a box: each one is printed and kept in the message list.
      notifier.RecordInsteadOfShowing([&window](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        window.communication()->AppendMessage(line);
      });
    }
    window.Initialise();
    if (screenshots) {
      result =
          SaveScreenshots(window, engine, status, options.simulate, options.screenshot_dir) ? 0 : 1;
      if (simulator &&
          !SaveReconnectScreenshots(window, engine, *simulator, state, options.screenshot_dir)) {
        result = 1;
      }
    } else {
      window.exec();
    }
  }
  ctrl::InstallNotifier(nullptr);
  state.SaveAtNormalExit();
  return result;
}
