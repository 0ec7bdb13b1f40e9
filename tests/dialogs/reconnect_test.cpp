// The window on its real connection when the camera hangs up in the middle of a reload and
// comes back restarted with one parameter changed: catches a loss noticed late or reported once
// per row, rows that wait out their time-outs on a dead line, reopening that pops message boxes
// or ignores the setting that switches it off, and a return that does not read the camera
// again or does not name exactly what changed while it was away.
#include <QAction>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>

#include "app/application_state.h"
#include "camera/command_table.h"
#include "camera/feature_catalogue.h"
#include "sim/pty/pty_camera_server.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/main_window.h"
#include "ui/status_strip.h"

namespace {

const int kExposureTime = ctrl::FindFeature("Exposure Time")->command_id;
constexpr int kAutoReconnectMenu = 30040;  // Settings > Reopen the Port Automatically
constexpr int kHangUpAfterRequests = 40;   // of the 58 of a reload: inside the bulk read

// The program's wiring, COM1 leading to a camera whose pty can go away and come back under the
// same path, and the window on a fake clock that only the test moves.
struct ReconnectSession {
  explicit ReconnectSession(bool auto_reconnect) : state((Seed(auto_reconnect), backend)) {
    ctrl::sim::PtyCameraServer::Options options;
    options.link_path = (dir.path() + "/ttyCAM").toStdString();
    server = std::make_unique<ctrl::sim::PtyCameraServer>(options);
    started = server->Start();
    state.MapCom1ForThisRun(options.link_path);
    ctrl::Commands().Reset();
    engine = std::make_unique<ctrl::Command>(state.channel(), ctrl::DefaultClock(),
                                             ctrl::Commands(), status);
    MainWindowSetup setup;
    setup.engine = engine.get();
    setup.database = &database;
    setup.status = &status;
    setup.clock = &window_clock;
    setup.open_link = [this] { return state.OpenConnection(); };
    setup.close_link = [this] { state.channel().Close(); };
    setup.factory_mode = &state.factory_mode();
    setup.channel = &state.channel();
    setup.settings = &state.settings();
    setup.com_port_map = &state.transports().com_port.port_map();
    window = std::make_unique<CCtrlToolDlg>(setup);
    window->show();
    window->Initialise();
  }
  void Seed(bool auto_reconnect) {
    backend.SetInt("Previous Application Shutdown Status", 1);
    if (!auto_reconnect) backend.SetInt("Settings/AutoReconnect", 0);
  }
  uint32_t CameraExposure() {
    const uint32_t reg = ctrl::Commands().GetCommandRegister(kExposureTime);
    return server->WithCamera(
        [&](ctrl::sim::CameraFrontEnd& camera) { return camera.model().Peek(reg); });
  }
  // The camera restarts: a new pty under the same path, one parameter no longer as it was.
  bool Restart(uint32_t exposure) {
    const uint32_t reg = ctrl::Commands().GetCommandRegister(kExposureTime);
    server->WithCamera([&](ctrl::sim::CameraFrontEnd& camera) {
      camera.faults() = ctrl::sim::Faults{};
      camera.model().Poke(reg, exposure);
      return 0;
    });
    return server->Start();
  }
  int MessagesContaining(const std::string& part) const {
    int count = 0;
    for (const std::string& line : window->communication()->messages().NewestFirst()) {
      count += line.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
  }
  std::string ExposureText(uint32_t raw) const {
    return ctrl::DisplayText(*ctrl::FeatureOfCommand(kExposureTime), static_cast<int32_t>(raw),
                             engine->device());
  }

  QTemporaryDir dir;
  ctrl::test::RecordingNotifier notifier;
  ctrl::MemorySettingsBackend backend;
  ctrl::ApplicationState state;
  std::unique_ptr<ctrl::sim::PtyCameraServer> server;
  bool started = false;
  ctrl::FakeClock window_clock{1'000'000};
  ctrl::OnlineStatusPublisher status;
  ctrl::ParameterDatabase database;
  std::unique_ptr<ctrl::Command> engine;
  std::unique_ptr<CCtrlToolDlg> window;
};

}  // namespace

class ReconnectTest : public QObject {
  Q_OBJECT

