// The communication dialog against the simulated camera: user-set areas (also with a camera
// that stays silent), the Store rule, the line status, and the message list with its limit and
// its file.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "dialog_session.h"
#include "ui/communication_dialog.h"

namespace {

using ctrl::test::DialogSession;

QWidget* Control(DialogSession& s, int id) {
  return s.window->communication()->Control(id);
}
QPushButton* Button(DialogSession& s, int id) {
  return qobject_cast<QPushButton*>(Control(s, id));
}
QComboBox* Combo(DialogSession& s, int id) {
  return qobject_cast<QComboBox*>(Control(s, id));
}
QString LabelText(DialogSession& s, int id) {
  return qobject_cast<QLabel*>(Control(s, id))->text();
}
void Click(DialogSession& s, int id) {
  QTest::mouseClick(Button(s, id), Qt::LeftButton);
}

QStringList FileLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class CommunicationDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void startsBesideTheMainWindowOnline() {
    DialogSession s;
    CCommunicationDialog* dialog = s.window->communication();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("Communication"));
    QCOMPARE(LabelText(s, CCommunicationDialog::kStatusText), QString("Online"));
    QCOMPARE(Combo(s, CCommunicationDialog::kAreaList)->currentText(), QString("User 1 Data"));
    QVERIFY(!Combo(s, CCommunicationDialog::kCategoryList)->isEnabled());
    QVERIFY(Control(s, CCommunicationDialog::kAutoButton)->isHidden());
    // Every exchange of the start-up is in the message list, newest at the top.
    QVERIFY(dialog->messages().rowCount() > 40);
    QCOMPARE(dialog->messages().At(0).toStdString(), s.traffic.lines.back());
  }

  void getAreaShowsTheAreaOrUnkown() {
    DialogSession s;
    s.camera.Poke(s.Reg(ctrl::cmd::kUserSetArea), 2);
    Click(s, CCommunicationDialog::kGetAreaButton);
    QCOMPARE(LabelText(s, CCommunicationDialog::kAreaText), QString("User 2 Data"));
    s.Silence(true);
    Click(s, CCommunicationDialog::kGetAreaButton);
    QCOMPARE(LabelText(s, CCommunicationDialog::kAreaText), QString("Unkown"));
    QCOMPARE(LabelText(s, CCommunicationDialog::kStatusText), QString("Offline"));
  }

  void loadSelectsTheAreaLoadsItAndRereadsEverything() {
    DialogSession s;
    Combo(s, CCommunicationDialog::kAreaList)->setCurrentIndex(3);
    const int start = static_cast<int>(s.traffic.lines.size());
    Click(s, CCommunicationDialog::kLoadButton);
    const int area = s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetArea, 3), start);
    const int load = s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetLoad, 1), area);
    QVERIFY(area >= 0 && load > area);
    QVERIFY(s.traffic.Find("Tx: rd " + s.Addr(57), load) > load);
    QVERIFY(s.window->isEnabled());
    QVERIFY(s.window->communication()->isEnabled());
  }

  void loadStopsWhenTheAreaIsNotConfirmed() {
    DialogSession s;
    s.Silence(true);
    const int start = static_cast<int>(s.traffic.lines.size());
    Click(s, CCommunicationDialog::kLoadButton);
    QVERIFY(s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetArea, 1), start) >= 0);
    QVERIFY(!s.traffic.Sent(s.Write(ctrl::cmd::kUserSetLoad, 1)));
    QCOMPARE(s.traffic.lines.size(), size_t(start + 1));
  }

  void storeRunsUnderTheProgressWindowAndReportsCompletion() {
    DialogSession s;
    CCommunicationDialog* dialog = s.window->communication();
    Combo(s, CCommunicationDialog::kAreaList)->setCurrentIndex(2);
    std::vector<bool> usable_during_store;
    s.traffic.on_line = [&](const std::string&) {
      usable_during_store.push_back(dialog->isEnabled());
    };
    Click(s, CCommunicationDialog::kStoreButton);
    s.traffic.on_line = nullptr;
    QVERIFY(s.traffic.Sent(s.Write(ctrl::cmd::kUserSetArea, 2)));
    QVERIFY(s.traffic.Sent(s.Write(ctrl::cmd::kUserSetStore, 1)));
    QCOMPARE(s.notifier.Texts(),
             std::vector<std::string>{"Completed to store current setting data!"});
    QCOMPARE(s.notifier.messages[0].icon, ctrl::MessageIcon::Information);
    QVERIFY(!usable_during_store.empty());
    QVERIFY(std::none_of(usable_during_store.begin(), usable_during_store.end(),
                         [](bool usable) { return usable; }));
    QVERIFY(!s.window->progress().isVisible());
    QVERIFY(dialog->isEnabled());
    QCOMPARE(s.window->progress().message(), QString("Now, Storing camera data."));
  }

  void storeOnASilentCameraStillFinishesTheProgress() {
    DialogSession s;
    s.Silence(true);
    Click(s, CCommunicationDialog::kStoreButton);
    QVERIFY(!s.traffic.Sent(s.Write(ctrl::cmd::kUserSetStore, 1)));
    QVERIFY(s.notifier.messages.empty());
    QVERIFY(!s.window->progress().isVisible());
    QCOMPARE(s.window->progress().percent(), 100);
    QVERIFY(s.window->communication()->isEnabled());
    // The shared progress window sits over the main window again.
    s.window->progress().OpenProgress("next");
    QVERIFY(!s.window->isEnabled());
    s.window->progress().FinishProgress();
    QVERIFY(s.window->isEnabled());
  }

  void storeNeedsFactoryModeForTheFactoryArea() {
    DialogSession s;
    QPushButton* store = Button(s, CCommunicationDialog::kStoreButton);
    QVERIFY(store->isEnabled());
    Combo(s, CCommunicationDialog::kAreaList)->setCurrentIndex(0);
    QVERIFY(!store->isEnabled());
    s.window->ToggleFactoryMode();
    QVERIFY(store->isEnabled());
    s.window->ToggleFactoryMode();
    QVERIFY(!store->isEnabled());
  }

  void messageListKeepsTheNewest4096() {
    DialogSession s;
    CCommunicationDialog* dialog = s.window->communication();
    QTest::mouseClick(Button(s, CCommunicationDialog::kClearMessagesButton), Qt::LeftButton);
    QCOMPARE(dialog->messages().rowCount(), 0);
    for (int i = 0; i <= 4096; ++i) dialog->AppendMessage("m" + std::to_string(i));
    QCOMPARE(dialog->messages().rowCount(), 4096);
    QCOMPARE(dialog->messages().At(0), QString("m4096"));
    QCOMPARE(dialog->messages().At(4095), QString("m1"));
  }

  void messageListIsSavedOldestFirstAndTheFolderRemembered() {
    DialogSession s;
    CCommunicationDialog* dialog = s.window->communication();
    QTemporaryDir folder;
    const QString path = folder.filePath("traffic.txt");
    Click(s, CCommunicationDialog::kClearMessagesButton);
    dialog->AppendMessage("Tx: A");
    dialog->AppendMessage("Rx: B");
    s.file_dialogs.Choose(path);
    Click(s, CCommunicationDialog::kSaveMessagesButton);
    QCOMPARE(FileLines(path), QStringList({"Tx: A", "Rx: B"}));
    QCOMPARE(dialog->messages().At(0), QString("Writing file has been done!"));
    QCOMPARE(s.settings.ReadText(ctrl::RegistrySettings::kCommandLogFilePath).value,
             folder.path().toStdString());
    const auto& request = s.file_dialogs.requests.back();
    QVERIFY(request.save);
    QCOMPARE(request.owner, static_cast<QWidget*>(dialog));
    QCOMPARE(request.default_suffix, QString("txt"));
    QCOMPARE(request.filter, QString("txt file (*.txt) | *.txt||"));
    QVERIFY(request.initial_name.endsWith("/*.txt"));

    // The next dialog starts in the remembered folder.
    Click(s, CCommunicationDialog::kSaveMessagesButton);
    QCOMPARE(s.file_dialogs.requests.back().initial_name, folder.path() + "/*.txt");
  }

  void replacingAnExistingLogNeedsYes() {
    DialogSession s;
    QTemporaryDir folder;
    const QString path = folder.filePath("old.txt");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("kept\n");
    old.close();
    s.file_dialogs.Choose(path);
    Click(s, CCommunicationDialog::kSaveMessagesButton);
    QCOMPARE(s.notifier.questions.size(), size_t{1});
    QCOMPARE(s.notifier.questions[0].text,
             path.toStdString() + "\nThis file already exists.\nReplace existing file?");
    QCOMPARE(FileLines(path), QStringList({"kept"}));
    QVERIFY(!s.settings.ReadText(ctrl::RegistrySettings::kCommandLogFilePath).found);

    s.notifier.answers.push_back(true);
    s.file_dialogs.Choose(path);
    Click(s, CCommunicationDialog::kSaveMessagesButton);
    QVERIFY(FileLines(path).size() > 40);
  }

  void failedDialogsAndUnwritableFilesAreReported() {
    DialogSession s;
    s.file_dialogs.choices.push_back({7, {}});
    Click(s, CCommunicationDialog::kSaveMessagesButton);
    QCOMPARE(s.notifier.Texts(),
             std::vector<std::string>{"Error in Load Dialog! (Return-code = 7)"});
    QCOMPARE(s.notifier.messages[0].caption, std::string("Load Error"));

    s.file_dialogs.Choose("/nonexistent-folder/log.txt");
    Click(s, CCommunicationDialog::kSaveMessagesButton);
    QCOMPARE(s.notifier.messages.back().text, std::string("File open error !"));
    QCOMPARE(s.notifier.messages.back().icon, ctrl::MessageIcon::Error);
    // The folder is remembered even so.
    QCOMPARE(s.settings.ReadText(ctrl::RegistrySettings::kCommandLogFilePath).value,
             std::string("/nonexistent-folder"));
  }
};

QTEST_MAIN(CommunicationDialogTest)
#include "communication_test.moc"
