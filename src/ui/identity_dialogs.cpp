#include "ui/identity_dialogs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "camera/identity.h"
#include "camera/notifier.h"
#include "ui/registered_windows.h"
#include "ui/status_strip.h"

namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The identity registers hold bytes; one byte is one character both ways (Latin-1), so an
// unchanged text goes back exactly as it was read and a length counts bytes.
QString FromCameraBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The bytes of `text`, or nothing (after saying which character) when a character has no
// single-byte form: it is refused rather than replaced.
std::optional<std::string> ToCameraBytes(const QString& text, const char* field) {
  for (const QChar character : text) {
    if (character.unicode() > 0xFF) {
      const QString message = QStringLiteral(
                                  "The %1 can only hold characters of one byte "
                                  "(Latin-1); \"%2\" is not one of them.")
                                  .arg(QString::fromLatin1(field), QString(character));
      ctrl::CurrentNotifier().ShowMessage(message.toStdString(), "", ctrl::MessageIcon::Error);
      return std::nullopt;
    }
  }
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QPushButton* PlainButton(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setAutoDefault(false);
  return button;
}

bool IsEnter(const QKeyEvent* event) {
  return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

}  // namespace

// ---- CAboutDialog ----

CAboutDialog::CAboutDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
                           QWidget* parent)
    : QDialog(parent), engine_(engine) {
  setWindowTitle(QStringLiteral("About This Control"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 2);
  title_ = new QLabel(Text(ctrl::kToolTitle), this);
  version_ = new QLabel(Text(ctrl::kToolVersion), this);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  auto* heading = new QHBoxLayout;
  heading->addWidget(title_);
  heading->addWidget(new QLabel(QStringLiteral("Version"), this));
  heading->addWidget(version_);
  heading->addStretch(1);
  layout->addLayout(heading);

  auto* camera = new QGroupBox(QStringLiteral("Camera Data"), this);
  auto* grid = new QGridLayout(camera);
  vendor_ = AddField(grid, 0, "Device Vendor Name");
  model_ = AddField(grid, 1, "Device Model Name");
  serial_ = AddField(grid, 2, "Device Serial Number");
  device_type_ = AddField(grid, 3, "Device Type");
  scan_type_ = AddField(grid, 4, "Device Scan Type");
  sensor_ = AddField(grid, 5, "Sensor ID");
  grid->addWidget(new QLabel(QStringLiteral("Device Version"), camera), 6, 0);
  device_version_ = new QLineEdit(camera);
  device_version_->setReadOnly(true);
  grid->addWidget(device_version_, 6, 1);
  fpga_version_ = AddField(grid, 7, "FPGA Version");
  firmware_version_ = AddField(grid, 8, "Device Firmware Version");
  xml_version_ = AddField(grid, 9, "XML Version");
  grid->addWidget(new QLabel(QStringLiteral("Device User ID"), camera), 10, 0);
  user_id_ = new QLineEdit(camera);
  user_id_->setMinimumWidth(user_id_->fontMetrics().horizontalAdvance(QString(32, 'W')));
  grid->addWidget(user_id_, 10, 1);
  save_user_id_ = PlainButton("Save User ID", camera);
  protect_ = new QRadioButton(QStringLiteral("Protect User ID"), camera);
  enable_ = new QRadioButton(QStringLiteral("Enable To Edit User ID"), camera);
  auto* user_row = new QHBoxLayout;
  user_row->addWidget(protect_);
  user_row->addWidget(enable_);
  user_row->addStretch(1);
  user_row->addWidget(save_user_id_);
  grid->addLayout(user_row, 11, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  layout->addWidget(camera);

  strip_ = new ctrl::ui::StatusStrip(status, this);
  layout->addWidget(strip_);

  connect(protect_, &QRadioButton::clicked, this, [this] { SetUserIdEditable(false); });
  connect(enable_, &QRadioButton::clicked, this, [this] { SetUserIdEditable(true); });
  connect(save_user_id_, &QPushButton::clicked, this, &CAboutDialog::SaveUserId);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
  SetUserIdEditable(false);
}

CAboutDialog::~CAboutDialog() {
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

QLabel* CAboutDialog::AddField(QGridLayout* grid, int row, const char* label) {
  QWidget* group = grid->parentWidget();
  grid->addWidget(new QLabel(QString::fromLatin1(label), group), row, 0);
  auto* value = new QLabel(group);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(value, row, 1);
  return value;
}

void CAboutDialog::ReadIdentity() {
  const QString text_placeholder = Text(ctrl::kTextPlaceholder);
  const QString version_placeholder = Text(ctrl::kVersionPlaceholder);
  for (QLabel* field : {vendor_, model_, serial_, device_type_, scan_type_, sensor_}) {
    field->setText(text_placeholder);
  }
  for (QLabel* field : {fpga_version_, firmware_version_, xml_version_}) {
    field->setText(version_placeholder);
  }
  device_version_->setText(version_placeholder);
  user_id_->setText(text_placeholder);

  const ctrl::DeviceIdentity id = ctrl::ReadDeviceIdentity(engine_);
  if (!id.firmware_version) return;  // the camera does not answer: nothing else was read
  auto show = [](QLabel* field, const std::optional<std::string>& value) {
    if (value) field->setText(FromCameraBytes(*value));
  };
  show(firmware_version_, id.firmware_version);
  show(model_, id.model_name);
  show(serial_, id.serial_number);
  show(fpga_version_, id.fpga_version);
  if (id.user_id) user_id_->setText(FromCameraBytes(*id.user_id));
  if (id.device_version) device_version_->setText(FromCameraBytes(*id.device_version));
  show(vendor_, id.vendor_name);
  device_type_->setText(Text(ctrl::DeviceTypeText(id.device_type)));
  scan_type_->setText(Text(ctrl::ScanTypeText(id.scan_type)));
  show(sensor_, id.sensor_id);
  show(xml_version_, id.xml_version);
}

void CAboutDialog::SetUserIdEditable(bool editable) {
  user_id_->setEnabled(editable);
  save_user_id_->setEnabled(editable);
  protect_->setChecked(!editable);
  enable_->setChecked(editable);
}

void CAboutDialog::SaveUserId() {
  if (auto bytes = ToCameraBytes(user_id_->text(), "User ID")) ctrl::SaveUserId(engine_, *bytes);
}

QString CAboutDialog::FieldText(int id) const {
  QWidget* control = Control(id);
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  return {};
}

QWidget* CAboutDialog::Control(int id) const {
  switch (id) {
    case kToolTitle:
      return title_;
    case kToolVersion:
      return version_;
    case kFirmwareVersion:
      return firmware_version_;
    case kSerialNumber:
      return serial_;
    case kModelName:
      return model_;
    case kUserId:
      return user_id_;
    case kFpgaVersion:
      return fpga_version_;
    case kSaveUserId:
      return save_user_id_;
    case kProtectUserId:
      return protect_;
    case kEnableUserId:
      return enable_;
    case kDeviceVersion:
      return device_version_;
    case kVendorName:
      return vendor_;
    case kDeviceType:
      return device_type_;
    case kScanType:
      return scan_type_;
    case kSensorId:
      return sensor_;
    case kXmlVersion:
      return xml_version_;
    default:
      return nullptr;
  }
}

void CAboutDialog::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event)) return;  // Enter does not close this dialog; Escape does
  QDialog::keyPressEvent(event);
}