 private slots:
  void hangUpMidReloadThenTheRestartedCameraReturns_data() {
    QTest::addColumn<bool>("auto_reconnect");
    QTest::newRow("reopening on") << true;
    QTest::newRow("reopening off until the operator switches it on") << false;
  }

  void hangUpMidReloadThenTheRestartedCameraReturns() {
    QFETCH(bool, auto_reconnect);
    ReconnectSession s(auto_reconnect);
    QVERIFY2(s.started, s.server->error().c_str());
    QCOMPARE(s.window->menu_action(kAutoReconnectMenu)->isChecked(), auto_reconnect);
    const uint32_t shown_exposure = s.CameraExposure();

    // The hang-up in the middle of a reload: the rest of the rows fail at once.
    s.server->WithCamera([](ctrl::sim::CameraFrontEnd& camera) {
      camera.faults().hang_up_after = kHangUpAfterRequests;
      return 0;
    });
    const uint64_t timeouts = s.engine->health().timeouts;
    s.window->ReloadAllParameters();
    QVERIFY(s.server->hung_up());
    s.server->Stop();  // unplugged: its path goes too, so no other pty can take the name meanwhile
    QCOMPARE(s.engine->health().timeouts, timeouts);
    s.window->CheckLine();
    QVERIFY(s.window->line_lost());
    QCOMPARE(s.window->status_strip()->Text(), QString("Offline"));
    // Another look and another reload while it is gone: still one report, nothing sent.
    const uint64_t exchanges = s.engine->exchanges();
    s.window->CheckLine();
    s.window->ReloadAllParameters();
    QCOMPARE(s.engine->exchanges(), exchanges);
    QCOMPARE(s.MessagesContaining("line went away"), 1);

    // Attempts while the camera is away fail quietly and back off.
    s.window->ReconnectTick();
    QCOMPARE(s.window->reconnect_schedule().active(), auto_reconnect);
    if (auto_reconnect) {
      QCOMPARE(s.window->reconnect_schedule().UsUntilDue(), int64_t{500'000});
      QCOMPARE(s.MessagesContaining("Not back yet"), 1);
    }
    // A port that could not be opened again still fails an exchange at once, as a lost line.
    int32_t value = 0;
    QVERIFY(!s.engine->ReadCommand(kExposureTime, value, ctrl::kDefaultTimeoutMs));
    QCOMPARE(s.engine->last_failure(), ctrl::Command::Failure::kLineLost);
    QCOMPARE(s.engine->health().timeouts, timeouts);
    s.window_clock.AdvanceUs(500'000);
    s.window->ReconnectTick();
    QVERIFY(s.window->line_lost());
    QCOMPARE(s.MessagesContaining("Not back yet"), auto_reconnect ? 1 : 0);
    QVERIFY(s.notifier.messages.empty());

    const uint32_t restarted_exposure = shown_exposure + 8;
    QVERIFY2(s.Restart(restarted_exposure), s.server->error().c_str());
    // Its device is back in the middle of a pause: the next look tries at once.
    if (auto_reconnect) QVERIFY(s.window->reconnect_schedule().UsUntilDue() > 0);
    s.window->ReconnectTick();
    if (!auto_reconnect) {
      // Switched off: nothing is reopened until the operator switches it on.
      QVERIFY(s.window->line_lost());
      s.window->menu_action(kAutoReconnectMenu)->trigger();
      QVERIFY(s.state.settings().AutoReconnect());
      s.window->ReconnectTick();
    }
    QVERIFY(!s.window->line_lost());
    QVERIFY(s.status.online());
    QCOMPARE(s.window->status_strip()->Text(), QString());
    QCOMPARE(s.MessagesContaining("1 parameter differs"), 1);
    QCOMPARE(s.MessagesContaining("\u2192"), 1);
    QCOMPARE(s.MessagesContaining("  Exposure Time: " + s.ExposureText(shown_exposure) +
                                  " \u2192 " + s.ExposureText(restarted_exposure)),
             1);
    QVERIFY(s.notifier.messages.empty());
  }
};

QTEST_MAIN(ReconnectTest)
#include "reconnect_test.moc"
