// The compare and serial devices windows driven like an operator would: the compare window lists
// exactly the rows where the camera and a settings file disagree, in named form, and sends only
// the ticked ones through the change protocol, showing what the camera did with each; the serial
// devices window stores a COM mapping and the communication window offers it at once.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "camera/control_ids.h"
#include "camera/feature_catalogue.h"
#include "dialogs/dialog_session.h"
#include "transport/com_port_map.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"
#include "ui/communication_dialog.h"
#include "ui/compare_dialog.h"
#include "ui/serial_devices_dialog.h"

namespace {

using ctrl::test::DialogSession;

constexpr int kExposure = ctrl::cmd::kExposureTime;
constexpr int kActivation = 50;  // Line Trigger Activation
constexpr int kGain = 57;        // Digital Gain
constexpr int kLinePeriod = 34;  // Internal Line Rate

// Replaces the value of each command's line of a settings file.
void ChangeLines(const QString& path, const std::map<int, int32_t>& values) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QList<QByteArray> lines = file.readAll().split('\n');
  file.close();
  for (const auto& [command_id, value] : values) {
    const QByteArray address =
        QByteArray::fromStdString(ctrl::Commands().GetCommandAddress(command_id));
    int replaced = 0;
    for (QByteArray& line : lines) {
      if (!line.startsWith(address + "=")) continue;
      line = address + "=" + QByteArray::number(value) + (line.endsWith('\r') ? "\r" : "");
      ++replaced;
    }
    QCOMPARE(replaced, 1);
  }
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(lines.join('\n'));
}

QStringList Column(const QTreeWidget* rows, int column) {
  QStringList texts;
  for (int i = 0; i < rows->topLevelItemCount(); ++i) texts << rows->topLevelItem(i)->text(column);
  return texts;
}

QString Named(DialogSession& s, int command_id, int32_t value) {
  return QString::fromStdString(
      ctrl::DisplayText(*ctrl::FeatureOfCommand(command_id), value, s.engine.device()));
}

// The main window's "All Data" file of the simulated camera.
QString SaveAllData(DialogSession& s, const QTemporaryDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  s.file_dialogs.Choose(path);
  s.window->menu_action(30011)->trigger();
  return path;
}

// A fake camera behind the compare window: refuses some commands, lacks others, and can lose its
// line on a refusal.
struct FakeCamera {
  std::map<int, int32_t> values;
  std::set<int> refuses;
  std::set<int> unavailable;
  int loses_line_at = -1;  // the write of this command takes the line down
  bool line_lost = false;
  std::vector<int> sent;

  CompareSetup Setup(const ctrl::DeviceModel& device) {
    CompareSetup setup;
    setup.device = &device;
    setup.apply = [this](int command_id, int32_t value) {
      sent.push_back(command_id);
      line_lost = line_lost || command_id == loses_line_at;
      if (line_lost || refuses.count(command_id)) return false;
      values[command_id] = value;
      return true;
    };
    setup.is_available = [this](int command_id) { return unavailable.count(command_id) == 0; };
    setup.line_lost = [this] { return line_lost; };
    setup.camera_values = [this] { return values; };
    return setup;
  }
};

}  // namespace

class UiCompareWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void applySelectedSendsTheTickedRowsOnly() {
    DialogSession s("QX-4096M-PCL");
    QTemporaryDir dir;
    const QString path = SaveAllData(s, dir, "line_a.cam");
    const int32_t exposure = s.Peek(kExposure);
    const int32_t activation = s.Peek(kActivation);
    const int32_t gain = s.Peek(kGain);
    // An exposure longer than the line period: the camera refuses it.
    const int32_t refused_exposure = s.Peek(kLinePeriod) + 1000;
    const int32_t other_activation = activation == 0 ? 1 : 0;
    ChangeLines(
        path, {{kExposure, refused_exposure}, {kActivation, other_activation}, {kGain, gain + 44}});

