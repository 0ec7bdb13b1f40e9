// What survives between runs: the shutdown mark and the abnormal-end rule, the connection values
// and "Control Mode" written at a normal exit, runs that must not change the stored connection,
// and the QSettings store the values live in.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application_state.h"
#include "app/qt_settings_backend.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/file_flows.h"
#include "ui/progress_dialog.h"

namespace {

using ctrl::RegistrySettings;

uint32_t Stored(const ctrl::MemorySettingsBackend& backend, int index) {
  uint32_t value = 0;
  if (!backend.GetInt(RegistrySettings::ValueName(index), &value)) return 0xFFFFFFFF;
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
