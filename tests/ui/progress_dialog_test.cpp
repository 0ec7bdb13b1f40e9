// The progress window shows its whole message: the LUT transfers' texts with their running count
// are the longest it is given, and it must widen for them without jumping back while they run.
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QtTest>

#include "camera/clock.h"
#include "lut/lut_transfer.h"
#include "ui/progress_dialog.h"

namespace {

QLabel* MessageLabel(CProgressBarDialog& dialog) {
  return dialog.findChild<QLabel*>();
}

// Room the layout leaves for the message inside the window.
int MessageRoom(CProgressBarDialog& dialog) {
  const QMargins margins = dialog.layout()->contentsMargins();
  return dialog.width() - margins.left() - margins.right();
}

}  // namespace

class ProgressDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void theWholeMessageFits_data() {
    QTest::addColumn<QString>("opening");
    QTest::addColumn<QString>("running");
    QTest::addColumn<bool>("shown_first");
    const QString count = " (4096 / 4096)";
    for (const bool writing : {false, true}) {
      for (int table = 0; table < ctrl::kLutTableCount; ++table) {
        for (const bool monochrome : {false, true}) {
          const QString text =
              QString::fromStdString(ctrl::LutProgressText(writing, table, monochrome));
          for (const bool shown : {false, true}) {
            QTest::addRow("%s table %d%s%s", writing ? "write" : "read", table,
                          monochrome ? " mono" : "", shown ? " shown" : "")
                << text << text + count << shown;
          }
        }
      }
    }
    QTest::addRow("settings") << "Now, reading camera settings."
                              << "Now, reading camera settings." << false;
  }

  void theWholeMessageFits() {
    QFETCH(QString, opening);
    QFETCH(QString, running);
    QFETCH(bool, shown_first);
    ctrl::FakeClock clock;
    CProgressBarDialog dialog(clock);
    if (shown_first) dialog.OpenProgress("Now, Storing camera data.");
    dialog.OpenProgress(opening.toStdString());
    QLabel* label = MessageLabel(dialog);
    QVERIFY(label != nullptr);
    QVERIFY2(label->sizeHint().width() <= MessageRoom(dialog), qPrintable(opening));
    dialog.SetProgressMessage(running.toStdString());
    QCOMPARE(dialog.message(), running);
    QVERIFY2(label->sizeHint().width() <= MessageRoom(dialog),
             qPrintable(QString("%1: needs %2, has %3")
                            .arg(running)
                            .arg(label->sizeHint().width())
                            .arg(MessageRoom(dialog))));
    // Once laid out, the label itself is given the room.
    QApplication::processEvents();
    QVERIFY(label->width() >= label->sizeHint().width());
  }

  // A shorter count must not make the window jump back while the transfer runs.
  void aShorterMessageKeepsTheWidth() {
    ctrl::FakeClock clock;
    CProgressBarDialog dialog(clock);
    const std::string text = ctrl::LutProgressText(true, 2, false);
    dialog.OpenProgress(text);
    dialog.SetProgressMessage(text + " (4096 / 4096)");
    const int widest = dialog.width();
    dialog.SetProgressMessage(text + " (1 / 4096)");
    QCOMPARE(dialog.width(), widest);
    dialog.OpenProgress("Now, reading camera settings.");
    QCOMPARE(dialog.width(), widest);
  }
};

QTEST_MAIN(ProgressDialogTest)
#include "progress_dialog_test.moc"
