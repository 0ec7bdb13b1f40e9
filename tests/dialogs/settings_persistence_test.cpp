// What survives between runs: the shutdown mark and the abnormal-end rule, the connection values
// and "Control Mode" written at a normal exit, runs that must not change the stored connection
// or mode (--device, --factory), stores that cannot be written, and the QSettings store the values
// live in.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application_state.h"
#include "app/qt_settings_backend.h"
#include "sim/pty/pty_camera_server.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/file_flows.h"
#include "ui/progress_dialog.h"

namespace {

using ctrl::RegistrySettings;

constexpr uint32_t kMissing = 0xFFFFFFFF;

uint32_t Stored(const ctrl::MemorySettingsBackend& backend, int index) {
  uint32_t value = 0;
  if (!backend.GetInt(RegistrySettings::ValueName(index), &value)) return kMissing;
  return value;
}

// The communication dialog as the main window constructs it: this applies the previous-run
// check to the connection.
struct Construction {
  explicit Construction(ctrl::ApplicationState& state) : flows(dialogs, &state.settings()) {
    CommunicationSetup setup;
    setup.engine = nullptr;
    setup.status = &status;
    setup.channel = &state.channel();
    setup.settings = &state.settings();
    setup.factory_mode = &state.factory_mode();
    setup.flows = &flows;
    dialog = std::make_unique<CCommunicationDialog>(setup);
  }
  struct NoDialogs final : ctrl::ui::FileDialogs {
    Choice Ask(const Request&) override { return {}; }
  } dialogs;
  ctrl::ui::FileFlows flows;
  ctrl::OnlineStatusPublisher status;
  std::unique_ptr<CCommunicationDialog> dialog;
};

}  // namespace

class SettingsPersistenceTest : public QObject {
  Q_OBJECT

 private:
  // What a first run starts on.
  static void ExpectDefaults(ctrl::ApplicationState& state) {
    QCOMPARE(state.channel().port_category(), ctrl::PortCategory::kComPort);
    QCOMPARE(state.channel().CurrentPortIndex(), 0);
    QCOMPARE(state.channel().baud_rate(), 9600);
    QCOMPARE(state.factory_mode(), 0);
    QVERIFY(!state.settings().PreviousRunEndedNormally());
    QVERIFY(!state.settings().ReadFolder(RegistrySettings::kCameraFilePath).found);
    QVERIFY(state.transports().com_port.port_map().DevicePath("COM1") != "/dev/ttyUSB0");
  }

 private slots:
  void aFirstRunStartsOnCom1AndWritesEveryValueAtExit() {
    ctrl::MemorySettingsBackend backend;
    {
      ctrl::ApplicationState state(backend);
      QCOMPARE(Stored(backend, RegistrySettings::kShutdownStatus), 0u);
      Construction window(state);
      QCOMPARE(ctrl::ToInt(state.channel().port_category()), 0);
      QCOMPARE(state.channel().CurrentPortIndex(), 0);
      QCOMPARE(state.channel().baud_rate(), 9600);
      QCOMPARE(state.factory_mode(), 0);
      state.SaveAtNormalExit();
    }
    for (int index = 0; index <= 7; ++index) {
      QVERIFY2(backend.Contains(RegistrySettings::ValueName(index)),
               qPrintable(QString::number(index)));
    }
    QCOMPARE(Stored(backend, RegistrySettings::kShutdownStatus), 1u);
    QCOMPARE(Stored(backend, RegistrySettings::kBaudrate), 9600u);
  }

  void anAbnormalEndForcesTheComPortFromThenOn() {
    ctrl::test::RecordingNotifier notifier;
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Communication Mode", 2);
    backend.SetInt("Previous Application Shutdown Status", 0);
    ctrl::ApplicationState state(backend);
    Construction window(state);
    QCOMPARE(ctrl::ToInt(state.channel().port_category()), 0);
    window.dialog->Initialise();
    auto* category =
        qobject_cast<QComboBox*>(window.dialog->Control(CCommunicationDialog::kCategoryList));
    QCOMPARE(category->currentText(), QString("Com Port"));
    QCOMPARE(qobject_cast<QComboBox*>(window.dialog->Control(CCommunicationDialog::kPortList))
                 ->itemText(0),
             QString("COM1"));
    state.SaveAtNormalExit();
    QCOMPARE(Stored(backend, RegistrySettings::kCommunicationMode), 0u);
  }

