// The main window driven like an operator would, against the simulated camera: what reaches the
// camera for each commit path, what the window shows when the camera refuses or stays silent,
// the follow-ups, the model profiles, the factory key sequence and the exit questions.
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "camera/command_table.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/main_window.h"
#include "ui/page_layouts.h"
#include "ui/parameter_search.h"
#include "ui/spin_arrows.h"
#include "ui/status_strip.h"
#include "ui/window_placement.h"

namespace {

using ctrl::ui::SpinArrows;

// Records the traffic and, for each request, whether the main window was usable at that moment.
class WindowTrace final : public ctrl::TraceSink {
 public:
  void TraceLine(std::string_view line) override {
    lines.emplace_back(line);
    if (window != nullptr && line.substr(0, 4) == "Tx: ")
      enabled_at_request.push_back(window->isEnabled());
  }
  bool Sent(const std::string& request) const {
    for (const auto& line : lines) {
      if (line == "Tx: " + request) return true;
    }
    return false;
  }
  std::vector<std::string> lines;
  std::vector<bool> enabled_at_request;
  QWidget* window = nullptr;
};

// One run of the tool against one simulated camera.
struct Session {
  // `shown_first`: the window is on the screen before its initialisation, as in most tests;
  // the tool itself initialises the window and then shows it.
  explicit Session(const std::string& model, bool silent = false, bool shown_first = true)
      : camera(model),
        front_end(camera),
        channel(front_end, clock),
        engine((ctrl::Commands().Reset(), channel), clock, ctrl::Commands(), status) {
    front_end.faults().silent = silent;
    engine.set_trace_sink(&trace);
    MainWindowSetup setup;
    setup.engine = &engine;
    setup.database = &database;
    setup.status = &status;
    setup.clock = &clock;
    setup.open_link = [this] { return link_opens; };
    setup.factory_mode = &factory_mode;
    setup.trace_to = &trace;
    window = std::make_unique<CCtrlToolDlg>(setup);
    trace.window = window.get();
    if (shown_first) window->show();
    window->Initialise();
  }

  uint32_t Reg(int command_id) const { return ctrl::Commands().GetCommandRegister(command_id); }
  int32_t Peek(int command_id) const { return static_cast<int32_t>(camera.Peek(Reg(command_id))); }
  QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(window->FindControl(id)); }
  QComboBox* Combo(int id) const { return qobject_cast<QComboBox*>(window->FindControl(id)); }
  QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(window->FindControl(id)); }
  QLabel* Label(int id) const { return qobject_cast<QLabel*>(window->FindControl(id)); }
  SpinArrows* Spin(int id) const { return qobject_cast<SpinArrows*>(window->FindControl(id)); }
  bool Online() const { return window->status_strip()->online(); }
  void Type(int edit_id, const QString& text) const {
    Edit(edit_id)->setText(text);
    QFocusEvent focus_out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(Edit(edit_id), &focus_out);
  }
  // The operator steps a closed combo box to its next entry with the arrow key.
  void StepDown(int combo_id) const { QTest::keyClick(Combo(combo_id), Qt::Key_Down); }

  ctrl::test::RecordingNotifier notifier;
  ctrl::FakeClock clock{1'000'000};
  ctrl::sim::CameraModel camera;
  ctrl::sim::CameraFrontEnd front_end;
  ctrl::sim::InProcessChannel channel;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine;
  ctrl::ParameterDatabase database;
  WindowTrace trace;
  bool link_opens = true;
  int factory_mode = 0;
  std::unique_ptr<CCtrlToolDlg> window;
};

constexpr char kMono[] = "QX-4096M-PCL";
constexpr char kColor[] = "QX-4096TR-PCL";
constexpr char kWide[] = "QX-8192M-PCL";
constexpr char kUnsupported[] = "QX-2048X";

