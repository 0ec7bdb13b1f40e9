// The identity dialogs against the simulated camera: the fields and their placeholders, the
// firmware-version gate, the user ID saves with their limits and the serial number boxes.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "camera/identity.h"
#include "dialog_session.h"
#include "ui/identity_dialogs.h"

namespace {

using ctrl::test::DialogSession;

constexpr uint32_t kSerialRegister = 0x00000144;
constexpr uint32_t kUserIdRegister = 0x00000184;

std::string Hex(uint32_t reg) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", reg);
  return text;
}

// Whether one of the first fifteen user ID registers (from `first` on) was written since `from`.
// The sixteenth, 0x000001C0, is also read and written back after every save.
bool UserIdWritten(const DialogSession& s, size_t from, uint32_t first = kUserIdRegister) {
  for (size_t i = from; i < s.traffic.lines.size(); ++i) {
    for (uint32_t reg = first; reg < kUserIdRegister + 60; reg += 4) {
      if (s.traffic.lines[i].rfind("Tx: wr " + Hex(reg) + " ", 0) == 0) return true;
    }
  }
  return false;
}

}  // namespace

class IdentityTest : public QObject {
  Q_OBJECT

 private slots:
  void aboutShowsTheToolAndTheCamera() {
    DialogSession s;
    s.camera.Poke(s.Reg(ctrl::cmd::kDeviceType), 7);
    s.camera.PokeText(kUserIdRegister, "line 3");
    CAboutDialog about(s.engine, s.status);
    about.ReadIdentity();
    QCOMPARE(about.windowTitle(), QString("About This Control"));
    QCOMPARE(about.FieldText(CAboutDialog::kToolTitle),
             QString("QX-4096M_TR-PCL QX-8192M-PCL Control Tool"));
    QCOMPARE(about.FieldText(CAboutDialog::kToolVersion), QString("0.10"));
    QCOMPARE(about.FieldText(CAboutDialog::kModelName), QString("QX-4096M-PCL"));
    QCOMPARE(about.FieldText(CAboutDialog::kSerialNumber),
             QString::fromStdString(s.camera.PeekText(kSerialRegister)));
    QCOMPARE(about.FieldText(CAboutDialog::kDeviceType), QString("Unkown"));
    QCOMPARE(about.FieldText(CAboutDialog::kScanType), QString("Linescan"));
    QCOMPARE(about.FieldText(CAboutDialog::kUserId), QString("line 3"));
    QCOMPARE(about.FieldText(CAboutDialog::kDeviceVersion),
             QString::fromStdString(s.camera.PeekText(s.Reg(ctrl::cmd::kDeviceVersion))));
    // The user ID starts protected.
    QVERIFY(!about.Control(CAboutDialog::kUserId)->isEnabled());
    QVERIFY(!about.Control(CAboutDialog::kSaveUserId)->isEnabled());
    QVERIFY(qobject_cast<QRadioButton*>(about.Control(CAboutDialog::kProtectUserId))->isChecked());
  }

  void aSilentCameraLeavesEveryPlaceholderAfterOneRequest() {
    DialogSession s;
    s.Silence(true);
    const size_t traced = s.traffic.lines.size();
    CAboutDialog about(s.engine, s.status);
    about.ReadIdentity();
    QCOMPARE(s.traffic.lines.size(), traced + 1);  // the firmware version's first register
    for (int id : {CAboutDialog::kVendorName, CAboutDialog::kModelName, CAboutDialog::kSerialNumber,
                   CAboutDialog::kDeviceType, CAboutDialog::kScanType, CAboutDialog::kSensorId,
                   CAboutDialog::kUserId}) {
      QCOMPARE(about.FieldText(id), QString("?"));
    }
    for (int id : {CAboutDialog::kDeviceVersion, CAboutDialog::kFpgaVersion,
                   CAboutDialog::kFirmwareVersion, CAboutDialog::kXmlVersion}) {
      QCOMPARE(about.FieldText(id), QString("?.?.?.?"));
    }
    QCOMPARE(about.FieldText(CAboutDialog::kToolVersion), QString("0.10"));
  }

  void aboutSavesUserIdsUpTo64Characters() {
    DialogSession s;
    CAboutDialog about(s.engine, s.status);
    about.ReadIdentity();
    QTest::mouseClick(about.Control(CAboutDialog::kEnableUserId), Qt::LeftButton);
    auto* edit = qobject_cast<QLineEdit*>(about.Control(CAboutDialog::kUserId));
    QVERIFY(edit->isEnabled());
    const std::string id64(64, 'u');
    edit->setText(QString::fromStdString(id64));
    const size_t from = s.traffic.lines.size();
    QTest::mouseClick(about.Control(CAboutDialog::kSaveUserId), Qt::LeftButton);
    QCOMPARE(s.camera.PeekText(kUserIdRegister), id64);
    const int read_back = s.traffic.Find("Tx: rd 0x000001C0", static_cast<int>(from));
    QVERIFY(read_back >= 0);
    QVERIFY(s.traffic.lines[static_cast<size_t>(read_back) + 3].rfind("Tx: wr 0x000001C0 ", 0) ==
            0);
    QCOMPARE(s.notifier.Texts().back(), "Writing the User ID \"" + id64 + "\" has been completed.");

    edit->setText(QString(65, 'v'));
    const size_t before_long = s.traffic.lines.size();
    QTest::mouseClick(about.Control(CAboutDialog::kSaveUserId), Qt::LeftButton);
    QCOMPARE(s.notifier.messages.back().text, std::string("User ID string is too long !!"));
    QCOMPARE(s.notifier.messages.back().icon, ctrl::MessageIcon::Error);
    QCOMPARE(s.traffic.lines.size(), before_long);
    QCOMPARE(s.camera.PeekText(kUserIdRegister), id64);

    QTest::mouseClick(about.Control(CAboutDialog::kProtectUserId), Qt::LeftButton);
    QVERIFY(!edit->isEnabled());
  }