  void aNormalEndKeepsTheCategoryAndTheRateStartsAt9600() {
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Communication Mode", 3);
    backend.SetInt("Cameralink Ver11 Dll Index", 2);
    backend.SetInt("Baudrate", 115200);
    backend.SetInt("Previous Application Shutdown Status", 1);
    ctrl::ApplicationState state(backend);
    Construction window(state);
    QCOMPARE(ctrl::ToInt(state.channel().port_category()), 3);
    QCOMPARE(state.channel().CurrentPortIndex(), 2);
    QCOMPARE(state.channel().baud_rate(), 9600);
  }

  void aRunThatNeverEndsNormallySavesNothing() {
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Previous Application Shutdown Status", 1);
    backend.SetInt("Control Mode", 1);
    {
      ctrl::ApplicationState state(backend);
      state.factory_mode() = 0;
    }
    QCOMPARE(Stored(backend, RegistrySettings::kShutdownStatus), 0u);
    QCOMPARE(Stored(backend, RegistrySettings::kControlMode), 1u);
    QVERIFY(!backend.Contains("Communication Mode"));
  }

  void controlModeIsReadAtStartAndWrittenAtExit() {
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Control Mode", 1);
    {
      ctrl::ApplicationState state(backend);
      QCOMPARE(state.factory_mode(), 1);
      state.factory_mode() = 0;  // the operator left factory control mode
      state.SaveAtNormalExit();
    }
    QCOMPARE(Stored(backend, RegistrySettings::kControlMode), 0u);
    ctrl::ApplicationState next(backend);
    QCOMPARE(next.factory_mode(), 0);
  }

  void aSimulatedRunLeavesTheStoredConnectionAlone() {
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Previous Application Shutdown Status", 1);
    backend.SetInt("Communication Mode", 1);
    backend.SetInt("Com Port No", 5);
    backend.SetString("Ports/COM1", "/dev/ttyUSB0");
    {
      ctrl::ApplicationState state(backend);
      QCOMPARE(state.transports().com_port.port_map().DevicePath("COM1"),
               std::string("/dev/ttyUSB0"));
      state.MapCom1ForThisRun("/dev/pts/99");
      state.UseCom1ForThisRun();
      QCOMPARE(ctrl::ToInt(state.channel().port_category()), 0);
      QCOMPARE(state.channel().CurrentPortIndex(), 0);
      QCOMPARE(state.transports().com_port.port_map().DevicePath("COM1"),
               std::string("/dev/pts/99"));
      state.factory_mode() = 1;
      state.SaveAtNormalExit();
    }
    QCOMPARE(Stored(backend, RegistrySettings::kCommunicationMode), 1u);
    QCOMPARE(Stored(backend, RegistrySettings::kComPortNo), 5u);
    QCOMPARE(Stored(backend, RegistrySettings::kControlMode), 1u);
    QCOMPARE(Stored(backend, RegistrySettings::kShutdownStatus), 1u);
    std::string device;
    QVERIFY(backend.GetString("Ports/COM1", &device));
    QCOMPARE(device, std::string("/dev/ttyUSB0"));
  }

  void theQSettingsStoreKeepsTheValuesBetweenRuns() {
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
    ctrl::QtSettingsBackend backend;
    {
      QSettings direct(QSettings::UserScope, ctrl::QtSettingsBackend::kOrganization,
                       ctrl::QtSettingsBackend::kApplication);
      direct.setValue("Com Port No", QString("3"));  // written as text by hand
      direct.setValue("Ports/COM4", "/dev/ttyACM0");
    }
    {
      ctrl::ApplicationState state(backend);
      QCOMPARE(ctrl::ToInt(state.channel().port_category()), 0);
      QCOMPARE(state.channel().CurrentPortIndex(), 3);
      QCOMPARE(state.transports().com_port.port_map().DevicePath("COM4"),
               std::string("/dev/ttyACM0"));
      state.factory_mode() = 1;
      state.settings().WriteText(RegistrySettings::kCameraFilePath, "C:\\data");
      state.SaveAtNormalExit();
    }
    // A fresh store object sees what the run wrote.
    ctrl::QtSettingsBackend again;
    ctrl::RegistrySettings settings(again);
    QVERIFY(settings.PreviousRunEndedNormally());
    QCOMPARE(settings.ReadInt(RegistrySettings::kControlMode, 0).value, 1);
    QCOMPARE(settings.ReadInt(RegistrySettings::kComPortNo, 0).value, 3);
    QCOMPARE(settings.ReadText(RegistrySettings::kCameraFilePath).value, std::string("C:\\data"));
    QVERIFY(!settings.ReadText(RegistrySettings::kCommandLogFilePath).found);
    uint32_t number = 0;
    QVERIFY(!again.GetInt("Camera File Path", &number));
  }

