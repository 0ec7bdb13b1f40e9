// The menu's settings-file and user-set commands and the communication dialog's file buttons:
// what reaches the camera, what is written to disk, the replace question and the folder that is
// remembered.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "dialog_session.h"
#include "ui/area_select_dialog.h"
#include "ui/communication_dialog.h"

namespace {

using ctrl::test::DialogSession;

constexpr int kOpenFile = 30008;
constexpr int kSaveAllData = 30011;
constexpr int kSaveShippingData = 30012;
constexpr int kLoadSettings = 30004;
constexpr int kStoreSettings = 30003;
constexpr int kExposureEdit = 1708;  // command 57

void Trigger(DialogSession& s, int command) {
  QAction* action = s.window->menu_action(command);
  QVERIFY(action->isEnabled());
  action->trigger();
}

QString ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

void WriteFile(const QString& path, const QByteArray& text) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// Picks an item of the flash area dialog by its text and confirms.
std::function<void(QDialog&)> ChooseArea(const QString& item, QStringList* offered = nullptr) {
  return [item, offered](QDialog& dialog) {
    auto& areas = static_cast<CParameterAreaSelectDialog&>(dialog);
    QComboBox* list = areas.area_list();
    if (offered != nullptr) {
      for (int i = 0; i < list->count(); ++i) *offered << list->itemText(i);
    }
    list->setCurrentIndex(list->findText(item));
    dialog.accept();
  };
}

}  // namespace

class MenuFlowsTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- Camera settings files ----

  void saveAllDataWritesTheShownValuesAndRemembersTheFolder() {
    DialogSession s;
    QTemporaryDir folder;
    const QString path = folder.filePath("a.cam");
    const uint64_t served = s.front_end.requests_served();
    s.file_dialogs.Choose(path);
    Trigger(s, kSaveAllData);
    const QString text = ReadAll(path);
    QVERIFY(text.contains(QString::fromStdString(s.Addr(57) + "=" + std::to_string(s.Peek(57)))));
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    // One line per filed parameter the model has, at most 73.
    QVERIFY(lines.size() > 30 && lines.size() <= 73);
    static const QRegularExpression kLine("^0x[0-9A-F]{8}=-?[0-9]+$");
    for (const QString& line : lines) QVERIFY2(kLine.match(line).hasMatch(), qPrintable(line));
    QCOMPARE(s.front_end.requests_served(), served);  // nothing is read for a save
    QCOMPARE(s.settings.ReadText(ctrl::RegistrySettings::kCameraFilePath).value,
             folder.path().toStdString());
    const auto& request = s.file_dialogs.requests.back();
    QVERIFY(request.save);
    QCOMPARE(request.filter, QString("Camera setting data (*.cam) | *.cam||"));
    QCOMPARE(request.default_suffix, QString("cam"));
    QCOMPARE(request.owner, static_cast<QWidget*>(s.window.get()));

    // Shipping Data is the same file while no parameter is of the factory class.
    s.file_dialogs.Choose(folder.filePath("b.cam"));
    Trigger(s, kSaveShippingData);
    QCOMPARE(ReadAll(folder.filePath("b.cam")), text);
    QCOMPARE(s.file_dialogs.requests.back().initial_name, folder.path() + "/*.cam");
  }

  void anExistingFileIsReplacedOnlyAfterYes() {
    DialogSession s;
    QTemporaryDir folder;
    const QString path = folder.filePath("old.cam");
    WriteFile(path, "old\n");
    s.file_dialogs.Choose(path);
    Trigger(s, kSaveAllData);
    QCOMPARE(s.notifier.questions.size(), size_t{1});
    QCOMPARE(s.notifier.questions[0].text,
             path.toStdString() + "\nThis file already exists.\nReplace existing file?");
    QCOMPARE(ReadAll(path), QString("old\n"));
    QVERIFY(!s.settings.ReadText(ctrl::RegistrySettings::kCameraFilePath).found);

    s.notifier.answers.push_back(true);
    s.file_dialogs.Choose(path);
    Trigger(s, kSaveAllData);
    QVERIFY(ReadAll(path).contains(QString::fromStdString(s.Addr(57) + "=")));
  }

  void openSendsTheFileToTheCameraAndShowsIt() {
    DialogSession s;
    QTemporaryDir folder;
    const QString path = folder.filePath("load.cam");
    WriteFile(path, QByteArray::fromStdString(s.Addr(57) + " = 300\n"));
    s.file_dialogs.Choose(path);
    Trigger(s, kOpenFile);
    QVERIFY(s.traffic.Sent(s.Write(57, 300)));
    QCOMPARE(s.Peek(57), 300);
    QCOMPARE(qobject_cast<QLineEdit*>(s.window->FindControl(kExposureEdit))->text(),
             QString("300"));
    QVERIFY(!s.window->progress().isVisible());
    QCOMPARE(s.window->progress().message(), QString("Now, reading camera setting file."));
    QVERIFY(s.window->isEnabled());
    QVERIFY(!s.file_dialogs.requests.back().save);
    QCOMPARE(s.settings.ReadText(ctrl::RegistrySettings::kCameraFilePath).value,
             folder.path().toStdString());
  }

  // A colour camera whose CCM Selector is not "Default": the nine coefficients the window shows
  // and files are the ones the camera holds, after start-up and after loading a file that
  // switches the selector; the file's coefficients all reach the camera.
  void theColourMatrixShownAndFiledIsTheCameras_data() {
    QTest::addColumn<int>("camera_selector");
    QTest::addColumn<int>("file_selector");  // -1: no file is loaded
    QTest::newRow("start at selector 2") << 2 << -1;
    QTest::newRow("start at selector 3") << 3 << -1;
    QTest::newRow("file with selector 1 into a camera at 0") << 0 << 1;
    QTest::newRow("file with selector 2 into a camera at 3") << 3 << 2;
  }
  void theColourMatrixShownAndFiledIsTheCameras() {
    QFETCH(int, camera_selector);
    QFETCH(int, file_selector);
    constexpr int kSelector = 94;
    constexpr int kFirstCoefficient = 95;
    const auto camera_value = [](int bank, int i) { return 100 * bank + 10 + i; };
    const auto file_value = [](int i) { return -500 - i; };
    const auto reg = [](int command_id) { return ctrl::Commands().GetCommandRegister(command_id); };
    DialogSession s("QX-4096TR-PCL", 0, [&](ctrl::sim::CameraModel& camera) {
      for (int bank = 0; bank < 4; ++bank) {
        camera.Poke(reg(kSelector), static_cast<uint32_t>(bank));
        for (int i = 0; i < 9; ++i) {
          camera.Poke(reg(kFirstCoefficient + i), static_cast<uint32_t>(camera_value(bank, i)));
        }
      }
      camera.Poke(reg(kSelector), static_cast<uint32_t>(camera_selector));
    });
    QTemporaryDir folder;
    if (file_selector >= 0) {
      std::string text = s.Addr(kSelector) + "=" + std::to_string(file_selector) + "\n";
      for (int i = 0; i < 9; ++i) {
        text += s.Addr(kFirstCoefficient + i) + "=" + std::to_string(file_value(i)) + "\n";
      }
      WriteFile(folder.filePath("matrix.cam"), QByteArray::fromStdString(text));
      s.file_dialogs.Choose(folder.filePath("matrix.cam"));
      Trigger(s, kOpenFile);
    }
    const int selector = file_selector >= 0 ? file_selector : camera_selector;
    const auto expected = [&](int i) {
      return file_selector >= 0 ? file_value(i) : camera_value(camera_selector, i);
    };
    QCOMPARE(s.Peek(kSelector), selector);
    QCOMPARE(qobject_cast<QComboBox*>(s.window->FindControl(1874))->currentIndex(), selector);

    s.file_dialogs.Choose(folder.filePath("saved.cam"));
    Trigger(s, kSaveAllData);
    const QStringList filed = ReadAll(folder.filePath("saved.cam")).split('\n');
    for (int i = 0; i < 9; ++i) {
      const QString coefficient = QString::fromStdString(s.Addr(kFirstCoefficient + i));
      QCOMPARE(s.Peek(kFirstCoefficient + i), expected(i));
      QCOMPARE(qobject_cast<QLineEdit*>(s.window->FindControl(1876 + 3 * i))->text(),
               QString::number(expected(i)));
      QVERIFY2(filed.contains(coefficient + "=" + QString::number(expected(i))),
               qPrintable(coefficient));
    }
  }

  void theFolderIsCutAtTheLastSeparatorEvenWhenTheFileCannotBeOpened() {
    DialogSession s;
    s.file_dialogs.Choose("/nonexistent/a\\b\\c.cam");
    Trigger(s, kOpenFile);
    QCOMPARE(s.notifier.messages.back().text,
             std::string("/nonexistent/a\\b\\c.cam\nCouldn't open this file"));
    QCOMPARE(s.settings.ReadText(ctrl::RegistrySettings::kCameraFilePath).value,
             std::string("/nonexistent/a\\b"));
    // A stored folder that does not exist: the next dialog starts in the working directory.
    Trigger(s, kOpenFile);
    QCOMPARE(s.file_dialogs.requests.back().initial_name, QDir::currentPath() + "/*.cam");
  }

  void cancelAndFailedDialogs() {
    DialogSession s;
    const uint64_t served = s.front_end.requests_served();
    Trigger(s, kOpenFile);  // cancelled
    QVERIFY(s.notifier.messages.empty());
    s.file_dialogs.choices.push_back({3, {}});
    Trigger(s, kSaveAllData);
    QCOMPARE(s.notifier.Texts(),
             std::vector<std::string>{"Error in Load Dialog! (Return-code = 3)"});
    QCOMPARE(s.notifier.messages[0].caption, std::string("Load Error"));
    QCOMPARE(s.front_end.requests_served(), served);
    QVERIFY(!s.settings.ReadText(ctrl::RegistrySettings::kCameraFilePath).found);
  }

  void theCommunicationDialogButtonsRunTheSameFlows() {
    DialogSession s;
    CCommunicationDialog* dialog = s.window->communication();
    QTemporaryDir folder;
    s.file_dialogs.Choose(folder.filePath("x.cam"));
    QTest::mouseClick(
        qobject_cast<QPushButton*>(dialog->Control(CCommunicationDialog::kWriteFileButton)),
        Qt::LeftButton);
    QVERIFY(QFile::exists(folder.filePath("x.cam")));
    QCOMPARE(s.file_dialogs.requests.back().owner, static_cast<QWidget*>(s.window.get()));

    s.camera.Poke(s.Reg(57), 999);
    s.file_dialogs.Choose(folder.filePath("x.cam"));
    QTest::mouseClick(
        qobject_cast<QPushButton*>(dialog->Control(CCommunicationDialog::kReadFileButton)),
        Qt::LeftButton);
    QVERIFY(!s.file_dialogs.requests.back().save);
    QCOMPARE(s.file_dialogs.requests.back().owner, static_cast<QWidget*>(dialog));
    QVERIFY(s.Peek(57) != 999);  // the file's value went back to the camera
    QVERIFY(dialog->isEnabled());
  }

  // ---- User sets from the menu ----

  void storeOffersTheFactoryAreaOnlyInFactoryMode() {
    DialogSession s;
    QStringList offered;
    s.on_modal = [&offered](QDialog& dialog) {
      auto& areas = static_cast<CParameterAreaSelectDialog&>(dialog);
      for (int i = 0; i < areas.area_list()->count(); ++i)
        offered << areas.area_list()->itemText(i);
      QCOMPARE(dialog.windowTitle(), QString("Store setting data"));
      QCOMPARE(areas.prompt()->text(),
               QString("Select the flash memory area to save setting data"));
      dialog.reject();
    };
    const size_t traced = s.traffic.lines.size();
    Trigger(s, kStoreSettings);
    QCOMPARE(offered, QStringList({"User 1", "User 2", "User 3"}));
    QCOMPARE(s.traffic.lines.size(), traced);  // cancelled: nothing sent

    offered.clear();
    s.window->ToggleFactoryMode();
    Trigger(s, kStoreSettings);
    QCOMPARE(offered, QStringList({"Factory", "User 1", "User 2", "User 3"}));
  }

  void storeWritesTheAreaAndTheStoreCommand() {
    DialogSession s;
    s.on_modal = ChooseArea("User 2");
    const int start = static_cast<int>(s.traffic.lines.size());
    Trigger(s, kStoreSettings);
    const int area = s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetArea, 2), start);
    QVERIFY(area >= 0);
    QVERIFY(s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetStore, 1), area) > area);
    QCOMPARE(s.notifier.Texts(),
             std::vector<std::string>{"Completed saving current setting data !"});
    QCOMPARE(s.notifier.messages[0].icon, ctrl::MessageIcon::Information);
    QVERIFY(s.traffic.Find("Tx: rd " + s.Addr(57), start) < 0);  // nothing re-read
  }

  void loadingTheFactoryAreaRereadsEveryParameter() {
    DialogSession s;
    QStringList offered;
    s.on_modal = ChooseArea("Factory", &offered);
    QCOMPARE(s.window->menu_action(kLoadSettings)->isEnabled(), true);
    const int start = static_cast<int>(s.traffic.lines.size());
    s.window->progress().SetProgressMessage("before");
    Trigger(s, kLoadSettings);
    QCOMPARE(offered, QStringList({"Factory", "User 1", "User 2", "User 3"}));
    const int area = s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetArea, 0), start);
    const int load = s.traffic.Find("Tx: " + s.Write(ctrl::cmd::kUserSetLoad, 1), area);
    QVERIFY(area >= 0 && load > area);
    QVERIFY(s.traffic.Find("Tx: rd " + s.Addr(57), load) > load);
    QCOMPARE(s.window->progress().message(), QString("Now, reading camera settings."));
    QCOMPARE(qobject_cast<QLineEdit*>(s.window->FindControl(kExposureEdit))->text(),
             QString::number(s.Peek(57)));
  }

  void aLoadWhoseAreaIsNotConfirmedStops() {
    DialogSession s;
    s.on_modal = ChooseArea("User 1");
    s.Silence(true);
    Trigger(s, kLoadSettings);
    QVERIFY(s.traffic.Sent(s.Write(ctrl::cmd::kUserSetArea, 1)));
    QVERIFY(!s.traffic.Sent(s.Write(ctrl::cmd::kUserSetLoad, 1)));
    QVERIFY(s.notifier.messages.empty());
  }
};

QTEST_MAIN(MenuFlowsTest)
#include "menu_flows_test.moc"
