// The change journal driven through the main window against the simulated camera. Catches undo
// and redo keys that do not reach the camera or take an edit's own typing away from it, a refused
// undo that moves on or goes unreported, menu items offered with nothing to do, and an exported
// journal that does not load the changed rows into another camera.
#include <unistd.h>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

#include "camera/command_table.h"
#include "camera/control_ids.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"
#include "ui/communication_dialog.h"
#include "ui/file_dialogs.h"
#include "ui/journal_dialog.h"
#include "ui/main_window.h"

namespace {

namespace fs = std::filesystem;

constexpr char kMono[] = "QX-4096M-PCL";
constexpr int kUndo = 30015;
constexpr int kRedo = 30016;
constexpr int kChangeJournal = 30017;
constexpr int kOpenFile = 30008;

constexpr int kGainEdit = 1708;
constexpr int kPixelFormatCombo = 1698;
constexpr int kExposureEdit = 1704;
constexpr int kGain = 57;
constexpr int kPixelFormat = 24;
constexpr int kExposure = 30;
constexpr int kLineRate = 34;
constexpr int32_t kMono8 = 0x01080001;
constexpr int32_t kMono10Packed = 0x010A0046;

// Answers every file dialog with the next queued path.
class QueuedFileDialogs final : public ctrl::ui::FileDialogs {
 public:
  Choice Ask(const Request&) override {
    if (paths.empty()) return {};
    Choice choice{kOk, paths.front()};
    paths.pop_front();
    return choice;
  }
  std::deque<QString> paths;
};

// One run of the tool against one simulated camera; the test owns the notifier.
struct Session {
  explicit Session(const std::string& model)
      : camera(model),
        front_end(camera),
        channel(front_end, clock),
        engine((ctrl::Commands().Reset(), channel), clock, ctrl::Commands(), status) {
    MainWindowSetup setup;
    setup.engine = &engine;
    setup.database = &database;
    setup.status = &status;
    setup.clock = &clock;
    setup.open_link = [] { return true; };
    setup.factory_mode = &factory_mode;
    setup.file_dialogs = &dialogs;
    window = std::make_unique<CCtrlToolDlg>(setup);
    window->show();
    window->Initialise();
  }

  uint32_t Reg(int command_id) const { return ctrl::Commands().GetCommandRegister(command_id); }
  int32_t Peek(int command_id) const { return static_cast<int32_t>(camera.Peek(Reg(command_id))); }
  QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(window->FindControl(id)); }
  QComboBox* Combo(int id) const { return qobject_cast<QComboBox*>(window->FindControl(id)); }
  void Type(int edit_id, const QString& text) const {
    Edit(edit_id)->setText(text);
    QFocusEvent focus_out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(Edit(edit_id), &focus_out);
  }
  bool Enabled(int menu_id) const { return window->menu_action(menu_id)->isEnabled(); }
  QString NewestMessage() const { return window->communication()->messages().At(0); }
  ctrl::ui::JournalDialog& Journal() const { return *window->journal_window(); }
  QString Cell(int row, int column) const { return Journal().table()->item(row, column)->text(); }

  ctrl::FakeClock clock{1'000'000};
  ctrl::sim::CameraModel camera;
  ctrl::sim::CameraFrontEnd front_end;
  ctrl::sim::InProcessChannel channel;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine;
  ctrl::ParameterDatabase database;
  QueuedFileDialogs dialogs;
  int factory_mode = 0;
  std::unique_ptr<CCtrlToolDlg> window;
};

}  // namespace

class UiJournalWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Two changes through the controls, undone and redone by the keys sent to the window, one
  // undo refused on the way; then the journal exported and loaded into another camera.
  void undoRedoRefusalAndExportAgainstTheCamera() {
    ctrl::test::RecordingNotifier notifier;
    const fs::path file =
        fs::temp_directory_path() / ("ctrl_journal_export_" + std::to_string(getpid()) + ".cam");
    int32_t exposure = 0;
    {
      Session s(kMono);
      QVERIFY(!s.Enabled(kUndo) && !s.Enabled(kRedo));
      exposure = s.Peek(kExposure);
      const int32_t line = s.Peek(kLineRate);
      s.Type(kExposureEdit, QString::number(exposure - 1000));
      QTest::keyClick(s.Combo(kPixelFormatCombo), Qt::Key_Down);
      QCOMPARE(s.Peek(kPixelFormat), kMono10Packed);

      QTest::keyClick(s.window.get(), Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(s.Peek(kPixelFormat), kMono8);
      QCOMPARE(s.Combo(kPixelFormatCombo)->currentText(), QString("Mono8"));
      QCOMPARE(s.NewestMessage(), QString("Undo: Pixel Format set to Mono8"));
      // The camera's line became shorter than the old exposure behind the tool's back.
      s.camera.Poke(s.Reg(kLineRate), static_cast<uint32_t>(exposure - 500));
      QTest::keyClick(s.window.get(), Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(s.Peek(kExposure), exposure - 1000);
      QCOMPARE(s.Edit(kExposureEdit)->text(), QString::number(exposure - 1000));
      QVERIFY2(s.NewestMessage().startsWith("Undo refused: Exposure Time stays "),
               qPrintable(s.NewestMessage()));
      s.camera.Poke(s.Reg(kLineRate), static_cast<uint32_t>(line));
      QTest::keyClick(s.window.get(), Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(s.Peek(kExposure), exposure);
      QVERIFY(!s.Enabled(kUndo) && s.Enabled(kRedo));
      QTest::keyClick(s.window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(s.Peek(kExposure), exposure - 1000);
      QCOMPARE(s.NewestMessage(), QString("Redo: Exposure Time set to ") +
                                      s.Edit(ctrl::control::kExposureTimeEdit)->text());

      s.window->menu_action(kChangeJournal)->trigger();
      QVERIFY(s.Journal().isVisible() && !s.Journal().isModal());
      const QStringList results{"Confirmed",
                                "Confirmed",
                                "Undo",
                                QString::fromUtf8("Undo refused \u2014 the camera keeps ") +
                                    s.Edit(ctrl::control::kExposureTimeEdit)->text(),
                                "Undo",
                                "Redo"};
      QCOMPARE(s.Journal().table()->rowCount(), results.size());
      for (int row = 0; row < results.size(); ++row) {
        QCOMPARE(s.Cell(row, ctrl::ui::JournalDialog::kResultColumn), results[row]);
      }
      QCOMPARE(s.Cell(1, ctrl::ui::JournalDialog::kParameterColumn), QString("Pixel Format"));
      QCOMPARE(s.Cell(1, ctrl::ui::JournalDialog::kOldColumn), QString("Mono8"));
      QCOMPARE(s.Cell(1, ctrl::ui::JournalDialog::kNewColumn), QString("Mono10P"));
      // The window's buttons do what the keys do.
      QTest::mouseClick(s.Journal().redo_button(), Qt::LeftButton);
      QCOMPARE(s.Peek(kPixelFormat), kMono10Packed);
      QTest::mouseClick(s.Journal().undo_button(), Qt::LeftButton);
      QCOMPARE(s.Peek(kPixelFormat), kMono8);
      s.dialogs.paths.push_back(QString::fromStdString(file.string()));
      QTest::mouseClick(s.Journal().export_button(), Qt::LeftButton);
    }
    Session other(kMono);
    other.camera.Poke(other.Reg(kPixelFormat), static_cast<uint32_t>(kMono10Packed));
    other.camera.Poke(other.Reg(kExposure), static_cast<uint32_t>(exposure - 2000));
    other.window->ReloadAllParameters();
    const int32_t untouched = other.Peek(kGain);
    other.dialogs.paths.push_back(QString::fromStdString(file.string()));
    other.window->menu_action(kOpenFile)->trigger();
    fs::remove(file);
    QCOMPARE(other.Peek(kPixelFormat), kMono8);
    QCOMPARE(other.Peek(kExposure), exposure - 1000);
    QCOMPARE(other.Combo(kPixelFormatCombo)->currentText(), QString("Mono8"));
    QCOMPARE(other.Peek(kGain), untouched);
    QVERIFY(notifier.messages.empty());
  }

  // Where the operator has typed into an edit, Ctrl+Z takes the typing back; everywhere else,
  // an edit showing the camera's value included, it undoes the last change sent.
  void undoKeyIsTheWindowsExceptOverTypedText_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("window_undo");
    QTest::newRow("window") << "window" << true;
    QTest::newRow("tab bar") << "tab bar" << true;
    QTest::newRow("combo box") << "combo" << true;
    QTest::newRow("edit showing the camera's value") << "edit" << true;
    QTest::newRow("edit with typed text") << "typed edit" << false;
  }
  void undoKeyIsTheWindowsExceptOverTypedText() {
    QFETCH(QString, target);
    QFETCH(bool, window_undo);
    ctrl::test::RecordingNotifier notifier;
    Session s(kMono);
    s.Type(kGainEdit, "300");
    QWidget* receiver = s.window.get();
    if (target == "tab bar") receiver = s.window->tabs()->tabBar();
    if (target == "combo") receiver = s.Combo(kPixelFormatCombo);
    if (target.endsWith("edit")) receiver = s.Edit(kGainEdit);
    if (target == "typed edit") {
      QTest::keyClick(receiver, Qt::Key_End);
      QTest::keyClicks(receiver, "5");
    }
    QTest::keyClick(receiver, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(s.Peek(kGain), window_undo ? 256 : 300);
    QCOMPARE(s.Edit(kGainEdit)->text(), QString(window_undo ? "256" : "300"));
  }
};

QTEST_MAIN(UiJournalWindowTest)
#include "journal_window_test.moc"