    bool shown = false;
    s.on_modal = [&](QDialog& dialog) {
      auto* compare = qobject_cast<CCompareDialog*>(&dialog);
      QVERIFY(compare != nullptr);
      shown = true;
      QCOMPARE(compare->windowTitle(), QString("Compare with Settings File"));
      QCOMPARE(compare->summary()->text(),
               QString("3 parameters differ between the camera and line_a.cam."));
      QTreeWidget* rows = compare->rows();
      QCOMPARE(Column(rows, CCompareDialog::kParameterColumn),
               QStringList({"Exposure Time", "Line Trigger Activation", "Digital Gain"}));
      QCOMPARE(
          Column(rows, CCompareDialog::kCameraColumn),
          QStringList({Named(s, kExposure, exposure),
                       activation == 0 ? "RisingEdge" : "FallingEdge", QString::number(gain)}));
      QCOMPARE(Column(rows, CCompareDialog::kFileColumn),
               QStringList({Named(s, kExposure, refused_exposure),
                            activation == 0 ? "FallingEdge" : "RisingEdge",
                            QString::number(gain + 44)}));
      for (int i = 0; i < 3; ++i) {
        QCOMPARE(rows->topLevelItem(i)->checkState(CCompareDialog::kApplyColumn), Qt::Checked);
      }

      rows->topLevelItem(compare->RowOf(kGain))
          ->setCheckState(CCompareDialog::kApplyColumn, Qt::Unchecked);
      QTest::mouseClick(compare->apply_button(), Qt::LeftButton);

      QCOMPARE(Column(rows, CCompareDialog::kStatusColumn),
               QStringList(
                   {"Refused — the camera keeps " + Named(s, kExposure, exposure), "Applied", ""}));
      QCOMPARE(rows->topLevelItem(compare->RowOf(kActivation))->text(CCompareDialog::kCameraColumn),
               rows->topLevelItem(compare->RowOf(kActivation))->text(CCompareDialog::kFileColumn));
      QCOMPARE(
          rows->topLevelItem(compare->RowOf(kExposure))->checkState(CCompareDialog::kApplyColumn),
          Qt::Checked);
      QCOMPARE(rows->topLevelItem(compare->RowOf(kGain))->checkState(CCompareDialog::kApplyColumn),
               Qt::Unchecked);
      QCOMPARE(compare->summary()->text(),
               QString("2 parameters differ between the camera and line_a.cam."));
    };
    s.file_dialogs.Choose(path);
    s.window->menu_action(30013)->trigger();
    QVERIFY(shown);

