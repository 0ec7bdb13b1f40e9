#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "camera/command_engine.h"
#include "camera/online_status.h"
#include "ui/file_flows.h"
#include "ui/log_list.h"

class CProgressBarDialog;
class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QTimer;

namespace ctrl {
class CommChannel;
class ComPortMap;
class RegistrySettings;
}  // namespace ctrl

namespace ctrl::ui {
class StatusStrip;
}

// What the communication dialog works with; everything outlives the dialog.
struct CommunicationSetup {
  ctrl::Command* engine = nullptr;
  ctrl::OnlineStatusPublisher* status = nullptr;
  // The connection whose port and rate the dialog chooses; without one the lists stay empty.
  ctrl::CommChannel* channel = nullptr;
  ctrl::RegistrySettings* settings = nullptr;
  const int* factory_mode = nullptr;
  CProgressBarDialog* progress = nullptr;
  ctrl::ui::FileFlows* flows = nullptr;
  // The main window's operations.
  std::function<void()> reload_all_parameters;
  // The same, right after this dialog identified the camera (its model already reported);
  // reload_all_parameters when empty.
  std::function<void()> reload_after_model_check;
  std::function<void()> open_settings_file;
  std::function<void()> save_all_data;
  // Where each COM name leads in this run, shown beside the port names (none: not shown).
  const ctrl::ComPortMap* com_port_map = nullptr;
  // Opens the serial devices window.
  std::function<void()> show_serial_devices;
};

// The "Communication" window beside the main window: line status, port and rate of the
// connection, the settings-file buttons, the camera's user-set areas and the message list of
// the camera traffic. Closing it only hides it.
class CCommunicationDialog final : public QDialog, public ctrl::OnlineStatusObserver {
  Q_OBJECT

 public:
  static constexpr int kMaxMessages = 4096;
  enum ControlId {
    kPortList = 1005,
    kCategoryList = 1009,
    kAreaList = 1026,
    kBaudList = 1027,
    kStatusText = 1063,
    kStatusStrip = 1066,
    kStatusIcon = 1071,
    kWriteFileButton = 1072,
    kReadFileButton = 1073,
    kGetAreaButton = 1074,
    kAreaText = 1075,
    kStoreButton = 1076,
    kLoadButton = 1077,
    kMessageList = 1078,
    kSaveMessagesButton = 1079,
    kClearMessagesButton = 1080,
    kAutoButton = 1088,
    kSerialDevicesButton = 1090,
    kFastTransfersCheck = 1091,
  };
  // The link health readouts, in the order they are shown.
  enum class HealthField {
    kExchanges,
    kTimeouts,
    kRefused,
    kLinesSkipped,
    kRoundTrip,
    kBytes,
    kRate,
  };
  static constexpr int kHealthFieldCount = 7;
  static constexpr int kHealthRefreshMs = 1000;

  // Applies the previous-run check to the connection: after an abnormal end the COM port.
  explicit CCommunicationDialog(CommunicationSetup setup, QWidget* parent = nullptr);
  ~CCommunicationDialog() override;

  // The window initialisation: line status, category, ports, rate, Store enabling, area.
  void Initialise();
  void OnlineStatusChanged(bool online) override;
  // Store is disabled while "Factory Data" is chosen outside factory control mode.
  void RefreshStoreEnabling();
  void AppendMessage(const std::string& text);

  // Lists the ports afresh; a COM port's entry names the device it opens.
  void FillPortList();
  void OnPortChosen(int index);
  void OnBaudChosen(int index);
  // Shows the rate the line now uses without reopening anything (the link followed the camera).
  void ShowLineRate(int rate);
  // "Fast transfers" is ticked: long operations raise the line's rate while they run.
  bool fast_transfers() const;
  // Shows the engine's link health now; a timer does it about once a second while shown.
  void RefreshHealth();
  QString HealthText(HealthField field) const;
  void GetArea();
  void LoadArea();
  void StoreArea();
  void SaveMessages();

  QWidget* Control(int id) const;
  const ctrl::ui::LogListModel& messages() const { return messages_; }
  QTimer* health_timer() const { return health_timer_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ReloadAfterModelCheck();
  QWidget* BuildStatusGroup();
  QWidget* BuildPortGroup();
  QWidget* BuildFilesGroup();
  QWidget* BuildAreaRow();
  QWidget* BuildMessageGroup();
  QWidget* BuildHealthGroup();
  // The port is opened afresh: the link's record starts over.
  void StartHealthRecord();

  CommunicationSetup setup_;
  ctrl::ui::LogListModel messages_{kMaxMessages};
  bool filling_ = false;
  QLabel* status_icon_ = nullptr;
  QLabel* status_text_ = nullptr;
  QComboBox* category_ = nullptr;
  QComboBox* ports_ = nullptr;
  QComboBox* baud_ = nullptr;
  QPushButton* auto_ = nullptr;
  QPushButton* serial_devices_ = nullptr;
  QCheckBox* fast_transfers_ = nullptr;
  std::array<QLabel*, kHealthFieldCount> health_values_{};
  QTimer* health_timer_ = nullptr;
  QPushButton* write_file_ = nullptr;
  QPushButton* read_file_ = nullptr;
  QLabel* area_text_ = nullptr;
  QPushButton* get_area_ = nullptr;
  QComboBox* areas_ = nullptr;
  QPushButton* store_ = nullptr;
  QPushButton* load_ = nullptr;
  QListView* message_list_ = nullptr;
  QPushButton* save_messages_ = nullptr;
  QPushButton* clear_messages_ = nullptr;
  ctrl::ui::StatusStrip* strip_ = nullptr;
};