  // --device: this run opens the stored COM port, whatever category was stored, and that port
  // leads to the device; at exit the store holds what a run without --device would leave.
  void aDeviceRunOpensTheStoredComPortOnThatDevice_data() {
    QTest::addColumn<int>("stored_category");
    QTest::addColumn<int>("stored_com_port");
    QTest::addColumn<bool>("previous_run_normal");
    QTest::addColumn<uint32_t>("saved_category");
    QTest::addRow("COM3 on the COM port") << 0 << 2 << true << 0u;
    QTest::addRow("COM3 under a Camera Link category") << 3 << 2 << true << 3u;
    QTest::addRow("COM1 under spec 2000") << 1 << 0 << true << 1u;
    QTest::addRow("COM16 on the COM port") << 0 << 15 << true << 0u;
    QTest::addRow("after an abnormal end") << 2 << 4 << false << 0u;
  }

  void aDeviceRunOpensTheStoredComPortOnThatDevice() {
    QFETCH(int, stored_category);
    QFETCH(int, stored_com_port);
    QFETCH(bool, previous_run_normal);
    QFETCH(uint32_t, saved_category);
    const std::string device = "/dev/serial/by-id/usb-camera";
    const std::string com_port = ctrl::ComPortName(stored_com_port);
    const std::string other_port = ctrl::ComPortName(stored_com_port == 0 ? 1 : 0);
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Previous Application Shutdown Status", previous_run_normal ? 1 : 0);
    backend.SetInt("Communication Mode", static_cast<uint32_t>(stored_category));
    backend.SetInt("Com Port No", static_cast<uint32_t>(stored_com_port));
    backend.SetInt("Cameralink 2001 Dll Index", 1);
    backend.SetString("Ports/" + other_port, "/dev/ttyUSB7");
    const auto stored_before = backend.values();
    {
      ctrl::ApplicationState state(backend);
      state.UseDeviceForThisRun(device);
      Construction window(state);
      QCOMPARE(state.channel().port_category(), ctrl::PortCategory::kComPort);
      QCOMPARE(state.channel().CurrentPortIndex(), stored_com_port);
      const ctrl::ComPortMap& ports = state.transports().com_port.port_map();
      QCOMPARE(ports.DevicePath(com_port), device);
      QCOMPARE(ports.DevicePath(other_port), std::string("/dev/ttyUSB7"));
      state.SaveAtNormalExit();
    }
    QCOMPARE(Stored(backend, RegistrySettings::kCommunicationMode), saved_category);
    QCOMPARE(Stored(backend, RegistrySettings::kComPortNo), static_cast<uint32_t>(stored_com_port));
    QCOMPARE(Stored(backend, RegistrySettings::kCameralink2001DllIndex), 1u);
    // The device is nowhere in the store.
    for (const auto& [name, value] : backend.values()) {
      if (name.rfind("Ports/", 0) != 0) continue;
      QVERIFY2(stored_before.count(name) && stored_before.at(name) == value, name.c_str());
    }
    QVERIFY(!backend.Contains("Ports/" + com_port));
    ctrl::ApplicationState next(backend);
    QVERIFY(next.transports().com_port.port_map().DevicePath(com_port) != device);
  }

  // The port it opens really is the device: a camera behind it answers.
  void aDeviceRunReachesTheCameraBehindTheStoredComPort() {
    ctrl::sim::PtyCameraServer server(ctrl::sim::PtyCameraServer::Options{});
    QVERIFY(server.Start());
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Previous Application Shutdown Status", 1);
    backend.SetInt("Communication Mode", 1);
    backend.SetInt("Com Port No", 2);
    ctrl::ApplicationState state(backend);
    state.UseDeviceForThisRun(server.slave_path());
    Construction window(state);
    QVERIFY(state.OpenConnection());
    QVERIFY(state.channel().Write("rd 0x00000044\r\n"));
    char reply[16] = {};
    QVERIFY(state.channel().Read(reply, 1, 5000) == 1);
    state.channel().Close();
  }

  // --factory: factory control mode for this run; the store keeps its own mode unless the
  // operator switched the mode in the window.
  void factoryModeForTheRunIsNotStored_data() {
    QTest::addColumn<uint32_t>("stored_mode");
    QTest::addColumn<int>("switches_in_window");
    QTest::addColumn<uint32_t>("saved_mode");
    QTest::addRow("nothing stored") << kMissing << 0 << 0u;
    QTest::addRow("stored off") << 0u << 0 << 0u;
    QTest::addRow("stored on") << 1u << 0 << 1u;
    QTest::addRow("stored off, left in the window") << 0u << 1 << 0u;
    QTest::addRow("stored on, left in the window") << 1u << 1 << 0u;
    QTest::addRow("stored off, left and entered again") << 0u << 2 << 0u;
  }

