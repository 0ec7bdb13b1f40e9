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

// Whether one of the first fifteen user ID registers was written since `from`. The sixteenth,
// 0x000001C0, is also read and written back after every save.
bool UserIdWritten(const DialogSession& s, size_t from) {
  for (size_t i = from; i < s.traffic.lines.size(); ++i) {
    for (uint32_t reg = kUserIdRegister; reg < kUserIdRegister + 60; reg += 4) {
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

  void anEmptyUserIdClearsTheIdAndRefreshesTheLastRegister() {
    DialogSession s;
    s.camera.PokeText(kUserIdRegister, "old id");
    CAboutDialog about(s.engine, s.status);
    about.SetUserIdEditable(true);
    qobject_cast<QLineEdit*>(about.Control(CAboutDialog::kUserId))->clear();
    const size_t from = s.traffic.lines.size();
    about.SaveUserId();
    // One zero register ends the text at once; nothing after it is written.
    QVERIFY(s.traffic.Sent("wr " + Hex(kUserIdRegister) + " 0"));
    QCOMPARE(s.camera.PeekText(kUserIdRegister), std::string());
    QVERIFY(!s.traffic.Sent("wr " + Hex(kUserIdRegister + 4) + " 0"));
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
    // Sixteen characters fill four registers exactly; a zero register ends the text, as the
    // field has room for more.
    QVERIFY(s.traffic.Sent("wr " + Hex(kUserIdRegister + 12) + " " + std::to_string(0x3F3F3F3Fu)));
    QVERIFY(s.traffic.Sent("wr " + Hex(kUserIdRegister + 16) + " 0"));
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

  // The identity registers hold bytes: what a dialog shows is what the camera holds, an
  // unchanged save writes the same bytes back, the 64-byte limit counts bytes, and a character
  // that has no single byte is refused with a message instead of being replaced.
  void identityBytesRoundTrip_data() {
    QTest::addColumn<QString>("dialog");     // "about", "editor" or "serial"
    QTest::addColumn<QByteArray>("camera");  // the bytes the camera holds at first
    QTest::addColumn<QString>("shown");      // what the dialog shows on opening
    QTest::addColumn<QString>("typed");      // what the operator types; null: the shown text
    QTest::addColumn<QByteArray>("saved");   // the bytes the camera holds after the save
    QTest::addColumn<QString>("message");    // how the last message starts
    const QByteArray cafe("caf\xE9");
    const QString accented = QString(63, 'a') + QChar(0xE9);
    const QByteArray accented_bytes = QByteArray(63, 'a') + '\xE9';
    const QString euro = QStringLiteral("caf\u20AC");
    for (const char* dialog : {"about", "editor"}) {
      const QString name = QString::fromLatin1(dialog);
      QTest::addRow("%s: unchanged Latin-1 byte", dialog)
          << name << cafe << QString::fromLatin1(cafe) << QString() << cafe
          << "Writing the User ID";
      QTest::addRow("%s: 64 bytes with an accent", dialog)
          << name << cafe << QString::fromLatin1(cafe) << accented << accented_bytes
          << "Writing the User ID";
      QTest::addRow("%s: a character beyond Latin-1", dialog)
          << name << cafe << QString::fromLatin1(cafe) << euro << cafe << "The User ID can only";
    }
    const QByteArray serial(
        "\xC5"
        "B12345678");
    QTest::newRow("serial: unchanged Latin-1 byte")
        << "serial" << serial << QString::fromLatin1(serial) << QString() << serial
        << "Completed saving";
    QTest::newRow("serial: a character beyond Latin-1")
        << "serial" << serial << QString::fromLatin1(serial) << QStringLiteral("\u20ACB12345678")
        << serial << "The Device Serial ID can only";
  }
  void identityBytesRoundTrip() {
    QFETCH(QString, dialog);
    QFETCH(QByteArray, camera);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QByteArray, saved);
    QFETCH(QString, message);
    DialogSession s("QX-4096M-PCL", /*factory=*/1);
    const uint32_t reg = dialog == "serial" ? kSerialRegister : kUserIdRegister;
    s.camera.PokeText(reg, camera.toStdString());
    size_t from = 0;
    if (dialog == "serial") {
      CCameraIdDialog serial(s.engine, s.status, s.factory_mode);
      serial.ReadSerialNumber();
      QString boxes;
      for (int k = 0; k < 10; ++k) boxes += serial.box(k)->text();
      QCOMPARE(boxes, shown);
      for (int k = 0; k < 10 && !typed.isNull(); ++k) serial.box(k)->setText(typed.mid(k, 1));
      from = s.traffic.lines.size();
      QTest::mouseClick(serial.save_button(), Qt::LeftButton);
    } else if (dialog == "about") {
      CAboutDialog about(s.engine, s.status);
      about.ReadIdentity();
      QCOMPARE(about.FieldText(CAboutDialog::kUserId), shown);
      about.SetUserIdEditable(true);
      if (!typed.isNull()) {
        qobject_cast<QLineEdit*>(about.Control(CAboutDialog::kUserId))->setText(typed);
      }
      from = s.traffic.lines.size();
      about.SaveUserId();
    } else {
      CUserIdDialog editor(s.engine, s.status);
      editor.ReadUserId();
      QCOMPARE(editor.user_id()->text(), shown);
      if (!typed.isNull()) editor.user_id()->setText(typed);
      from = s.traffic.lines.size();
      editor.Save();
    }
    QCOMPARE(QByteArray::fromStdString(s.camera.PeekText(reg)), saved);
    QVERIFY2(QString::fromLatin1(s.notifier.Texts().back()).startsWith(message),
             s.notifier.Texts().back().c_str());
    if (message.contains("can only")) {
      QCOMPARE(s.notifier.messages.back().icon, ctrl::MessageIcon::Error);
      QCOMPARE(s.traffic.lines.size(), from);  // nothing was sent
    }
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
