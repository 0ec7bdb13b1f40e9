// The terminal against the simulated camera: what a typed line sends, how replies arrive, the
// recall of earlier lines, the time stamps, the limit and the saved file, the layout rules.
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>

#include "dialog_session.h"
#include "ui/communication_dialog.h"
#include "ui/file_dialogs.h"
#include "ui/terminal_dialog.h"

namespace {

using ctrl::test::DialogSession;
constexpr int kTerminalButton = 1010;

// The terminal as the operator opens it: the "Terminal" button of the factory page.
CTerminalDialog& OpenTerminal(DialogSession& s) {
  s.window->tabs()->setCurrentIndex(4);
  QTest::mouseClick(qobject_cast<QPushButton*>(s.window->FindControl(kTerminalButton)),
                    Qt::LeftButton);
  return *s.window->terminal();
}

QLineEdit* Edit(CTerminalDialog& terminal) {
  return qobject_cast<QLineEdit*>(terminal.Control(CTerminalDialog::kCommandEdit));
}

void Type(CTerminalDialog& terminal, const QString& text) {
  Edit(terminal)->setText(text);
  QTest::keyClick(Edit(terminal), Qt::Key_Return);
}

std::chrono::system_clock::time_point At(int hour, int minute, int second, int ms) {
  using namespace std::chrono;
  return system_clock::time_point(hours(24 * 19000 + hour) + minutes(minute) + seconds(second) +
                                  milliseconds(ms));
}

}  // namespace

class TerminalTest : public QObject {
  Q_OBJECT

 private slots:
  void enterSendsTheLineAndTheReplyArrivesOnTheIdleTimer() {
    DialogSession s("QX-4096M-PCL", /*factory=*/1);
    CTerminalDialog& terminal = OpenTerminal(s);
    QVERIFY(terminal.isVisible());
    QCOMPARE(terminal.windowTitle(), QString("RS-232C TERMINAL"));
    const std::string request = "rd " + s.Addr(57);
    Type(terminal, QString::fromStdString(request));
    QCOMPARE(s.traffic.lines.back(), "Tx: " + request);
    QVERIFY(terminal.log().At(0).endsWith(QString::fromStdString("  Tx: " + request)));
    s.engine.OnIdleTimer();
    QCOMPARE(s.traffic.lines.back(), std::string("Rx: OK>"));
    QVERIFY(terminal.log().At(0).endsWith("  Rx: OK>"));
    QCOMPARE(s.window->communication()->messages().At(0), QString("Rx: OK>"));
    // The line stays for editing or sending again.
    QCOMPARE(Edit(terminal)->text(), QString::fromStdString(request));
  }

  void anEmptyLineSendsTheLineEndAlone() {
    DialogSession s("QX-4096M-PCL", 1);
    CTerminalDialog& terminal = OpenTerminal(s);
    const uint64_t served = s.front_end.requests_served();
    Type(terminal, "");
    QCOMPARE(s.traffic.lines.back(), std::string("Tx: "));
    QCOMPARE(s.front_end.requests_served(), served + 1);
  }

  void upAndDownRecallEarlierLines() {
    DialogSession s("QX-4096M-PCL", 1);
    CTerminalDialog& terminal = OpenTerminal(s);
    Type(terminal, "first");
    Type(terminal, "second");
    Type(terminal, "second");  // a repeat is remembered once
    Edit(terminal)->setText("draft");
    QTest::keyClick(Edit(terminal), Qt::Key_Up);
    QCOMPARE(Edit(terminal)->text(), QString("second"));
    QTest::keyClick(Edit(terminal), Qt::Key_Up);
    QCOMPARE(Edit(terminal)->text(), QString("first"));
    QTest::keyClick(Edit(terminal), Qt::Key_Up);
    QCOMPARE(Edit(terminal)->text(), QString("first"));
    QTest::keyClick(Edit(terminal), Qt::Key_Down);
    QCOMPARE(Edit(terminal)->text(), QString("second"));
    QTest::keyClick(Edit(terminal), Qt::Key_Down);
    QCOMPARE(Edit(terminal)->text(), QString("draft"));
    // A recalled line is sent like a typed one.
    QTest::keyClick(Edit(terminal), Qt::Key_Up);
    QTest::keyClick(Edit(terminal), Qt::Key_Up);
    QTest::keyClick(Edit(terminal), Qt::Key_Return);
    QCOMPARE(s.traffic.lines.back(), std::string("Tx: first"));
  }

  void linesCarryMinuteSecondAndMillisecond() {
    DialogSession s;
    CTerminalDialog& terminal = *s.window->terminal();
    terminal.set_now([] { return At(14, 5, 7, 42); });
    QVERIFY(terminal.AppendTerminalLine("x"));
    QCOMPARE(terminal.log().At(0), QString("05:07:042  x"));
  }

