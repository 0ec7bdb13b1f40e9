// The window and the line's rate, over a real pty to a simulated camera that, like a camera on
// a real line, understands only requests sent at its own Baud Rate: a Baud Rate change on the
// pages that the PC side follows (or undoes), a camera an earlier run left at 115200, "Fast
// transfers" around the LUT transfers, and the link health in the communication window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <functional>
#include <memory>
#include <set>

#include "app/application_state.h"
#include "camera/command_table.h"
#include "camera/control_ids.h"
#include "dialogs/dialog_session.h"
#include "faults/fault_rig.h"
#include "lut/lut_transfer.h"
#include "sim/pty/pty_camera_server.h"
#include "sim/register_map.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/main_window.h"

namespace {

using Field = CCommunicationDialog::HealthField;

constexpr int kExposureEdit = 1708;  // command 57
constexpr int kReload = 30002;
constexpr int kSaveLutFile = 30007;
constexpr int kLoadAllLut = 30009;
// While the camera is expected to stay silent, time-outs cost 1/20 of their length; exchanges
// that must succeed run on real time, however loaded the machine.
constexpr int kClockScale = 20;

enum class Fault { kNone, kRefuseBaudRate, kDeafAfterBaudChange };

// The program's wiring on COM1 (COM2 leads to the same camera).
struct RateSession {
  explicit RateSession(const std::function<void(ctrl::sim::CameraFrontEnd&)>& prepare = {})
      : state((backend.SetInt("Previous Application Shutdown Status", 1), backend)) {
    ctrl::sim::PtyCameraServer::Options options;
    options.check_line_rate = true;
    server = std::make_unique<ctrl::sim::PtyCameraServer>(options);
    started = server->Start();
    if (prepare) Camera([&](ctrl::sim::CameraFrontEnd& camera) { prepare(camera); });
    state.MapCom1ForThisRun(server->slave_path());
    state.transports().com_port.port_map().Set("COM2", server->slave_path());
    ctrl::Commands().Reset();
    // Reads wait at most 2 ms of real time, so the engine's time-outs follow its clock.
    capped = std::make_unique<ctrl::test::HookedChannel>(state.channel());
    engine = std::make_unique<ctrl::Command>(*capped, clock, ctrl::Commands(), status);
    MainWindowSetup setup;
    setup.engine = engine.get();
    setup.database = &database;
    setup.status = &status;
    setup.clock = &clock;
    setup.open_link = [this] { return state.OpenConnection(); };
    setup.close_link = [this] { state.channel().Close(); };
    setup.factory_mode = &state.factory_mode();
    setup.channel = &state.channel();
    setup.settings = &state.settings();
    setup.file_dialogs = &file_dialogs;
    setup.trace_to = &traffic;
    window = std::make_unique<CCtrlToolDlg>(setup);
    window->show();
    window->Initialise();
  }

