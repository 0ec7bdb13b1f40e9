#pragma once

#include <QDialog>
#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "camera/command_engine.h"
#include "camera/online_status.h"
#include "ui/file_flows.h"
#include "ui/log_list.h"

class QLineEdit;
class QListView;
class QPushButton;

namespace ctrl::ui {
class StatusStrip;
}

// "RS-232C TERMINAL": a raw command line to the camera and the time-stamped traffic log. The
// camera's replies come in through the engine's idle timer and its trace, like all traffic.
class CTerminalDialog final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 32786;
  enum ControlId {
    kCommandEdit = 1001,
    kSendButton = 1003,
    kLogList = 1004,
    kClearButton = 1006,
    kCloseButton = 1007,
    kSaveButton = 1008,
    kStatusStrip = 1070,
  };
  using Now = std::function<std::chrono::system_clock::time_point()>;

  CTerminalDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
                  ctrl::ui::FileFlows& flows, QWidget* parent = nullptr);
  ~CTerminalDialog() override;

  // Adds the line with its time stamp at the top of the log.
  bool AppendTerminalLine(const std::string& text);
  // Shows the window in its normal state.
  void ShowTerminal();
  void Send();
  void Clear() { log_.Clear(); }
  void Save();

  void set_now(Now now) { now_ = std::move(now); }
  QWidget* Control(int id) const;
  const ctrl::ui::LogListModel& log() const { return log_; }
  const QString& command_text() const { return command_text_; }

 public slots:
  void reject() override;  // Escape, the close box and "Close" only hide the window

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayOut();
  void Recall(int step);

  ctrl::Command& engine_;
  ctrl::ui::FileFlows& flows_;
  Now now_;
  QString command_text_;
  std::vector<QString> history_;
  size_t history_position_ = 0;
  QString draft_;
  ctrl::ui::LogListModel log_{kMaxLines};
  QLineEdit* edit_;
  QPushButton* close_;
  QPushButton* send_;
  QPushButton* clear_;
  QPushButton* save_;
  QListView* list_;
  ctrl::ui::StatusStrip* strip_;
};