  void theLogKeeps32786Lines() {
    DialogSession s;
    CTerminalDialog& terminal = *s.window->terminal();
    terminal.Clear();
    for (int i = 0; i <= 32786; ++i) terminal.AppendTerminalLine(std::to_string(i));
    QCOMPARE(terminal.log().rowCount(), 32786);
    QVERIFY(terminal.log().At(0).endsWith("  32786"));
    QVERIFY(terminal.log().At(32785).endsWith("  1"));
  }

  void saveWritesTopToBottomAndReportsWithAStamp() {
    DialogSession s("QX-4096M-PCL", 1);
    CTerminalDialog& terminal = OpenTerminal(s);
    terminal.set_now([] { return At(1, 2, 3, 4); });
    QTest::mouseClick(qobject_cast<QPushButton*>(terminal.Control(CTerminalDialog::kClearButton)),
                      Qt::LeftButton);
    terminal.AppendTerminalLine("Tx: A");
    terminal.AppendTerminalLine("Rx: B");
    QTemporaryDir folder;
    s.file_dialogs.Choose(folder.filePath("log.csv"));
    QTest::mouseClick(qobject_cast<QPushButton*>(terminal.Control(CTerminalDialog::kSaveButton)),
                      Qt::LeftButton);
    QFile file(folder.filePath("log.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), QString("02:03:004  Rx: B\n02:03:004  Tx: A\n"));
    QCOMPARE(terminal.log().At(0), QString("02:03:004  Writing file has been done !"));
    const auto& request = s.file_dialogs.requests.back();
    QCOMPARE(request.filter, QString("CSV file (*.csv) | *.csv"));
    QCOMPARE(request.default_suffix, QString("csv"));
    QCOMPARE(request.owner, static_cast<QWidget*>(&terminal));

    s.file_dialogs.choices.push_back({9, {}});
    terminal.Save();
    QCOMPARE(s.notifier.messages.back().text, std::string("Error in Load Dialog!"));
    QCOMPARE(s.notifier.messages.back().caption, std::string("Load Error"));
  }

  void aNameWithoutExtensionGetsTheDefault_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("saved");
    QTest::newRow("bare name") << "/d/log"
                               << "csv"
                               << "/d/log.csv";
    QTest::newRow("own extension kept") << "/d/log.txt"
                                        << "csv"
                                        << "/d/log.txt";
    QTest::newRow("dot in the folder only") << "/d.x/log"
                                            << "cam"
                                            << "/d.x/log.cam";
    QTest::newRow("nothing chosen") << ""
                                    << "cam"
                                    << "";
  }
  void aNameWithoutExtensionGetsTheDefault() {
    QFETCH(QString, chosen);
    QFETCH(QString, suffix);
    QFETCH(QString, saved);
    QCOMPARE(ctrl::ui::WithDefaultSuffix(chosen, suffix), saved);
  }

  void controlsFollowTheWindowSize() {
    DialogSession s("QX-4096M-PCL", 1);
    CTerminalDialog& terminal = OpenTerminal(s);
    terminal.resize(640, 420);
    QCOMPARE(terminal.Control(CTerminalDialog::kCommandEdit)->geometry(), QRect(10, 10, 550, 20));
    QCOMPARE(terminal.Control(CTerminalDialog::kLogList)->geometry(), QRect(10, 42, 550, 358));
    QCOMPARE(terminal.Control(CTerminalDialog::kCloseButton)->geometry(), QRect(570, 10, 60, 20));
    QCOMPARE(terminal.Control(CTerminalDialog::kSendButton)->geometry(), QRect(570, 34, 60, 20));
    QCOMPARE(terminal.Control(CTerminalDialog::kClearButton)->geometry(), QRect(570, 58, 60, 20));
    QCOMPARE(terminal.Control(CTerminalDialog::kSaveButton)->geometry(), QRect(570, 82, 60, 20));
    QCOMPARE(terminal.Control(CTerminalDialog::kStatusStrip)->geometry(), QRect(4, 408, 632, 8));
  }

  void escapeAndCloseOnlyHide() {
    DialogSession s("QX-4096M-PCL", 1);
    CTerminalDialog& terminal = OpenTerminal(s);
    Edit(terminal)->setText("typed");
    QTest::keyClick(Edit(terminal), Qt::Key_Escape);
    QVERIFY(!terminal.isVisible());
    QCOMPARE(terminal.command_text(), QString("typed"));
    OpenTerminal(s);
    QVERIFY(terminal.isVisible());
    QCOMPARE(Edit(terminal)->text(), QString("typed"));
    QTest::mouseClick(qobject_cast<QPushButton*>(terminal.Control(CTerminalDialog::kCloseButton)),
                      Qt::LeftButton);
    QVERIFY(!terminal.isVisible());
    QVERIFY(s.traffic.Count("Tx: typed") == 0);
  }
};

QTEST_MAIN(TerminalTest)
#include "terminal_test.moc"