  void ExpectSilence(bool silence) { clock.set_scale(silence ? kClockScale : 1); }
  void Camera(const std::function<void(ctrl::sim::CameraFrontEnd&)>& action) {
    server->WithCamera([&](ctrl::sim::CameraFrontEnd& camera) {
      action(camera);
      return 0;
    });
  }
  int CameraRate() {
    return server->WithCamera(
        [](ctrl::sim::CameraFrontEnd& camera) { return camera.model().baud_rate(); });
  }
  // Both sides of the line and both rate lists of the windows.
  void ExpectRates(int camera, int line, int32_t page_code, const char* when) {
    QVERIFY2(CameraRate() == camera, when);
    QVERIFY2(state.channel().baud_rate() == line, when);
    QVERIFY2(server->LineBaudRate() == line, when);
    QVERIFY2(
        CommCombo(CCommunicationDialog::kBaudList)->currentIndex() == ctrl::BaudRateIndex(line),
        when);
    QVERIFY2(PageBaudCombo()->currentData().toInt() == page_code, when);
  }
  QComboBox* PageBaudCombo() const {
    return qobject_cast<QComboBox*>(window->FindControl(ctrl::control::kBaudRate));
  }
  void ChooseOnPage(int32_t code) {
    QComboBox* combo = PageBaudCombo();
    const int index = combo->findData(code);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  QComboBox* CommCombo(int id) const {
    return qobject_cast<QComboBox*>(window->communication()->Control(id));
  }
  // A value the camera holds only now comes into the pages.
  bool ReadsFreshExposure() {
    const uint32_t fresh = server->WithCamera([](ctrl::sim::CameraFrontEnd& camera) {
      const uint32_t reg = ctrl::Commands().GetCommandRegister(57);
      camera.model().Poke(reg, camera.model().Peek(reg) + 3);
      return camera.model().Peek(reg);
    });
    return window->dispatcher().RefreshControl(kExposureEdit) &&
           qobject_cast<QLineEdit*>(window->FindControl(kExposureEdit))->text().toUInt() == fresh;
  }
  bool MessageListHas(const QString& part) const {
    const ctrl::ui::LogListModel& messages = window->communication()->messages();
    for (int row = 0; row < messages.rowCount(); ++row) {
      if (messages.At(row).contains(part)) return true;
    }
    return false;
  }
  QString Health(Field field) const { return window->communication()->HealthText(field); }

  ctrl::test::RecordingNotifier notifier;
  ctrl::MemorySettingsBackend backend;
  ctrl::ApplicationState state;
  std::unique_ptr<ctrl::sim::PtyCameraServer> server;
  bool started = false;
  ctrl::test::ScaledClock clock;
  ctrl::OnlineStatusPublisher status;
  ctrl::ParameterDatabase database;
  ctrl::test::FakeFileDialogs file_dialogs;
  ctrl::test::TrafficRecord traffic;
  std::unique_ptr<ctrl::test::HookedChannel> capped;
  std::unique_ptr<ctrl::Command> engine;
  std::unique_ptr<CCtrlToolDlg> window;
};

}  // namespace

Q_DECLARE_METATYPE(Fault)

class LinkRateTest : public QObject {
  Q_OBJECT

 private slots:
  void baudRateOnThePages_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("camera_rate");
    QTest::addColumn<int>("line_rate");
    QTest::addColumn<int>("page_code");
    QTest::addColumn<QString>("message");  // empty: no rate message at all
    QTest::addColumn<bool>("answers");

    QTest::newRow("followed") << Fault::kNone << 115200 << 115200
                              << static_cast<int>(ctrl::sim::baud::k115200)
                              << "The camera now uses 115200 baud; the link follows." << true;
    QTest::newRow("camera refuses the rate")
        << Fault::kRefuseBaudRate << 9600 << 9600 << static_cast<int>(ctrl::sim::baud::k9600)
        << QString() << true;
    // The camera confirmed 115200 and then fell silent: the PC side goes back to 9600 and the
    // page keeps the value the camera confirmed.
    QTest::newRow("camera silent after the switch")
        << Fault::kDeafAfterBaudChange << 115200 << 9600
        << static_cast<int>(ctrl::sim::baud::k115200)
        << "The camera answers neither at 115200 nor at 9600 baud." << false;
  }
  // Catches: a Baud Rate change the PC side does not follow (the window loses the camera), a
  // refused change that still moves the port, a failed follow that leaves the port at a rate
  // nothing answers at or goes unreported, and a communication window showing another rate than
  // the line's.
  void baudRateOnThePages() {
    QFETCH(Fault, fault);
    QFETCH(int, camera_rate);
    QFETCH(int, line_rate);
    QFETCH(int, page_code);
    QFETCH(QString, message);
    QFETCH(bool, answers);
    RateSession s([&](ctrl::sim::CameraFrontEnd& camera) {
      camera.faults().refuse_baud_rate_change = fault == Fault::kRefuseBaudRate;
      camera.faults().ignore_requests_after_baud_change = fault == Fault::kDeafAfterBaudChange;
    });
    QVERIFY2(s.started, s.server->error().c_str());
    s.ExpectRates(9600, 9600, ctrl::sim::baud::k9600, "at start");
    if (QTest::currentTestFailed()) return;

    s.ExpectSilence(fault == Fault::kDeafAfterBaudChange);
    s.ChooseOnPage(ctrl::sim::baud::k115200);

    s.ExpectRates(camera_rate, line_rate, page_code, "after the change");
    if (message.isEmpty()) {
      QVERIFY(!s.MessageListHas(QStringLiteral(" baud")));
    } else {
      QVERIFY2(s.MessageListHas(message), qPrintable(message));
    }
    QCOMPARE(s.ReadsFreshExposure(), answers);
  }

