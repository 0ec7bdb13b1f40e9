#pragma once

#include <QDialog>
#include <array>

#include "camera/command_engine.h"
#include "camera/online_status.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ctrl::ui {
class StatusStrip;
}

// "About This Control": the tool's title and version and the connected camera's identity, read
// afresh each time the dialog opens; the user ID can be unlocked, edited and saved.
class CAboutDialog final : public QDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kToolTitle = 1000,
    kToolVersion = 1002,
    kFirmwareVersion = 1022,
    kSerialNumber = 1023,
    kModelName = 1024,
    kUserId = 1028,
    kFpgaVersion = 1082,
    kSaveUserId = 1083,
    kProtectUserId = 1084,
    kEnableUserId = 1085,
    kDeviceVersion = 1149,
    kVendorName = 1775,
    kDeviceType = 1776,
    kScanType = 1777,
    kSensorId = 1778,
    kXmlVersion = 1779,
  };

  CAboutDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
               QWidget* parent = nullptr);
  ~CAboutDialog() override;

  // Placeholders, then the camera's identity field by field as far as it answers.
  void ReadIdentity();
  void SetUserIdEditable(bool editable);
  void SaveUserId();
  // The text a field shows, by control id.
  QString FieldText(int id) const;
  QWidget* Control(int id) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* AddField(class QGridLayout* grid, int row, const char* label);

  ctrl::Command& engine_;
  QLabel* title_;
  QLabel* version_;
  QLabel* vendor_;
  QLabel* model_;
  QLabel* serial_;
  QLabel* device_type_;
  QLabel* scan_type_;
  QLabel* sensor_;
  QLineEdit* device_version_;
  QLabel* fpga_version_;
  QLabel* firmware_version_;
  QLabel* xml_version_;
  QLineEdit* user_id_;
  QPushButton* save_user_id_;
  QRadioButton* protect_;
  QRadioButton* enable_;
  ctrl::ui::StatusStrip* strip_;
};

// "Device Serial Number": the first ten characters of the serial number in one-character boxes;
// "Save" exists only in factory control mode 1.
class CCameraIdDialog final : public QDialog {
  Q_OBJECT

 public:
  static constexpr std::array<int, 10> kBoxIds = {1029, 1030, 1031, 1032, 1033,
                                                  1034, 1035, 1036, 1037, 1042};
  static constexpr int kSaveButton = 1050;

  CCameraIdDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status, int factory_mode,
                  QWidget* parent = nullptr);
  ~CCameraIdDialog() override;

  void ReadSerialNumber();
  void Save();
  QLineEdit* box(int k) const { return boxes_[static_cast<size_t>(k)]; }
  QPushButton* save_button() const { return save_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ctrl::Command& engine_;
  std::array<QLineEdit*, 10> boxes_{};
  QPushButton* save_;
  ctrl::ui::StatusStrip* strip_;
};

// "Device User ID": reads the user ID when it opens and writes it back on "Save".
class CUserIdDialog final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kUserIdEdit = 1039;
  static constexpr int kSaveButton = 1040;

  CUserIdDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
                QWidget* parent = nullptr);
  ~CUserIdDialog() override;

  void ReadUserId();
  void Save();
  QLineEdit* user_id() const { return edit_; }
  QPushButton* save_button() const { return save_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ctrl::Command& engine_;
  QLineEdit* edit_;
  QPushButton* save_;
  ctrl::ui::StatusStrip* strip_;
};