QStringList Items(QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace

class UiMainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startupShowsWhatTheCameraHolds() {
    Session s(kMono);
    QCOMPARE(s.window->windowTitle(),
             QString("QX-4096M_TR-PCL QX-8192M-PCL Control Tool  Ver 0.10"));
    QCOMPARE(s.Edit(1696)->text(), QString::number(s.Peek(22)));
    QCOMPARE(s.Edit(1701)->text(), QString::number(s.Peek(34)));
    QCOMPARE(s.window->tabs()->count(), 4);
    QVERIFY(s.Online());
    QVERIFY(s.window->isEnabled());
    QVERIFY(!s.window->progress().isVisible());
    QCOMPARE(s.window->progress().percent(), 100);
    QVERIFY(!s.database.rows()[0].pending());
    // The pages and the camera were not usable while every parameter was read.
    QVERIFY(s.trace.enabled_at_request.size() > 40);
    QCOMPARE(s.trace.enabled_at_request.back(), false);
  }

  void windowsCarryTheirOwnTitlesOnly() {
    Session s(kMono);
    QCOMPARE(s.window->windowTitle(),
             QString("QX-4096M_TR-PCL QX-8192M-PCL Control Tool  Ver 0.10"));
    QCOMPARE(s.window->communication()->windowTitle(), QString("Communication"));
  }

  void unsupportedModelIsReportedOnceAtStartup() {
    Session s(kUnsupported);
    const std::vector<std::string> once{"Unsupported model: \"QX-2048X\""};
    QCOMPARE(s.notifier.Texts(), once);
    // The operator's own reload checks the model afresh and says so again, once.
    s.window->menu_action(30002)->trigger();
    const std::vector<std::string> twice{once[0], once[0]};
    QCOMPARE(s.notifier.Texts(), twice);
  }

  void communicationWindowWaitsForTheMainWindowsPlace() {
    Session s(kMono, /*silent=*/false, /*shown_first=*/false);
    CCommunicationDialog* communication = s.window->communication();
    QVERIFY(!communication->isVisible());
    s.window->show();
    QApplication::processEvents();
    QVERIFY(communication->isVisible());
    const QPoint expected =
        ctrl::ui::PlaceBeside(s.window->frameGeometry(), communication->frameGeometry().size(),
                              s.window->screen()->availableGeometry());
    QCOMPARE(communication->frameGeometry().topLeft(), expected);
  }

  void startupWithoutLinkReportsOnceAndKeepsBuiltInValues() {
    ctrl::test::RecordingNotifier outer;
    ctrl::FakeClock clock;
    ctrl::sim::CameraModel camera(kMono);
    ctrl::sim::CameraFrontEnd front_end(camera);
    ctrl::sim::InProcessChannel channel(front_end, clock);
    ctrl::OnlineStatusPublisher status;
    ctrl::Commands().Reset();
    ctrl::Command engine(channel, clock, ctrl::Commands(), status);
    ctrl::ParameterDatabase database;
    MainWindowSetup setup;
    setup.engine = &engine;
    setup.database = &database;
    setup.status = &status;
    setup.clock = &clock;
    setup.open_link = [] { return false; };
    CCtrlToolDlg window(setup);
    window.Initialise();
    QCOMPARE(outer.Texts(), std::vector<std::string>{"Failed to initialize!"});
    QCOMPARE(qobject_cast<QLineEdit*>(window.FindControl(1708))->text(), QString("256"));
    QCOMPARE(front_end.requests_served(), uint64_t{0});
  }

  void silentCameraAtStartReadsNothing() {
    Session s(kMono, /*silent=*/true);
    QVERIFY(!s.Online());
    QCOMPARE(s.Edit(1701)->text(), QString("8000"));
    QCOMPARE(s.trace.lines.size(), size_t{1});  // only the model name request
  }

  // ---- Commit paths ----

  void editCommitsOnFocusLossAndOnEnter() {
    Session s(kMono);
    s.Type(1708, "300");
    QCOMPARE(s.Peek(57), 300);
    s.Edit(1708)->setText("400");
    QTest::keyClick(s.Edit(1708), Qt::Key_Return);
    QCOMPARE(s.Peek(57), 400);
    QVERIFY(s.window->isVisible());
    QVERIFY(s.notifier.questions.empty());
  }

  void editTextThatIsNoIntegerInRangeShowsThePreviousValue() {
    Session s(kMono);
    const uint64_t served = s.front_end.requests_served();
    s.Type(1708, "abc");
    QCOMPARE(s.Edit(1708)->text(), QString("256"));
    s.Type(1708, "99999");
    QCOMPARE(s.Edit(1708)->text(), QString("256"));
    QCOMPARE(s.front_end.requests_served(), served);
  }

  void refusedValueComesBackWithoutGoingOffline() {
    Session s(kMono);
    const QString exposure = s.Edit(1704)->text();
    s.Type(1704, QString::number(s.Peek(34) + 1000));  // longer than the line: refused
    QCOMPARE(s.Edit(1704)->text(), exposure);
    QCOMPARE(s.Peek(30), exposure.toInt());
    QVERIFY(s.Online());
  }

  void silentCameraRollsBackAndGoesOffline() {
    Session s(kMono);
    s.front_end.faults().silent = true;
    s.Type(1708, "300");
    QCOMPARE(s.Edit(1708)->text(), QString("256"));
    QVERIFY(!s.Online());
    s.StepDown(1698);
    QCOMPARE(s.Combo(1698)->currentText(), QString("Mono8"));
  }

  void spinArrowWritesFirstAndStaysWhenNotConfirmed() {
    Session s(kMono);
    QTest::mouseClick(s.Spin(1709)->upButton(), Qt::LeftButton);
    QCOMPARE(s.Peek(57), 257);
    QCOMPARE(s.Edit(1708)->text(), QString("257"));
    s.front_end.faults().silent = true;
    QTest::mouseClick(s.Spin(1709)->upButton(), Qt::LeftButton);
    QCOMPARE(s.Edit(1708)->text(), QString("257"));
    QCOMPARE(s.Spin(1709)->position(), 257);
  }

  void comboWritesItemValuesAndIndices() {
    Session s(kMono);
    s.StepDown(1698);
    QCOMPARE(s.Peek(24), 0x010A0046);
    QCOMPARE(s.Label(1813)->text(), QString("Bpp10"));
    s.StepDown(1690);  // "FallingEdge"
    QCOMPARE(s.Peek(50), 1);
    s.StepDown(1689);  // "CC2"
    QCOMPARE(s.Peek(49), 2);
  }

  // ---- Follow-ups ----

  void binningChangesTheWidthRangesAndRereadsTheImageFormat() {
    Session s(kMono);
    s.StepDown(1692);
    QCOMPARE(s.Peek(18), 2);
    QCOMPARE(s.Spin(1697)->minimum(), 32);
    QCOMPARE(s.Spin(1697)->maximum(), s.Peek(20));
    QCOMPARE(s.Spin(1695)->maximum(), s.Peek(20) - 32);
    QCOMPARE(s.Edit(1696)->text(), QString::number(s.Peek(22)));
    QCOMPARE(s.Edit(1694)->text(), QString::number(s.Peek(21)));
  }

  void pixelFormatRereadsTheCameraLinkSettings() {
    Session s(kMono);
    s.StepDown(1698);
    QCOMPARE(s.Combo(1719)->currentData().toInt(), s.Peek(114));
    QCOMPARE(s.Combo(1721)->currentData().toInt(), s.Peek(116));
    QCOMPARE(s.Edit(1701)->text(), QString::number(s.Peek(34)));
  }

  void whiteBalanceOnceReturnsToManualWithNewGains() {
    Session s(kColor);
    s.window->tabs()->setCurrentIndex(2);
    s.StepDown(1851);  // "Once"
    QCOMPARE(s.Combo(1851)->currentText(), QString("Manual"));
    QCOMPARE(s.Peek(86), 0);
    QCOMPARE(s.Edit(1854)->text(), QString::number(s.Peek(87)));
    QCOMPARE(s.Edit(1857)->text(), QString::number(s.Peek(88)));
  }

  void ccmSelectorShowsTheMatrixOfTheChosenSet() {
    Session s(kColor);
    QVERIFY(!s.Edit(1876)->isEnabled());
    s.StepDown(1874);
    QCOMPARE(s.Peek(94), 1);
    for (int i = 0; i < 9; ++i) {
      QVERIFY(s.Edit(1876 + 3 * i)->isEnabled());
      QCOMPARE(s.Edit(1876 + 3 * i)->text(), QString::number(s.Peek(95 + i)));
    }
  }

  // ---- Model profiles ----

  void monoProfile() {
    Session s(kMono);
    QCOMPARE(Items(s.Combo(1698)), QStringList({"Mono8", "Mono10P", "Mono12P"}));
    QCOMPARE(Items(s.Combo(1743)), QStringList({"User"}));
    QVERIFY(s.Combo(1691)->isEnabled());
    QVERIFY(!s.Edit(1819)->isEnabled());
    QVERIFY(s.Combo(1722)->isEnabled());
    QVERIFY(!s.Combo(1851)->isEnabled());
    QVERIFY(s.Label(1771)->isEnabled());
  }

  void colourProfile() {
    Session s(kColor);
    QCOMPARE(Items(s.Combo(1698)), QStringList({"Mono8", "RGB8"}));
    QCOMPARE(Items(s.Combo(1743)), QStringList({"Green", "Blue", "Red"}));
    QCOMPARE(Items(s.Combo(1719)), QStringList({"Base", "EightyBit"}));
    QCOMPARE(s.Combo(1698)->currentText(), QString("RGB8"));
    QCOMPARE(s.Label(1813)->text(), QString("Bpp24"));
    QVERIFY(s.Combo(1851)->isEnabled());
    QVERIFY(s.Combo(1910)->isEnabled());
    QVERIFY(!s.Combo(1714)->isEnabled());
    QVERIFY(!s.Label(1771)->isEnabled());
  }

  void wideProfile() {
    Session s(kWide);
    QCOMPARE(ctrl::Commands().GetCommandAddress(55), std::string("0x0120C054"));
    QVERIFY(!s.Combo(1691)->isEnabled());
    QVERIFY(!s.window->FindControl(1830)->isEnabled());
    QVERIFY(s.Edit(1819)->isEnabled());
    QVERIFY(s.Combo(1827)->isEnabled());
    QCOMPARE(s.Spin(1737)->maximum(), 16384);
    QCOMPARE(Items(s.Combo(1698)).contains("Mono12P"), s.camera.device_version_number() < 200);
  }

  // ---- Derived and monitored values ----

  void lineTimingFollowsTheTickLengthOfTheModel() {
    Session mono(kMono);
    mono.Type(1701, "8000");
    QCOMPARE(mono.Edit(1912)->text(), QString("100.0000us"));
    QCOMPARE(mono.Label(1762)->text(), QString("10000.0000hz"));
  }

  void lineTimeTypedInMicrosecondsReachesTheCamera() {
    Session s(kMono);
    s.Type(1912, "120");
    QCOMPARE(s.Peek(34), 9600);
    QCOMPARE(s.Edit(1701)->text(), QString("9600"));
    QCOMPARE(s.Edit(1912)->text(), QString("120.0000us"));
  }

  // Moving through the edits without typing, by Tab or by Enter, changes nothing in the camera,
  // also where a shown value does not survive the trip back through its format (the
  // microsecond edits of a wide camera of version 2.00 or later).
  void focusMovesThroughUntouchedEditsSendNothing_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("version");
    QTest::newRow("mono") << kMono << "2.00";
    QTest::newRow("colour") << kColor << "2.00";
    QTest::newRow("wide 2.00") << kWide << "2.00";
    QTest::newRow("wide 1.99") << kWide << "1.99";
  }
  void focusMovesThroughUntouchedEditsSendNothing() {
    QFETCH(QString, model);
    QFETCH(QString, version);
    Session s(model.toStdString());
    s.camera.SetDeviceVersion(version.toStdString());
    s.window->ReloadAllParameters();  // with that version
    int edits = 0;
    for (const ctrl::ui::PageLayout& page : ctrl::ui::PageLayouts()) {
      for (const ctrl::ui::GroupLayout& group : page.groups) {
        for (const ctrl::ui::ControlLayout& control : group.controls) {
          if (control.kind != ctrl::ui::ControlKind::kEditSpin &&
              control.kind != ctrl::ui::ControlKind::kUnitEdit) {
            continue;
          }
          QLineEdit* edit = s.Edit(control.id);
          const QString shown = edit->text();
          const size_t from = s.trace.lines.size();
          QFocusEvent focus_out(QEvent::FocusOut, Qt::TabFocusReason);
          QApplication::sendEvent(edit, &focus_out);
          QTest::keyClick(edit, Qt::Key_Return);
          for (size_t i = from; i < s.trace.lines.size(); ++i) {
            QVERIFY2(s.trace.lines[i].rfind("Tx: wr ", 0) != 0,
                     qPrintable(QString("edit %1 sent %2")
                                    .arg(control.id)
                                    .arg(QString::fromStdString(s.trace.lines[i]))));
          }
          QCOMPARE(edit->text(), shown);
          ++edits;
        }
      }
    }
    QVERIFY2(edits > 30, qPrintable(QString::number(edits)));
  }

  void readoutsShowTheirFormats() {
    Session s(kMono);
    s.camera.Poke(s.Reg(12), 2450);
    s.camera.Poke(s.Reg(14), 1234);
    s.window->tabs()->setCurrentIndex(3);
    QTest::mouseClick(s.Button(1749), Qt::LeftButton);
    QTest::mouseClick(s.Button(1751), Qt::LeftButton);
    QCOMPARE(s.Label(1750)->text(), QString("45.0"));
    QCOMPARE(s.Label(1752)->text(), QString("1.234V"));
    s.camera.Poke(s.Reg(45), 77);
    QTest::mouseClick(s.Button(1791), Qt::LeftButton);
    QCOMPARE(s.Label(1786)->text(), QString("77"));
  }

  // ---- Finding, naming and reading the controls ----

  void searchGoesToTheParameterOnItsPage_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("factory");
    QTest::addColumn<QString>("choose");  // label of the hit to go to; empty: expect none
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("control");
    QTest::newRow("part of a label") << "expo" << 0 << "Exposure Time"
                                     << "User A" << 1704;
    QTest::newRow("any case, blanks around") << "  GAMMA " << 0 << "Gamma"
                                             << "User B" << 1712;
    QTest::newRow("register address")
        << QString::fromStdString(ctrl::Commands().GetCommandAddress(60)).toLower() << 0 << "Gamma"
        << "User B" << 1712;
    QTest::newRow("factory page in factory mode") << "termin" << 1 << "Terminal"
                                                  << "Factory A" << 1010;
    QTest::newRow("factory page hidden otherwise") << "termin" << 0 << ""
                                                   << "" << 0;
    QTest::newRow("nothing matches") << "zzz" << 0 << ""
                                     << "" << 0;
  }

  void searchGoesToTheParameterOnItsPage() {
    QFETCH(QString, query);
    QFETCH(int, factory);
    QFETCH(QString, choose);
    QFETCH(QString, page);
    QFETCH(int, control);
    Session s(kMono);
    if (factory != 0) s.window->ToggleFactoryMode();
    s.window->tabs()->setCurrentIndex(s.window->tabs()->count() - 1);
    QVERIFY(s.window->find_action()->shortcut() == QKeySequence(QKeySequence::Find));
    s.window->find_action()->trigger();
    ctrl::ui::ParameterSearchDialog* search = s.window->search();
    QVERIFY(search->isVisible());
    QTest::keyClicks(search->field(), query);
    const auto& hits = search->hits();
    if (choose.isEmpty()) {
      QVERIFY(hits.empty());
      QCOMPARE(search->results()->count(), 1);  // the "No parameter matches." line
      QTest::keyClick(search->field(), Qt::Key_Return);
      QVERIFY(search->isVisible());
      return;
    }
    int row = -1;
    for (size_t i = 0; i < hits.size(); ++i) {
      if (hits[i].label == choose.toStdString()) row = static_cast<int>(i);
    }
    QVERIFY2(row >= 0, qPrintable(choose));
    if (query == "expo") {
      QStringList labels;
      for (const auto& hit : hits) labels << QString::fromStdString(hit.label);
      for (const char* label : {"Exposure Mode", "Exposure Time", "Exposure Time Min",
                                "Exposure Time Max", "Measured Exposure Time"}) {
        QVERIFY2(labels.contains(label), qPrintable(labels.join(", ")));
      }
    }
    for (int step = 0; step < row; ++step) QTest::keyClick(search->field(), Qt::Key_Down);
    QTest::keyClick(search->field(), Qt::Key_Return);
    QVERIFY(!search->isVisible());
    QCOMPARE(s.window->tabs()->tabText(s.window->tabs()->currentIndex()), page);
    QCOMPARE(s.window->focusWidget(), s.window->FindControl(control));
  }

  void pagesNameTheirControlsAndTabThroughThemColumnByColumn() {
    Session s(kColor);
    s.window->ToggleFactoryMode();
    QTabWidget* tabs = s.window->tabs();
    for (int t = 0; t < tabs->count(); ++t) {
      tabs->setCurrentIndex(t);
      QWidget* page = tabs->currentWidget();
      // Labels name their controls.
      for (const auto& layout : ctrl::ui::PageLayouts()) {
        if (QString::fromUtf8(layout.title.data(), layout.title.size()) != tabs->tabText(t)) {
          continue;
        }
        for (const auto& group : layout.groups) {
          for (const auto& control : group.controls) {
            QLabel* label = s.window->pages().LabelOf(control.id);
            QWidget* widget = s.window->FindControl(control.id);
            if (label == nullptr || control.hidden) continue;
            if (widget->focusPolicy() != Qt::NoFocus) {
              QCOMPARE(label->buddy(), widget);
            } else {
              QCOMPARE(widget->accessibleName(), label->text());
            }
          }
        }
      }
      // Tab visits the page's controls column by column, each box top to bottom.
      std::vector<QWidget*> stops;
      QWidget* first = nullptr;
      for (QWidget* w = page->nextInFocusChain(); w != page && stops.size() < 500;
           w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w) || !w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) ||
            s.window->pages().IdOf(w) == 0) {
          continue;
        }
        if (w == first) break;
        if (first == nullptr) first = w;
        stops.push_back(w);
      }
      QVERIFY2(stops.size() >= 3, qPrintable(tabs->tabText(t)));
      const auto box_of = [](QWidget* w) {
        QWidget* box = w;
        while (box != nullptr && qobject_cast<QGroupBox*>(box) == nullptr)
          box = box->parentWidget();
        return box;
      };
      for (size_t i = 1; i < stops.size(); ++i) {
        QWidget* a = stops[i - 1];
        QWidget* b = stops[i];
        const QPoint pa = a->mapTo(page, QPoint(0, 0));
        const QPoint pb = b->mapTo(page, QPoint(0, 0));
        const QPoint box_a = box_of(a)->mapTo(page, QPoint(0, 0));
        const QPoint box_b = box_of(b)->mapTo(page, QPoint(0, 0));
        const QString where = tabs->tabText(t) + ": " + QString::number(s.window->pages().IdOf(a)) +
                              " -> " + QString::number(s.window->pages().IdOf(b));
        if (box_of(a) == box_of(b)) {
          QVERIFY2(pa.y() < pb.y() || (pa.y() == pb.y() && pa.x() < pb.x()), qPrintable(where));
        } else if (box_a.x() == box_b.x()) {
          QVERIFY2(box_a.y() < box_b.y(), qPrintable(where));
        } else {
          QVERIFY2(box_a.x() < box_b.x(), qPrintable(where));
        }
      }
    }
  }

  void readoutsLookAlikeWithTheirUnitsOnEvenRows() {
    Session s(kMono);
    s.window->tabs()->setCurrentIndex(0);
    const int edit_height = s.Edit(1704)->height();
    for (int readout : {1764, 1765, 1770, 1771, 1766, 1767, 1772}) {
      QCOMPARE(s.Label(readout)->height(), edit_height);
      QVERIFY(s.Label(readout)->frameShape() != QFrame::NoFrame);
    }
    // Rows with a "Read" button are as tall as the others.
    const auto y = [&](int id) {
      return s.window->FindControl(id)->mapTo(s.window.get(), QPoint()).y();
    };
    QCOMPARE(y(1765) - y(1764), y(1770) - y(1765));  // MIN (Read) -> MAX -> Measured (Read)
    QCOMPARE(y(1770) - y(1765), y(1771) - y(1770));
    // The read-only Height shows no arrows; the editable Width does.
    QVERIFY(s.Edit(1811)->isVisible());
    QVERIFY(!s.Spin(1812)->isVisible());
    QVERIFY(s.Spin(1697)->isVisible());
    // The temperature format carries no unit: the page writes it beside the readout.
    s.window->tabs()->setCurrentIndex(3);
    QLabel* temperature = s.Label(1750);
    bool unit_shown = false;
    for (QLabel* sibling : temperature->parentWidget()->findChildren<QLabel*>()) {
      unit_shown = unit_shown || (sibling->text() == QString::fromUtf8("\u00B0C") &&
                                  sibling->isVisible() && sibling->x() > temperature->x());
    }
    QVERIFY(unit_shown);
  }

  // At twice the scale a 2560x1440 screen is 1280x720: the window must fit it on every page.
  void mainWindowFitsAHalfSizeScreenForEveryKind() {
    for (const char* model : {kMono, kColor, kWide}) {
      Session s(model);
      s.window->ToggleFactoryMode();
      const QSize size = s.window->sizeHint();
      QVERIFY2(size.width() <= 1280 && size.height() <= 720,
               qPrintable(QString("%1: %2x%3").arg(model).arg(size.width()).arg(size.height())));
    }
  }

  void toolTipsFollowTheConnectedModel() {
    Session mono(kMono);
    Session color(kColor);
    const QString mono_tip = mono.Combo(1698)->toolTip();
    const QString color_tip = color.Combo(1698)->toolTip();
    QVERIFY2(mono_tip.contains("Mono12P") && !mono_tip.contains("RGB8"), qPrintable(mono_tip));
    QVERIFY2(color_tip.contains("RGB8") && !color_tip.contains("Mono12P"), qPrintable(color_tip));
    QCOMPARE(mono.window->pages().LabelOf(1698)->toolTip(), mono_tip);
    QVERIFY(mono.Spin(1713)->toolTip().contains("Gamma"));
  }

  // ---- Keyboard, tabs and leaving ----

  void factorySequenceTogglesTheFactoryPage() {
    Session s(kMono);
    QTabBar* bar = s.window->tabs()->tabBar();
    auto type_sequence = [&](const std::vector<Qt::Key>& letters) {
      QTest::keyClick(bar, Qt::Key_F12, Qt::ShiftModifier | Qt::ControlModifier);
      for (Qt::Key key : letters) QTest::keyClick(bar, key);
    };
    type_sequence({Qt::Key_Q, Qt::Key_X, Qt::Key_V, Qt::Key_Z});
    QCOMPARE(s.window->tabs()->count(), 4);
    s.window->tabs()->setCurrentIndex(2);
    type_sequence({Qt::Key_Q, Qt::Key_V, Qt::Key_Z});
    QCOMPARE(s.window->tabs()->count(), 5);
    QCOMPARE(s.window->tabs()->tabText(4), QString("Factory A"));
    QCOMPARE(s.window->tabs()->currentIndex(), 0);
    QCOMPARE(s.factory_mode, 1);
    QVERIFY(!s.window->FindControl(1793)->isVisible());
    QVERIFY(!s.Button(1021)->isEnabled());
    type_sequence({Qt::Key_Q, Qt::Key_V, Qt::Key_Z});
    QCOMPARE(s.window->tabs()->count(), 4);
    QCOMPARE(s.factory_mode, 0);
  }

  void escapeInControlsIsSwallowedButOnTheTabsItAsks() {
    Session s(kMono);
    QTest::keyClick(s.Edit(1708), Qt::Key_Escape);
    QTest::keyClick(s.Button(1768), Qt::Key_Escape);
    QTest::keyClick(s.Combo(1698), Qt::Key_Escape);
    QVERIFY(s.notifier.questions.empty());
    QTest::keyClick(s.window->tabs()->tabBar(), Qt::Key_Escape);
    QCOMPARE(s.notifier.questions.size(), size_t{1});
    QCOMPARE(s.notifier.questions[0].text,
             std::string("Are you sure to terminate the Camera Control Tool ?"));
    QCOMPARE(s.notifier.questions[0].caption, std::string("Confirm"));
    QVERIFY(s.window->isVisible());
  }

  void exitAsksAndOnlyYesCloses() {
    Session s(kMono);
    s.window->menu_action(2)->trigger();
    QVERIFY(s.window->isVisible());
    s.notifier.answers.push_back(true);
    s.window->close();
    QVERIFY(!s.window->isVisible());
    QCOMPARE(s.notifier.questions.size(), size_t{2});
  }

  void deviceResetClosesWithoutTheExitQuestion() {
    Session s(kMono);
    s.notifier.answers.push_back(true);
    QTest::mouseClick(s.Button(1800), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(s.notifier.questions.size(), size_t{1});
    QCOMPARE(
        s.notifier.questions[0].text,
        std::string("Are you sure to terminate the Camera Control Tool and reset the camera ?"));
    QVERIFY(s.trace.Sent("wr " + std::string(ctrl::Commands().GetCommandAddress(17)) + " 1"));
    QVERIFY(s.window->reset_requested());
    QVERIFY(!s.window->isVisible());
  }

  void menuHasEveryItemAndReloadReadsAgain() {
    Session s(kMono);
    for (int id : {30008, 30011, 30012, 2, 30002, 30004, 30003, 30000, 30005, 30006, 30007, 30009,
                   30001, 30010}) {
      QVERIFY2(s.window->menu_action(id) != nullptr, qPrintable(QString::number(id)));
    }
    s.camera.Poke(s.Reg(57), 999);
    s.window->menu_action(30002)->trigger();
    QCOMPARE(s.Edit(1708)->text(), QString("999"));
  }
};

QTEST_MAIN(UiMainWindowTest)
#include "main_window_test.moc"
