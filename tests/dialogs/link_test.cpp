// The tool on its real connection: the simulated camera served on a pseudo-terminal, reached
// through the COM port transport and CommChannel. Choosing another port or rate in the
// communication dialog reopens the link and reloads, or goes offline when the camera no longer
// understands the line.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "app/application_state.h"
#include "camera/command_table.h"
#include "sim/pty/pty_camera_server.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/main_window.h"

namespace {

constexpr int kExposureEdit = 1708;  // command 57

// The program's wiring with a stored COM port index that is out of range.
struct LinkSession {
  explicit LinkSession(bool check_line_rate = false) : state((Seed(), backend)) {
    ctrl::sim::PtyCameraServer::Options options;
    options.check_line_rate = check_line_rate;
    server = std::make_unique<ctrl::sim::PtyCameraServer>(options);
    started = server->Start();
    state.MapCom1ForThisRun(server->slave_path());
    state.transports().com_port.port_map().Set("COM2", server->slave_path());
    ctrl::Commands().Reset();
    engine = std::make_unique<ctrl::Command>(state.channel(), ctrl::DefaultClock(),
                                             ctrl::Commands(), status);
    MainWindowSetup setup;
    setup.engine = engine.get();
    setup.database = &database;
    setup.status = &status;
    setup.clock = &ctrl::DefaultClock();
    setup.open_link = [this] { return state.OpenConnection(); };
    setup.close_link = [this] { state.channel().Close(); };
    setup.factory_mode = &state.factory_mode();
    setup.channel = &state.channel();
    setup.settings = &state.settings();
    window = std::make_unique<CCtrlToolDlg>(setup);
    window->show();
    window->Initialise();
  }
  void Seed() {
    backend.SetInt("Previous Application Shutdown Status", 1);
    backend.SetInt("Com Port No", 20);
  }
  void PokeExposure(uint32_t value) {
    const uint32_t reg = ctrl::Commands().GetCommandRegister(57);
    server->WithCamera([&](ctrl::sim::CameraFrontEnd& camera) {
      camera.model().Poke(reg, value);
      return 0;
    });
  }
  QComboBox* Combo(int id) const {
    return qobject_cast<QComboBox*>(window->communication()->Control(id));
  }
  QString Exposure() const {
    return qobject_cast<QLineEdit*>(window->FindControl(kExposureEdit))->text();
  }
  QString LineStatus() const {
    return qobject_cast<QLabel*>(
               window->communication()->Control(CCommunicationDialog::kStatusText))
        ->text();
  }

  ctrl::test::RecordingNotifier notifier;
  ctrl::MemorySettingsBackend backend;
  ctrl::ApplicationState state;
  std::unique_ptr<ctrl::sim::PtyCameraServer> server;
  bool started = false;
  ctrl::OnlineStatusPublisher status;
  ctrl::ParameterDatabase database;
  std::unique_ptr<ctrl::Command> engine;
  std::unique_ptr<CCtrlToolDlg> window;
};

}  // namespace

class LinkTest : public QObject {
  Q_OBJECT

 private slots:
  void anOutOfRangePortFallsBackToCom1AndAnotherPortReloads() {
    LinkSession s;
    QVERIFY2(s.started, s.server->error().c_str());
    QComboBox* ports = s.Combo(CCommunicationDialog::kPortList);
    QCOMPARE(ports->count(), 16);
    QCOMPARE(ports->itemText(15), QString("COM16"));
    QCOMPARE(ports->currentIndex(), 0);
    QCOMPARE(s.state.channel().CurrentPortIndex(), 0);
    QCOMPARE(s.LineStatus(), QString("Online"));
    QVERIFY(s.notifier.messages.empty());

    s.PokeExposure(777);
    ports->setCurrentIndex(1);  // COM2 leads to the same camera
    QCOMPARE(s.state.channel().CurrentPortIndex(), 1);
    QCOMPARE(s.Exposure(), QString("777"));
    QVERIFY(s.window->isEnabled());
  }

  void aRateTheCameraDoesNotUseGoesOfflineWithoutReloading() {
    LinkSession s(/*check_line_rate=*/true);
    QVERIFY2(s.started, s.server->error().c_str());
    QCOMPARE(s.LineStatus(), QString("Online"));
    const QString shown = s.Exposure();
    s.PokeExposure(shown.toUInt() + 5);
    s.Combo(CCommunicationDialog::kBaudList)->setCurrentIndex(1);
    QCOMPARE(s.state.channel().baud_rate(), 115200);
    QCOMPARE(s.server->LineBaudRate(), 115200);
    QCOMPARE(s.LineStatus(), QString("Offline"));
    QCOMPARE(s.Exposure(), shown);

    // Back at the camera's rate everything is read again.
    s.Combo(CCommunicationDialog::kBaudList)->setCurrentIndex(0);
    QCOMPARE(s.LineStatus(), QString("Online"));
    QCOMPARE(s.Exposure(), QString::number(shown.toUInt() + 5));
  }
};

QTEST_MAIN(LinkTest)
#include "link_test.moc"