  void anEmptyUserIdWritesOneZeroRegisterAndRefreshesTheLastOne() {
    DialogSession s;
    CAboutDialog about(s.engine, s.status);
    about.SetUserIdEditable(true);
    qobject_cast<QLineEdit*>(about.Control(CAboutDialog::kUserId))->clear();
    const size_t from = s.traffic.lines.size();
    about.SaveUserId();
    // One zero register ends the old text at its start; the rest of the field is left alone.
    QVERIFY(s.traffic.Find("Tx: wr " + Hex(kUserIdRegister) + " 0", static_cast<int>(from)) >= 0);
    QVERIFY(!UserIdWritten(s, from, kUserIdRegister + 4));
    QVERIFY(s.traffic.Find("Tx: rd 0x000001C0", static_cast<int>(from)) >= 0);
    QCOMPARE(s.notifier.Texts().back(),
             std::string("Writing the User ID \"\" has been completed."));
  }

  void serialBoxesTakeTheFirstCharacterOfEach() {
    DialogSession s("QX-4096M-PCL", /*factory=*/1);
    s.camera.PokeText(kSerialRegister, "AB12345678XYZ");
    CCameraIdDialog dialog(s.engine, s.status, s.factory_mode);
    dialog.ReadSerialNumber();
    QCOMPARE(dialog.box(0)->text(), QString("A"));
    QCOMPARE(dialog.box(9)->text(), QString("8"));
    QVERIFY(!dialog.save_button()->isHidden());
    dialog.box(0)->setText("QRS");
    dialog.box(5)->clear();
    QTest::mouseClick(dialog.save_button(), Qt::LeftButton);
    QCOMPARE(s.camera.PeekText(kSerialRegister), std::string("QB1235678"));
    QCOMPARE(s.notifier.Texts().back(),
             std::string("Completed saving Device Serial ID: QB1235678."));
    QVERIFY(s.traffic.Sent("wr " + Hex(kSerialRegister + 8) + " " +
                           std::to_string(uint32_t{'8'} << 24)));
  }

  void serialSaveExistsOnlyInFactoryModeOne_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("offered");
    QTest::newRow("off") << 0 << false;
    QTest::newRow("one") << 1 << true;
    QTest::newRow("other non-zero") << 2 << false;
  }
  void serialSaveExistsOnlyInFactoryModeOne() {
    QFETCH(int, mode);
    QFETCH(bool, offered);
    DialogSession s;
    CCameraIdDialog dialog(s.engine, s.status, mode);
    QCOMPARE(!dialog.save_button()->isHidden(), offered);
  }

  void serialBoxesStayEmptyOnASilentCamera() {
    DialogSession s;
    s.Silence(true);
    CCameraIdDialog dialog(s.engine, s.status, 1);
    dialog.box(3)->setText("x");
    dialog.ReadSerialNumber();
    for (int k = 0; k < 10; ++k) QVERIFY(dialog.box(k)->text().isEmpty());
  }

  void userIdEditorShowsQuestionMarksAfterAFailedRead() {
    DialogSession s;
    s.Silence(true);
    CUserIdDialog dialog(s.engine, s.status);
    dialog.ReadUserId();
    QCOMPARE(dialog.user_id()->text(), QString("????????????????"));
    s.Silence(false);
    QTest::mouseClick(dialog.save_button(), Qt::LeftButton);
    QCOMPARE(s.camera.PeekText(kUserIdRegister), std::string(16, '?'));
    // Sixteen characters fill four registers; a zero register after them ends the text.
    QVERIFY(s.traffic.Sent("wr " + Hex(kUserIdRegister + 12) + " " + std::to_string(0x3F3F3F3Fu)));
    QVERIFY(s.traffic.Sent("wr " + Hex(kUserIdRegister + 16) + " 0"));
    QVERIFY(!UserIdWritten(s, 0, kUserIdRegister + 20));
  }

  void userIdEditorRefusesTooLongIds() {
    DialogSession s;
    CUserIdDialog dialog(s.engine, s.status);
    dialog.ReadUserId();
    dialog.user_id()->setText(QString(65, 'w'));
    const size_t from = s.traffic.lines.size();
    dialog.Save();
    QCOMPARE(s.notifier.Texts().back(), std::string("User ID string is too long !!"));
    QVERIFY(!UserIdWritten(s, from));
    // 64 characters take exactly 16 registers, without a terminating zero register.
    dialog.user_id()->setText(QString(64, 'w'));
    dialog.Save();
    QVERIFY(UserIdWritten(s, from));
    QVERIFY(!s.traffic.Sent("wr " + Hex(kUserIdRegister + 64) + " 0"));
    QVERIFY(s.traffic.Find("Tx: rd 0x000001C0", static_cast<int>(from)) < 0);
  }

  void theMenuOpensTheIdentityDialogs() {
    DialogSession s("QX-4096M-PCL", 1);
    QStringList titles;
    s.on_modal = [&titles](QDialog& dialog) {
      titles << dialog.windowTitle();
      dialog.reject();
    };
    for (int command : {30001, 30000, 30005}) {
      QVERIFY(s.window->menu_action(command)->isEnabled());
      s.window->menu_action(command)->trigger();
    }
    QCOMPARE(titles, QStringList({"About This Control", "Device User ID", "Device Serial Number"}));
  }
};

QTEST_MAIN(IdentityTest)
#include "identity_test.moc"