  // Catches: a start-up model check only at the default rate, which loses a camera an earlier
  // run left at 115200, and a found rate the communication window does not show.
  void startUpFindsACameraLeftAt115200() {
    RateSession s([](ctrl::sim::CameraFrontEnd& camera) {
      camera.model().Write(ctrl::sim::reg::kBaudRate, ctrl::sim::baud::k115200, 0);
      camera.model().ApplyPendingBaudRate();
    });
    QVERIFY2(s.started, s.server->error().c_str());
    s.ExpectRates(115200, 115200, ctrl::sim::baud::k115200, "after start-up");
    QVERIFY(s.MessageListHas(
        QStringLiteral("The camera answers at 115200 baud; the link now uses 115200.")));
    QVERIFY(s.ReadsFreshExposure());
  }

  void fastTransfers_data() {
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("menu");
    QTest::addColumn<int>("probe");             // the command whose reads the rate is taken at
    QTest::addColumn<int>("silent_from_read");  // 0: the camera answers throughout
    QTest::addColumn<int>("transfer_rate");

    const int lut = ctrl::cmd::kLutValue;
    QTest::newRow("off: reload") << false << kReload << 57 << 0 << 9600;
    QTest::newRow("load all") << true << kLoadAllLut << lut << 0 << 460800;
    QTest::newRow("save") << true << kSaveLutFile << lut << 0 << 460800;
    QTest::newRow("load all, camera silent mid-transfer")
        << true << kLoadAllLut << lut << 100 << 460800;
    // The reload reads the Baud Rate at the raised rate too; the page shows the camera's again.
    QTest::newRow("reload") << true << kReload << 57 << 0 << 460800;
  }
  // Catches: "Fast transfers" that does not raise the rate for the LUT transfers or the
  // reload, raises it when not ticked, or leaves either side (or the page's Baud Rate) at the
  // raised rate afterwards, also when the transfer failed because the camera stopped answering
  // for a while.
  void fastTransfers() {
    QFETCH(bool, fast);
    QFETCH(int, menu);
    QFETCH(int, probe);
    QFETCH(int, silent_from_read);
    QFETCH(int, transfer_rate);
    RateSession s;
    QVERIFY2(s.started, s.server->error().c_str());
    auto* tick = qobject_cast<QCheckBox*>(
        s.window->communication()->Control(CCommunicationDialog::kFastTransfersCheck));
    QVERIFY(!tick->isChecked());
    tick->setChecked(fast);
    QCOMPARE(s.state.settings().ReadFastTransfers(), fast);

    // The rate of the line for every read of the probe; the camera falls silent for as many
    // requests as a LUT access tries.
    const std::string probe_read = "Tx: rd " + ctrl::Commands().GetCommandAddress(probe);
    std::set<int> rates;
    int reads = 0;
    int silent_requests = -1;
    s.traffic.on_line = [&](const std::string& line) {
      if (line.rfind("Tx: ", 0) != 0) return;
      if (silent_requests >= 0 && ++silent_requests > ctrl::kLutAccessAttempts) {
        s.Camera([](ctrl::sim::CameraFrontEnd& camera) { camera.faults().silent = false; });
        s.ExpectSilence(false);
        silent_requests = -1;
      }
      if (line != probe_read) return;
      rates.insert(s.server->LineBaudRate());
      if (++reads == silent_from_read) {
        s.Camera([](ctrl::sim::CameraFrontEnd& camera) { camera.faults().silent = true; });
        s.ExpectSilence(true);
        silent_requests = 0;
      }
    };
    s.notifier.answers.push_back(true);  // read all tables
    s.window->menu_action(menu)->trigger();
    s.traffic.on_line = nullptr;

    // The camera's server answers on its own thread: the read that switches the silence on may
    // still be answered, and the silent attempts then fall on the next index write instead.
    QVERIFY(reads >= silent_from_read);
    // The silent stretch outlasted a LUT access: the transfer failed.
    QCOMPARE(s.engine->health().timeouts >= uint64_t{ctrl::kLutAccessAttempts},
             silent_from_read > 0);
    QVERIFY(rates == std::set<int>{transfer_rate});
    s.ExpectRates(9600, 9600, ctrl::sim::baud::k9600, "after the transfer");
    QVERIFY(!s.MessageListHas(QStringLiteral("did not")));
    QVERIFY(s.ReadsFreshExposure());
  }