    QCOMPARE(s.Peek(kActivation), other_activation);
    QCOMPARE(s.Peek(kExposure), exposure);
    QCOMPARE(s.Peek(kGain), gain);
    QVERIFY(s.traffic.Sent(s.Write(kExposure, refused_exposure)));
    QVERIFY(!s.traffic.Sent(s.Write(kGain, gain + 44)));
    // The page shows what the camera holds now.
    QCOMPARE(qobject_cast<QComboBox*>(s.window->FindControl(ctrl::control::kLineTriggerActivation))
                 ->currentText(),
             QString(activation == 0 ? "FallingEdge" : "RisingEdge"));
  }

  // A file saved from the camera matches it on every kind: the file's and the camera's rows are
  // chosen alike (factory rows, the model's commands, the colour matrix).
  void aFileJustSavedMatchesTheCamera_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("factory");
    QTest::newRow("mono") << "QX-4096M-PCL" << 0;
    QTest::newRow("colour") << "QX-4096TR-PCL" << 0;
    QTest::newRow("wide, factory mode") << "QX-8192M-PCL" << 1;
  }
  void aFileJustSavedMatchesTheCamera() {
    QFETCH(QString, model);
    QFETCH(int, factory);
    DialogSession s(model.toStdString(), factory);
    QTemporaryDir dir;
    const QString path = SaveAllData(s, dir, "same.cam");
    int listed = -1;
    QString summary;
    s.on_modal = [&](QDialog& dialog) {
      auto* compare = qobject_cast<CCompareDialog*>(&dialog);
      listed = compare->rows()->topLevelItemCount();
      summary = compare->summary()->text();
    };
    s.file_dialogs.Choose(path);
    s.window->menu_action(30013)->trigger();
    QCOMPARE(summary, QString("The camera matches same.cam."));
    QCOMPARE(listed, 0);
  }

  void aCameraThatStopsAnsweringIsNotCompared() {
    DialogSession s("QX-4096M-PCL");
    QTemporaryDir dir;
    const QString path = SaveAllData(s, dir, "line_a.cam");
    bool shown = false;
    s.on_modal = [&](QDialog&) { shown = true; };
    s.Silence(true);
    s.file_dialogs.Choose(path);
    s.window->menu_action(30013)->trigger();
    QVERIFY(!shown);
    QCOMPARE(s.notifier.messages.size(), size_t{1});
    QVERIFY(QString::fromStdString(s.notifier.messages[0].text)
                .contains("could not be read from the camera"));
  }

  // What each ticked row comes to when the camera lacks it, the file lacks it, or the line goes.
  void eachRowSaysWhatBecameOfIt() {
    ctrl::test::RecordingNotifier notifier;
    ctrl::DeviceModel device;
    device.kind = ctrl::ModelKind::Mono;
    FakeCamera camera;
    constexpr int kShift = 58;  // Digital Shift
    camera.values = {
        {kExposure, 100}, {kLinePeriod, 8000}, {kActivation, 0}, {kGain, 256}, {kShift, 0}};
    camera.unavailable = {kActivation};
    camera.refuses = {kLinePeriod};
    camera.loses_line_at = kGain;
    const ctrl::SettingsValues file = {
        {22, 4096}, {kLinePeriod, 9000}, {kActivation, 1}, {kGain, 300}, {kShift, 2}};
    CCompareDialog compare(camera.Setup(device), "f.cam", camera.values, file);
    QCOMPARE(compare.rows()->topLevelItemCount(), 6);
    compare.ApplySelected();
    // In command order: Width is in the file only and goes; Exposure Time is in the camera only;
    // the line period is refused; Line Trigger Activation is not on this camera; the gain's write
    // loses the line, so Digital Shift is never sent.
    QCOMPARE(camera.sent, std::vector<int>({22, kLinePeriod, kGain}));
    QCOMPARE(Column(compare.rows(), CCompareDialog::kStatusColumn),
             QStringList({"Applied", "Skipped — the file has no value for it",
                          "Refused — the camera keeps " +
                              QString::fromStdString(ctrl::DisplayText(
                                  *ctrl::FeatureOfCommand(kLinePeriod), 8000, device)),
                          "Skipped — not available on this camera",
                          "Not answered — the line went away", ""}));
    QCOMPARE(notifier.Texts(), std::vector<std::string>({"The camera's line went away. The "
                                                         "remaining parameters were not sent."}));
    QCOMPARE(compare.summary()->text(),
             QString("5 parameters differ between the camera and f.cam."));
  }

  void mappingADeviceStoresItAndTheCommunicationWindowOffersIt() {
    DialogSession s("QX-4096M-PCL");
    ctrl::SystemTransports transports;
    ctrl::CommChannel comm(transports.com_port, transports.cl_serial_2000,
                           transports.cl_serial_2001, transports.cl_serial_v11);
    std::vector<ctrl::SerialDevice> present;
    ctrl::SerialDevice adapter;
    adapter.device_node = "/dev/ttyUSB0";
    adapter.by_id = {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
    adapter.kind = ctrl::kSerialKindUsb;
    adapter.manufacturer = "FTDI";
    adapter.product = "FT232R USB UART";
    adapter.driver = "ftdi_sio";
    ctrl::SerialDevice uart;
    uart.device_node = "/dev/ttyS0";
    uart.kind = ctrl::kSerialKindUart;
    uart.driver = "serial";

    CommunicationSetup communication;
    communication.engine = &s.engine;
    communication.status = &s.status;
    communication.channel = &comm;
    communication.settings = &s.settings;
    communication.com_port_map = &transports.com_port.port_map();
    SerialDevicesSetup devices;
    devices.settings = &s.settings;
    devices.port_map = &transports.com_port.port_map();
    devices.list_devices = [&present] { return present; };
    CCommunicationDialog* dialog = nullptr;
    devices.mappings_changed = [&dialog] { dialog->FillPortList(); };
    QStringList listed;
    communication.show_serial_devices = [&] {
      CSerialDevicesDialog window(devices);
      QTreeWidget* list = window.devices();
      listed.clear();
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        listed << list->topLevelItem(i)->text(0) + " | " + list->topLevelItem(i)->text(1) + " | " +
                      list->topLevelItem(i)->text(2);
      }
      if (present.empty()) return;
      list->setCurrentItem(list->topLevelItem(0));
      window.com_names()->setCurrentIndex(4);
      QTest::mouseClick(window.map_button(), Qt::LeftButton);
    };
    CCommunicationDialog communication_window(communication);
    dialog = &communication_window;
    communication_window.Initialise();
    auto* button = qobject_cast<QPushButton*>(
        communication_window.Control(CCommunicationDialog::kSerialDevicesButton));
    auto* ports =
        qobject_cast<QComboBox*>(communication_window.Control(CCommunicationDialog::kPortList));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(listed, QStringList({"No serial devices found. |  | "}));
    QVERIFY(!s.backend.Contains("Ports/COM5"));

    present = {adapter, uart};
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(listed, QStringList({"/dev/ttyUSB0 | FTDI FT232R USB UART (ftdi_sio) | ",
                                  "/dev/ttyS0 | uart (serial) | COM1"}));
    QCOMPARE(s.settings.ReadPortDevice("COM5"), adapter.by_id.front());
    QCOMPARE(transports.com_port.port_map().DevicePath("COM5"), adapter.by_id.front());
    QCOMPARE(ports->itemData(4, Qt::UserRole).toString(),
             QString::fromStdString(adapter.by_id.front()));

    // Shown as opened by COM5 now, and Unmap takes it back to its own device.
    CSerialDevicesDialog window(devices);
    QCOMPARE(window.devices()->topLevelItem(0)->text(CSerialDevicesDialog::kComColumn),
             QString("COM5"));
    QCOMPARE(window.com_names()->currentText(), QString("COM5"));
    QTest::mouseClick(window.unmap_button(), Qt::LeftButton);
    QCOMPARE(s.settings.ReadPortDevice("COM5"), std::string());
    QCOMPARE(ports->itemData(4, Qt::UserRole).toString(), QString("/dev/ttyS4"));
    QCOMPARE(window.devices()->topLevelItem(0)->text(CSerialDevicesDialog::kComColumn), QString());
  }
};

QTEST_MAIN(UiCompareWindowTest)
#include "compare_window_test.moc"
