#pragma once

#include <QDialog>
#include <QPointer>

#include "camera/clock.h"
#include "camera/progress.h"

class QLabel;
class QProgressBar;

// The shared progress window of long camera operations: a captionless window with a message
// and a bar from 0 to 100. While it is open its owner is disabled.
class CProgressBarDialog final : public QDialog, public ctrl::Progress {
  Q_OBJECT

 public:
  static constexpr int kBarId = 1011;
  static constexpr int kMessageId = 1013;
  static constexpr int kHoldMs = 1000;

  explicit CProgressBarDialog(ctrl::Clock& clock);

  // The window whose top-level window the progress disables while open.
  void set_owner(QWidget* owner) { owner_ = owner; }

  void OpenProgress(const std::string& message) override;
  void SetProgressPercent(int percent) override;
  void SetProgressMessage(const std::string& message) override;
  // Shows the full bar for a moment so the end of the operation can be seen, then closes.
  void FinishProgress() override;
  void ProcessPendingMessages() override;

  int percent() const;
  QString message() const;

 private:
  void Close();
  // Widens the window to show the whole message.
  void GrowToFitMessage();

  ctrl::Clock& clock_;
  QPointer<QWidget> owner_;
  QPointer<QWidget> disabled_owner_;
  QProgressBar* bar_;
  QLabel* message_;
};