// ---- CCameraIdDialog ----

CCameraIdDialog::CCameraIdDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
                                 int factory_mode, QWidget* parent)
    : QDialog(parent), engine_(engine) {
  setWindowTitle(QStringLiteral("Device Serial Number"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 2);
  auto* group = new QGroupBox(QStringLiteral("Device Serial Number"), this);
  auto* row = new QHBoxLayout(group);
  const int box_width = fontMetrics().horizontalAdvance('W') + 14;
  for (QLineEdit*& box : boxes_) {
    box = new QLineEdit(group);
    box->setFixedWidth(box_width);
    box->setAlignment(Qt::AlignCenter);
    row->addWidget(box);
  }
  layout->addWidget(group);
  save_ = PlainButton("Save", this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_);
  layout->addLayout(buttons);
  strip_ = new ctrl::ui::StatusStrip(status, this);
  layout->addWidget(strip_);
  // Without factory control mode 1 the dialog only shows the serial number.
  save_->setVisible(factory_mode == 1);
  connect(save_, &QPushButton::clicked, this, &CCameraIdDialog::Save);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
}

CCameraIdDialog::~CCameraIdDialog() {
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

void CCameraIdDialog::ReadSerialNumber() {
  for (QLineEdit* box : boxes_) box->clear();
  std::string serial;
  if (!engine_.ReadText(ctrl::cmd::kSerialNumber, ctrl::kIdentityTextBytes, serial,
                        ctrl::kDefaultTimeoutMs)) {
    return;
  }
  for (size_t k = 0; k < boxes_.size() && k < serial.size(); ++k) {
    boxes_[k]->setText(QString(QChar::fromLatin1(serial[k])));
  }
}

void CCameraIdDialog::Save() {
  // Only the first character of a box is written, so only that one needs a byte.
  std::string texts[10];
  for (size_t k = 0; k < boxes_.size(); ++k) {
    auto bytes = ToCameraBytes(boxes_[k]->text().left(1), "Device Serial ID");
    if (!bytes) return;
    texts[k] = *bytes;
  }
  ctrl::WriteSerialNumber(engine_, ctrl::SerialFromBoxes(texts));
}

void CCameraIdDialog::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event)) {
    accept();  // the dialog's OK action closes it without writing
    return;
  }
  QDialog::keyPressEvent(event);
}

// ---- CUserIdDialog ----

CUserIdDialog::CUserIdDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
                             QWidget* parent)
    : QDialog(parent), engine_(engine), edit_(nullptr), save_(nullptr) {
  setWindowTitle(QStringLiteral("Device User ID"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 2);
  auto* row = new QHBoxLayout;
  edit_ = new QLineEdit(this);
  edit_->setMinimumWidth(edit_->fontMetrics().horizontalAdvance(QString(32, 'W')));
  save_ = PlainButton("Save", this);
  row->addWidget(new QLabel(QStringLiteral("Device User ID"), this));
  row->addWidget(edit_, 1);
  row->addWidget(save_);
  layout->addLayout(row);
  strip_ = new ctrl::ui::StatusStrip(status, this);
  layout->addWidget(strip_);
  connect(save_, &QPushButton::clicked, this, &CUserIdDialog::Save);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
}

CUserIdDialog::~CUserIdDialog() {
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

void CUserIdDialog::ReadUserId() {
  std::string user_id;
  if (engine_.ReadText(ctrl::cmd::kUserId, ctrl::kIdentityTextBytes, user_id,
                       ctrl::kDefaultTimeoutMs)) {
    edit_->setText(FromCameraBytes(user_id));
  } else {
    edit_->setText(QString(16, '?'));
  }
}

void CUserIdDialog::Save() {
  if (auto bytes = ToCameraBytes(edit_->text(), "User ID")) ctrl::WriteUserId(engine_, *bytes);
}

void CUserIdDialog::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event)) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
