// The LUT editor windows and the LUT menu against the simulated camera: which windows a camera
// kind gets, what the mouse does to the edit points and the table, what reaches the camera's LUT
// memory, the files the menu writes and reads, and that a camera going silent mid-transfer
// leaves the tool usable.
#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialogs/dialog_session.h"
#include "lut/lut_flows.h"
#include "ui/communication_dialog.h"
#include "ui/lut_dialog.h"
#include "ui/lut_windows.h"
#include "ui/spin_arrows.h"
#include "ui/status_strip.h"

namespace {

using ctrl::EditPoint;
using ctrl::LutMode;
using ctrl::test::DialogSession;

constexpr char kMono[] = "QX-4096M-PCL";
constexpr char kWideMono[] = "QX-8192M-PCL";
constexpr char kColor[] = "QX-4096TR-PCL";

constexpr int kOpenLutTableButton = 1132;
constexpr int kLutSaveButton = 1760;
constexpr int kLutLoadButton = 1759;
constexpr int kLutIndexEdit = 1744;
constexpr int kLutValueEdit = 1746;
constexpr int kOpenLutFile = 30006;
constexpr int kSaveLutFile = 30007;
constexpr int kLoadAllLut = 30009;

CLUTDlg* Editor(DialogSession& s, int table) {
  return s.window->luts().editor_window(table);
}

QPushButton* Button(CLUTDlg* editor, int id) {
  return qobject_cast<QPushButton*>(editor->Control(id));
}

QString ModeText(CLUTDlg* editor) {
  return qobject_cast<QLabel*>(editor->Control(CLUTDlg::kModeLabel))->text();
}

// Window position of a plot position (the plot's outer corner is where mouse input starts).
QPoint At(int plot_x, int plot_y) {
  return {ctrl::kPlotOriginX + plot_x, ctrl::kPlotOriginY + plot_y};
}

// The window as it paints; painting also makes an Edit Mode table follow its points.
QImage Paint(CLUTDlg* editor) {
  return editor->grab().toImage();
}

// True when a pixel of exactly this colour lies within `radius` of the plot position.
bool ColourNear(const QImage& window, int plot_x, int plot_y, const QColor& colour,
                int radius = 2) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      // The plot's client area starts inside its 2-pixel sunken edge.
      const QPoint pixel = At(plot_x + dx, plot_y + dy) + QPoint(2, 2);
      if (window.pixelColor(pixel) == colour) return true;
    }
  }
  return false;
}

void Trigger(DialogSession& s, int command) {
  QAction* action = s.window->menu_action(command);
  QVERIFY(action->isEnabled());
  action->trigger();
}

void ClickPageButton(DialogSession& s, int id) {
  auto* button = qobject_cast<QPushButton*>(s.window->FindControl(id));
  QVERIFY(button != nullptr);
  QVERIFY(button->isEnabled());
  button->click();
}

// A recognisable camera table: never a straight line, every value in range.
uint16_t Pattern(int table, int index) {
  return static_cast<uint16_t>((index * 7 + table * 1000) % 4096);
}

void FillCamera(DialogSession& s, int table) {
  for (int i = 0; i < ctrl::kLutEntryCount; ++i) s.camera.SetLutEntry(table, i, Pattern(table, i));
}

bool TableMatchesCamera(DialogSession& s, int table) {
  const ctrl::LutTable& held = s.window->luts().bank().table(table);
  for (int i = 0; i < ctrl::kLutEntryCount; ++i) {
    if (held[i] != s.camera.LutEntry(table, i)) return false;
  }
  return true;
}

QStringList FileLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool EveryWindowEnabled(DialogSession& s) {
  bool enabled = s.window->isEnabled() && s.window->communication()->isEnabled();
  for (int t = 0; t < ctrl::kLutTableCount; ++t) enabled = enabled && Editor(s, t)->isEnabled();
  return enabled;
}

}  // namespace

class LutWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- Which windows a camera gets ----

  void openLutTableShowsTheWindowsOfTheCameraKind_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("titles");  // per table; empty: stays hidden
    QTest::newRow("mono") << kMono << QStringList{"", "LUT Setting for Monochrome", ""};
    QTest::newRow("wide mono") << kWideMono << QStringList{"", "LUT Setting for Monochrome", ""};
    QTest::newRow("colour") << kColor
                            << QStringList{"LUT Setting for Red", "LUT Setting for Green",
                                           "LUT Setting for Blue"};
  }
  void openLutTableShowsTheWindowsOfTheCameraKind() {
    QFETCH(QString, model);
    QFETCH(QStringList, titles);
    DialogSession s(model.toStdString());
    for (int t = 0; t < ctrl::kLutTableCount; ++t) {
      QVERIFY(Editor(s, t) != nullptr);
      QVERIFY(!Editor(s, t)->isVisible());
    }
    ClickPageButton(s, kOpenLutTableButton);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) {
      QCOMPARE(Editor(s, t)->isVisible(), !titles[t].isEmpty());
      if (!titles[t].isEmpty()) QCOMPARE(Editor(s, t)->windowTitle(), titles[t]);
    }
  }

  // A new window is in Edit Mode with the straight line in its table's colour, over the grid.
  void newWindowDrawsTheDiagonalInItsColour() {
    DialogSession s(kColor);
    ClickPageButton(s, kOpenLutTableButton);
    const QColor grid(100, 50, 100);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) {
      CLUTDlg* editor = Editor(s, t);
      const QImage image = Paint(editor);
      QCOMPARE(ModeText(editor), QString("Edit Mode"));
      const QColor curve = ctrl::ui::LutCurveColour(t);
      QVERIFY2(ColourNear(image, 128, 128, curve), qPrintable(QString::number(t)));
      QVERIFY(ColourNear(image, 64, 192, curve));
      QVERIFY(!ColourNear(image, 64, 64, curve, 6));  // nothing off the diagonal
      QCOMPARE(image.pixelColor(At(75, 10) + QPoint(2, 2)), grid);
      QCOMPARE(image.pixelColor(At(10, 230) + QPoint(2, 2)), grid);
      // The paint made the table follow the line: output about equal to input.
      const ctrl::LutTable& table = s.window->luts().bank().table(t);
      for (int i = 0; i < ctrl::kLutEntryCount; i += 97) QVERIFY(std::abs(table[i] - i) <= 5);
    }
  }

  void monochromeWindowDrawsGreen() {
    DialogSession s(kMono);
    ClickPageButton(s, kOpenLutTableButton);
    const QImage image = Paint(Editor(s, ctrl::kGreenLut));
    QVERIFY(ColourNear(image, 128, 128, QColor(0, 255, 0)));
  }

  // ---- Mouse editing on the plot ----

  void leftPressOverEmptyPlotAddsAPointThatFollowsTheMouse() {
    DialogSession s(kColor);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kRedLut);
    QTest::mousePress(editor, Qt::LeftButton, {}, At(128, 60));
    QTest::mouseMove(editor, At(130, 50));
    QTest::mouseMove(editor, At(128, 40));
    QTest::mouseRelease(editor, Qt::LeftButton, {}, At(128, 40));
    const std::vector<EditPoint> expected{{0, 256}, {128, 40}, {256, 0}};
    QCOMPARE(editor->editor().points(), expected);
    Paint(editor);
    // The curve passes through the new point: input 2048 now maps to (256 - 40) x 16.
    QVERIFY(std::abs(s.window->luts().bank().table(ctrl::kRedLut)[2048] - 216 * 16) <= 16);
    // A move without a button changes nothing.
    QTest::mouseMove(editor, At(200, 200));
    QCOMPARE(editor->editor().points(), expected);
  }

  void leftDragMovesAPointAndStopsAtTheEdgeOfThePlot() {
    DialogSession s(kColor);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kBlueLut);
    QTest::mouseClick(editor, Qt::LeftButton, {}, At(100, 100));
    // Grab it 20 pixels off and drag it up in small steps, then out of the plot at the top.
    QTest::mousePress(editor, Qt::LeftButton, {}, At(110, 115));
    for (int y = 95; y >= 5; y -= 10) QTest::mouseMove(editor, At(120, y));
    QTest::mouseMove(editor, At(120, -3));
    QTest::mouseRelease(editor, Qt::LeftButton, {}, At(120, -30));
    const std::vector<EditPoint> expected{{0, 256}, {120, 5}, {256, 0}};
    QCOMPARE(editor->editor().points(), expected);
  }

  void rightClickDeletesInnerPointsButNeverTheEnds() {
    DialogSession s(kMono);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kGreenLut);
    QTest::mouseClick(editor, Qt::LeftButton, {}, At(80, 200));
    QTest::mouseClick(editor, Qt::LeftButton, {}, At(180, 120));
    QCOMPARE(editor->editor().points().size(), size_t{4});
    QTest::mouseClick(editor, Qt::RightButton, {}, At(2, 250));    // the first end point
    QTest::mouseClick(editor, Qt::RightButton, {}, At(250, 4));    // the last end point
    QTest::mouseClick(editor, Qt::RightButton, {}, At(100, 200));  // 20 off: out of reach
    QCOMPARE(editor->editor().points().size(), size_t{4});
    QTest::mouseClick(editor, Qt::RightButton, {}, At(190, 110));
    const std::vector<EditPoint> expected{{0, 256}, {80, 200}, {256, 0}};
    QCOMPARE(editor->editor().points(), expected);
  }

  // Both buttons held, or a button with the other pressed on top, edit nothing.
  void movesWithBothButtonsHeldAreIgnored() {
    DialogSession s(kMono);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kGreenLut);
    QTest::mouseClick(editor, Qt::LeftButton, {}, At(128, 128));
    const std::vector<EditPoint> before = editor->editor().points();
    const QPointF far = At(60, 40);
    QMouseEvent both(QEvent::MouseMove, far, editor->mapToGlobal(far), Qt::NoButton,
                     Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &both);
    const QPointF near = At(128, 128);
    QMouseEvent both_near(QEvent::MouseMove, near, editor->mapToGlobal(near), Qt::NoButton,
                          Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &both_near);
    QCOMPARE(editor->editor().points(), before);
  }

  // ---- Buttons of the window ----

  void convertEditableUsesTheSpinCountWithinTwoToSixteen() {
    DialogSession s(kMono);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kGreenLut);
    auto* spin = qobject_cast<ctrl::ui::SpinArrows*>(editor->Control(CLUTDlg::kPointCountSpin));
    auto* count = qobject_cast<QLineEdit*>(editor->Control(CLUTDlg::kPointCountEdit));
    QCOMPARE(count->text(), QString("8"));
    QVERIFY(count->isReadOnly());
    for (int i = 0; i < 12; ++i) spin->upButton()->click();
    QCOMPARE(count->text(), QString("16"));
    Paint(editor);
    Button(editor, CLUTDlg::kConvertButton)->click();
    QCOMPARE(editor->editor().points().size(), size_t{16});
    for (int i = 0; i < 20; ++i) spin->downButton()->click();
    QCOMPARE(editor->point_count(), 2);
    Button(editor, CLUTDlg::kConvertButton)->click();
    QCOMPARE(editor->editor().points().size(), size_t{2});
  }

  // A table read from the camera is shown as stored; "Convert Editable" turns it into points,
  // "Clear Table Data" back into the straight line, both in Edit Mode.
  void convertAndClearAfterAReadReturnToEditMode() {
    DialogSession s(kMono);
    FillCamera(s, ctrl::kGreenLut);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kGreenLut);
    Button(editor, CLUTDlg::kReadButton)->click();
    QCOMPARE(ModeText(editor), QString("View Mode"));
    const QImage viewed = Paint(editor);
    QVERIFY(TableMatchesCamera(s, ctrl::kGreenLut));  // the paint did not replace it
    // Input 16 x 40 holds (4480 + 1000) % 4096 = 1384, drawn at height 256 - 87.
    QVERIFY(ColourNear(viewed, 40, 169, QColor(0, 255, 0)));

    Button(editor, CLUTDlg::kConvertButton)->click();
    QCOMPARE(ModeText(editor), QString("Edit Mode"));
    QCOMPARE(editor->editor().points().size(), size_t{8});
    // The first point sits at the height of entry 0 (1000), the last at the top-right corner.
    QCOMPARE(editor->editor().points().front(), (EditPoint{0, 193}));
    QCOMPARE(editor->editor().points().back(), (EditPoint{256, 0}));

    Button(editor, CLUTDlg::kClearButton)->click();
    QCOMPARE(ModeText(editor), QString("Edit Mode"));
    const std::vector<EditPoint> line{{0, 256}, {256, 0}};
    QCOMPARE(editor->editor().points(), line);
    Paint(editor);
    QVERIFY(std::abs(s.window->luts().bank().table(ctrl::kGreenLut)[3000] - 3000) <= 5);
  }

  void escapeHidesAndKeepsThePointsEnterDoesNothing() {
    DialogSession s(kMono);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* editor = Editor(s, ctrl::kGreenLut);
    QTest::mouseClick(editor, Qt::LeftButton, {}, At(128, 30));
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(editor->isVisible());
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!editor->isVisible());
    ClickPageButton(s, kOpenLutTableButton);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->editor().points().size(), size_t{3});
  }

  // ---- Transfers with the camera ----

  // Read lands in the window's own table from the right camera LUT, values above 4095 are
  // clamped, and the camera's selector and index are put back.
  void readTableDataFetchesTheWindowsCameraLut() {
    DialogSession s(kColor);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) FillCamera(s, t);
    s.camera.SetLutEntry(ctrl::kRedLut, 9, 5000);
    s.camera.Poke(s.Reg(ctrl::cmd::kLutSelector), 1);
    s.camera.Poke(s.Reg(ctrl::cmd::kLutIndex), 77);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* red = Editor(s, ctrl::kRedLut);
    Button(red, CLUTDlg::kReadButton)->click();

    const ctrl::LutTable& table = s.window->luts().bank().table(ctrl::kRedLut);
    QCOMPARE(table[9], 4095);
    s.camera.SetLutEntry(ctrl::kRedLut, 9, 4095);
    QVERIFY(TableMatchesCamera(s, ctrl::kRedLut));
    QCOMPARE(s.Peek(ctrl::cmd::kLutSelector), 1);
    QCOMPARE(s.Peek(ctrl::cmd::kLutIndex), 77);
    QCOMPARE(s.window->progress().message(),
             QString("Now, reading camera lut data. [R] (4096 / 4096)"));
    QVERIFY(!s.window->progress().isVisible());
    QVERIFY(EveryWindowEnabled(s));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // The other windows keep their curves.
    QCOMPARE(ModeText(Editor(s, ctrl::kBlueLut)), QString("Edit Mode"));
    QVERIFY(std::abs(s.window->luts().bank().table(ctrl::kBlueLut)[100] - 100) <= 5);
  }

  // Write sends the curve the window shows into its own camera LUT and nowhere else, and the
  // window stays in Edit Mode.
  void writeTableDataSendsTheShownCurve() {
    DialogSession s(kColor);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) FillCamera(s, t);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* blue = Editor(s, ctrl::kBlueLut);
    QTest::mouseClick(blue, Qt::LeftButton, {}, At(64, 60));
    Paint(blue);
    Button(blue, CLUTDlg::kWriteButton)->click();

    const ctrl::LutTable expected = ctrl::LutTableFromPoints(blue->editor().points());
    QCOMPARE(s.window->luts().bank().table(ctrl::kBlueLut), expected);
    QVERIFY(TableMatchesCamera(s, ctrl::kBlueLut));
    for (int i = 0; i < ctrl::kLutEntryCount; i += 41) {
      QCOMPARE(s.camera.LutEntry(ctrl::kRedLut, i), Pattern(ctrl::kRedLut, i));
      QCOMPARE(s.camera.LutEntry(ctrl::kGreenLut, i), Pattern(ctrl::kGreenLut, i));
    }
    QCOMPARE(ModeText(blue), QString("Edit Mode"));
    QCOMPARE(s.window->progress().message(),
             QString("Now, writing camera lut data. [B] (4096 / 4096)"));
    QVERIFY(EveryWindowEnabled(s));
  }

  // The camera stops answering at entry 100: entries 0..99 are kept, the progress shows 100 of
  // 4096 and closes, every window is usable again and the strip shows offline.
  void cameraFallingSilentMidReadLeavesTheToolUsable() {
    DialogSession s(kMono);
    FillCamera(s, ctrl::kGreenLut);
    ClickPageButton(s, kOpenLutTableButton);
    CLUTDlg* green = Editor(s, ctrl::kGreenLut);
    bool editor_disabled_during_read = false;
    const std::string hundredth = "Tx: " + s.Write(ctrl::cmd::kLutIndex, 100);
    s.traffic.on_line = [&](const std::string& line) {
      if (line == "Tx: " + s.Write(ctrl::cmd::kLutIndex, 50)) {
        editor_disabled_during_read = !green->isEnabled() && !s.window->isEnabled();
      }
      if (line == hundredth) s.Silence(true);
    };
    Paint(green);
    const ctrl::LutTable before = s.window->luts().bank().table(ctrl::kGreenLut);
    Button(green, CLUTDlg::kReadButton)->click();

    QVERIFY(editor_disabled_during_read);
    const ctrl::LutTable& table = s.window->luts().bank().table(ctrl::kGreenLut);
    for (int i = 0; i < 100; ++i) QCOMPARE(table[i], static_cast<int32_t>(Pattern(1, i)));
    for (int i = 100; i < ctrl::kLutEntryCount; ++i) QCOMPARE(table[i], before[i]);
    // The value of entry 100 was asked three times, then the loop ended.
    int value_reads = 0;
    for (size_t i = s.traffic.Find(hundredth) + 1; i < s.traffic.lines.size(); ++i) {
      value_reads += s.traffic.lines[i].rfind("Tx: rd", 0) == 0 ? 1 : 0;
    }
    QCOMPARE(value_reads, 3);
    QCOMPARE(s.window->progress().message(),
             QString("Now, reading camera lut data.  (100 / 4096)"));
    QVERIFY(!s.window->progress().isVisible());
    QVERIFY(EveryWindowEnabled(s));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!qobject_cast<ctrl::ui::StatusStrip*>(green->Control(CLUTDlg::kStatusStrip))->online());
    QCOMPARE(ModeText(green), QString("View Mode"));
  }

  // ---- The LUT menu ----

  // Save after "No": the tables as they are, no camera traffic, the dialog as the tool asks it.
  void saveWithoutReadingWritesTheTablesAsTheyAre() {
    DialogSession s(kColor);
    ClickPageButton(s, kOpenLutTableButton);
    QTest::mouseClick(Editor(s, ctrl::kRedLut), Qt::LeftButton, {}, At(128, 20));
    for (int t = 0; t < ctrl::kLutTableCount; ++t) Paint(Editor(s, t));
    QTemporaryDir folder;
    const QString path = folder.filePath("gamma.csv");
    s.file_dialogs.Choose(path);
    s.notifier.answers = {false};
    const size_t lines_before = s.traffic.lines.size();
    Trigger(s, kSaveLutFile);

    QCOMPARE(s.notifier.questions.size(), size_t{1});
    QCOMPARE(s.notifier.questions[0].text, std::string("Read all lut data from the camera ?"));
    QCOMPARE(s.notifier.questions[0].caption, std::string("Confirm"));
    QCOMPARE(s.traffic.lines.size(), lines_before);
    const auto& request = s.file_dialogs.requests.at(0);
    QVERIFY(request.save);
    QCOMPARE(request.filter, QString(ctrl::kLutSaveFilter));
    QCOMPARE(request.default_suffix, QString("csv"));
    QVERIFY(request.initial_name.endsWith("/*.csv"));

    const QStringList lines = FileLines(path);
    QCOMPARE(lines.size(), 4097);
    QCOMPARE(lines[0], QString("GammaData (R G B)"));
    const auto& bank = s.window->luts().bank();
    for (int i : {0, 1, 2048, 4095}) {
      QCOMPARE(
          lines[i + 1],
          QString("%1,%2,%3").arg(bank.table(0)[i]).arg(bank.table(1)[i]).arg(bank.table(2)[i]));
    }
    // The red curve bulges above the other two.
    QVERIFY(bank.table(0)[2048] > bank.table(1)[2048] + 1000);
  }

  void saveAfterReadingHoldsTheCameraTables() {
    DialogSession s(kMono);
    FillCamera(s, ctrl::kGreenLut);
    QTemporaryDir folder;
    const QString path = folder.filePath("mono.csv");
    s.file_dialogs.Choose(path);
    s.notifier.answers = {true};
    Trigger(s, kSaveLutFile);
    const QStringList lines = FileLines(path);
    QCOMPARE(lines.size(), 4097);
    QCOMPARE(lines[0], QString("GammaData"));
    QCOMPARE(lines[301], QString::number(Pattern(ctrl::kGreenLut, 300)));
    QCOMPARE(lines[4096], QString::number(Pattern(ctrl::kGreenLut, 4095)));
    QVERIFY(s.window->isEnabled());
  }

  void saveOverAnExistingFileNeedsAYesAndADialogFailureIsReported() {
    DialogSession s(kMono);
    QTemporaryDir folder;
    const QString path = folder.filePath("keep.csv");
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("old\n");
    }
    s.file_dialogs.Choose(path);
    s.notifier.answers = {false, false};
    Trigger(s, kSaveLutFile);
    QCOMPARE(s.notifier.questions.size(), size_t{2});
    QCOMPARE(s.notifier.questions[1].text,
             path.toStdString() + "\nThis file already exists.\nReplace existing file?");
    QCOMPARE(FileLines(path), QStringList{"old"});

    s.file_dialogs.choices.push_back({5, QString()});
    s.notifier.answers = {false};
    Trigger(s, kSaveLutFile);
    QCOMPARE(s.notifier.messages.size(), size_t{1});
    QCOMPARE(s.notifier.messages[0].text, std::string("Error in Load Dialog! (Return-code = 5)"));
    QCOMPARE(s.notifier.messages[0].caption, std::string("Load Error"));
    QVERIFY(s.notifier.messages[0].icon == ctrl::MessageIcon::Exclamation);
  }

  void openLutFileLoadsTheTablesAndShowsThemAsStored() {
    DialogSession s(kColor);
    ClickPageButton(s, kOpenLutTableButton);
    QTemporaryDir folder;
    const QString path = folder.filePath("in.csv");
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("GammaData (R G B)\n1,2,3\n4095,0,7\n");
    }
    s.file_dialogs.Choose(path);
    Trigger(s, kOpenLutFile);
    const auto& request = s.file_dialogs.requests.at(0);
    QVERIFY(!request.save);
    QCOMPARE(request.filter, QString(ctrl::kLutOpenFilter));
    QCOMPARE(request.default_suffix, QString("csv"));
    const auto& bank = s.window->luts().bank();
    QCOMPARE(bank.table(0)[0], 1);
    QCOMPARE(bank.table(1)[0], 2);
    QCOMPARE(bank.table(2)[1], 7);
    QCOMPARE(bank.table(0)[1], 4095);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) {
      QCOMPARE(ModeText(Editor(s, t)), QString("View Mode"));
      Paint(Editor(s, t));
    }
    // Painting in View Mode keeps what was loaded.
    QCOMPARE(bank.table(0)[1], 4095);
    QVERIFY(s.notifier.messages.empty());
  }

  // "Load all" on a monochrome camera reads the green table alone, without a colour suffix.
  void loadAllOnMonochromeReadsOnlyGreen() {
    DialogSession s(kMono);
    FillCamera(s, ctrl::kGreenLut);
    s.notifier.answers = {false};
    const size_t lines_before = s.traffic.lines.size();
    Trigger(s, kLoadAllLut);
    QCOMPARE(s.traffic.lines.size(), lines_before);

    s.notifier.answers = {true};
    Trigger(s, kLoadAllLut);
    QCOMPARE(s.notifier.questions.back().text, std::string("Read all lut data from the camera ?"));
    QVERIFY(TableMatchesCamera(s, ctrl::kGreenLut));
    QCOMPARE(s.traffic.Count("Tx: " + s.Write(ctrl::cmd::kLutSelector, 0)), 2);  // select, restore
    QCOMPARE(s.window->progress().message(),
             QString("Now, reading camera lut data.  (4096 / 4096)"));
    QCOMPARE(s.window->luts().bank().table(ctrl::kRedLut)[500], 0);
    QCOMPARE(ModeText(Editor(s, ctrl::kGreenLut)), QString("View Mode"));
    QVERIFY(EveryWindowEnabled(s));
  }

  void loadAllOnColourReadsEveryTable() {
    DialogSession s(kColor);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) FillCamera(s, t);
    s.notifier.answers = {true};
    Trigger(s, kLoadAllLut);
    for (int t = 0; t < ctrl::kLutTableCount; ++t) QVERIFY(TableMatchesCamera(s, t));
    QCOMPARE(s.window->progress().message(),
             QString("Now, reading camera lut data. [B] (4096 / 4096)"));
    QVERIFY(EveryWindowEnabled(s));
  }

  // ---- The LUT buttons of the parameter page ----

  // "Save" stores the camera's working LUT in its flash, "Load" brings the flash copy back and
  // shows the indexed value: an edit made in between is undone, the stored one survives.
  void pageSaveThenLoadGoThroughTheCamerasFlash() {
    DialogSession s(kMono);
    s.camera.SetLutEntry(ctrl::kGreenLut, 5, 1234);
    ClickPageButton(s, kLutSaveButton);
    QVERIFY(s.traffic.Sent(s.Write(ctrl::cmd::kLutSave, 1)));
    s.camera.SetLutEntry(ctrl::kGreenLut, 5, 77);
    qobject_cast<QLineEdit*>(s.window->FindControl(kLutIndexEdit))->setText("5");
    ClickPageButton(s, kLutLoadButton);
    const int load = s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kLutLoad, 1));
    QVERIFY(load >= 0);
    QVERIFY(s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kLutIndex, 5), load) > load);
    QCOMPARE(s.camera.LutEntry(ctrl::kGreenLut, 5), uint16_t{1234});
    QCOMPARE(qobject_cast<QLineEdit*>(s.window->FindControl(kLutValueEdit))->text(),
             QString("1234"));
    QVERIFY(s.notifier.messages.empty());
  }

  void pageSaveReportsASilentCamera() {
    DialogSession s(kMono);
    s.Silence(true);
    ClickPageButton(s, kLutSaveButton);
    QCOMPARE(s.notifier.messages.size(), size_t{1});
    QCOMPARE(s.notifier.messages[0].text, std::string("Error"));
    QVERIFY(s.notifier.messages[0].icon == ctrl::MessageIcon::Error);
  }
};

QTEST_MAIN(LutWindowsTest)
#include "lut_windows_test.moc"