  // Catches: a health view that shows other numbers than the engine's, that does not follow
  // while shown, or that keeps counting across a reopened port.
  void linkHealthShowsTheEnginesRecord() {
    RateSession s;
    QVERIFY2(s.started, s.server->error().c_str());
    CCommunicationDialog& dialog = *s.window->communication();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.health_timer()->isActive());

    s.Camera([](ctrl::sim::CameraFrontEnd& camera) { camera.faults().silent = true; });
    s.ExpectSilence(true);
    QVERIFY(!s.window->dispatcher().RefreshControl(kExposureEdit));
    s.Camera([](ctrl::sim::CameraFrontEnd& camera) { camera.faults().silent = false; });
    s.ExpectSilence(false);
    QVERIFY(s.window->dispatcher().RefreshControl(kExposureEdit));
    dialog.RefreshHealth();
    const ctrl::LinkHealth& health = s.engine->health();
    QVERIFY(health.exchanges > 2);
    QCOMPARE(health.exchanges, s.engine->exchanges());  // nothing reopened the port yet
    QCOMPARE(health.timeouts, uint64_t{1});
    const std::pair<Field, QString> shown[] = {
        {Field::kExchanges, QString::number(health.exchanges)},
        {Field::kTimeouts, QStringLiteral("1")},
        {Field::kRefused, QString::number(health.refused)},
        {Field::kLinesSkipped, QString::number(health.lines_skipped)},
        {Field::kBytes,
         QStringLiteral("%1 sent, %2 received").arg(health.bytes_sent).arg(health.bytes_received)},
        {Field::kRate, QStringLiteral("9600 baud")},
    };
    for (const auto& [field, text] : shown) QCOMPARE(s.Health(field), text);
    QVERIFY(s.Health(Field::kRoundTrip).startsWith(QStringLiteral("median ")));

    // COM2 reaches the same camera: the record starts with the reopened port.
    const uint64_t before_reopen = s.engine->exchanges();
    s.CommCombo(CCommunicationDialog::kPortList)->setCurrentIndex(1);
    QCOMPARE(s.engine->exchanges() - s.engine->health().exchanges, before_reopen);
    QCOMPARE(s.engine->health().timeouts, uint64_t{0});
    dialog.RefreshHealth();
    QCOMPARE(s.Health(Field::kExchanges), QString::number(s.engine->health().exchanges));

    dialog.hide();
    QVERIFY(!dialog.health_timer()->isActive());
  }
};

QTEST_MAIN(LinkRateTest)
#include "link_rate_test.moc"