  void factoryModeForTheRunIsNotStored() {
    QFETCH(uint32_t, stored_mode);
    QFETCH(int, switches_in_window);
    QFETCH(uint32_t, saved_mode);
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Previous Application Shutdown Status", 1);
    if (stored_mode != kMissing) backend.SetInt("Control Mode", stored_mode);
    {
      ctrl::ApplicationState state(backend);
      state.UseFactoryModeForThisRun();
      QCOMPARE(state.factory_mode(), 1);
      for (int i = 0; i < switches_in_window; ++i) {
        state.factory_mode() = state.factory_mode() == 0 ? 1 : 0;  // as the window toggles it
      }
      state.SaveAtNormalExit();
    }
    QCOMPARE(Stored(backend, RegistrySettings::kControlMode), saved_mode);
    ctrl::ApplicationState next(backend);
    QCOMPARE(static_cast<uint32_t>(next.factory_mode()), saved_mode);
  }

  // A store without write access is not read: the run starts on the defaults and the stored
  // values stay as they were.
  void aStoreThatCannotBeWrittenGivesTheDefaults() {
    ctrl::MemorySettingsBackend backend;
    backend.SetInt("Previous Application Shutdown Status", 1);
    backend.SetInt("Communication Mode", 3);
    backend.SetInt("Com Port No", 4);
    backend.SetInt("Control Mode", 1);
    backend.SetString("Camera File Path", QDir::tempPath().toStdString());
    backend.SetString("Ports/COM1", "/dev/ttyUSB0");
    const auto stored_before = backend.values();
    backend.set_read_only(true);
    {
      ctrl::ApplicationState state(backend);
      Construction window(state);
      ExpectDefaults(state);
      if (QTest::currentTestFailed()) return;
      state.factory_mode() = 1;
      state.SaveAtNormalExit();
    }
    QVERIFY(backend.values() == stored_before);
  }

  void aReadOnlySettingsFileGivesTheDefaults() {
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
    QString path;
    {
      QSettings direct(QSettings::UserScope, ctrl::QtSettingsBackend::kOrganization,
                       ctrl::QtSettingsBackend::kApplication);
      direct.setValue("Previous Application Shutdown Status", 1);
      direct.setValue("Communication Mode", 3);
      direct.setValue("Com Port No", 4);
      direct.setValue("Control Mode", 1);
      direct.setValue("Ports/COM1", "/dev/ttyUSB0");
      path = direct.fileName();
    }
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    if (QFileInfo(path).isWritable()) QSKIP("the file stays writable for this user (root)");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ctrl::QtSettingsBackend backend;
    {
      ctrl::ApplicationState state(backend);
      Construction window(state);
      ExpectDefaults(state);
      if (QTest::currentTestFailed()) return;
      state.SaveAtNormalExit();
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
  }

  // A store that is not a settings file at all (a crash of something else, a disk error): the
  // run starts on the defaults, and a normal exit leaves a store the next run can read.
  void aCorruptStoreFallsBackToTheDefaultsAndIsWrittenAfresh() {
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
    const QString path = QSettings(QSettings::UserScope, ctrl::QtSettingsBackend::kOrganization,
                                   ctrl::QtSettingsBackend::kApplication)
                             .fileName();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QByteArray("\xff\xfe\x00[General\n=\x01\x02Com Port No=\"7\n[[[", 33));
      file.write(QByteArray(5000, '\0'));
    }
    ctrl::QtSettingsBackend backend;
    {
      ctrl::ApplicationState state(backend);
      QCOMPARE(ctrl::ToInt(state.channel().port_category()), 0);
      QCOMPARE(state.channel().CurrentPortIndex(), 0);
      QCOMPARE(state.channel().baud_rate(), 9600);
      QCOMPARE(state.factory_mode(), 0);
      state.factory_mode() = 1;
      state.SaveAtNormalExit();
    }
    ctrl::QtSettingsBackend again;
    ctrl::RegistrySettings settings(again);
    QVERIFY(settings.PreviousRunEndedNormally());
    QCOMPARE(settings.ReadInt(RegistrySettings::kControlMode, 0).value, 1);
  }
};

QTEST_MAIN(SettingsPersistenceTest)
#include "settings_persistence_test.moc"
