#include "ui/progress_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

CProgressBarDialog::CProgressBarDialog(ctrl::Clock& clock)
    // No parent: a disabled owner must not disable its own progress window.
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint),
      clock_(clock),
      bar_(new QProgressBar(this)),
      message_(new QLabel(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->addWidget(message_);
  layout->addWidget(bar_);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  message_->setMinimumWidth(280);
  setModal(false);
}

void CProgressBarDialog::OpenProgress(const std::string& message) {
  disabled_owner_ = nullptr;
  if (owner_) {
    QWidget* top = owner_->window();
    if (top->isEnabled()) {
      top->setEnabled(false);
      disabled_owner_ = top;
    }
  }
  message_->setText(QString::fromStdString(message));
  GrowToFitMessage();
  bar_->setValue(0);
  show();
  raise();
}

void CProgressBarDialog::SetProgressPercent(int percent) {
  if (!isVisible()) return;
  bar_->setValue(std::clamp(percent, 0, 100));
  message_->update();
}

void CProgressBarDialog::SetProgressMessage(const std::string& message) {
  message_->setText(QString::fromStdString(message));
  GrowToFitMessage();
  message_->update();
}

void CProgressBarDialog::GrowToFitMessage() {
  // The layout only learns of a new text when events are processed, and a hidden window not even
  // then: ask it now. Never shrink, so the window stays put while a running count changes.
  layout()->invalidate();
  const QSize fitting = size().expandedTo(sizeHint());
  if (fitting != size()) resize(fitting);
}

void CProgressBarDialog::FinishProgress() {
  if (!isVisible()) return;
  bar_->setValue(100);
  const int64_t deadline_us = clock_.NowUs() + int64_t{kHoldMs} * 1000;
  while (clock_.NowUs() < deadline_us) {
    ProcessPendingMessages();
    clock_.SleepUntilUs(std::min(deadline_us, clock_.NowUs() + 20'000));
  }
  Close();
}

void CProgressBarDialog::Close() {
  hide();
  if (disabled_owner_) {
    disabled_owner_->setEnabled(true);
    disabled_owner_->activateWindow();
  }
  disabled_owner_ = nullptr;
}

void CProgressBarDialog::ProcessPendingMessages() {
  QApplication::processEvents();
}

int CProgressBarDialog::percent() const {
  return bar_->value();
}

QString CProgressBarDialog::message() const {
  return message_->text();
}
