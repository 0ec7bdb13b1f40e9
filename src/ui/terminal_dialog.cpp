#include "ui/terminal_dialog.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include "camera/time_stamp.h"
#include "ui/registered_windows.h"
#include "ui/status_strip.h"

CTerminalDialog::CTerminalDialog(ctrl::Command& engine, ctrl::OnlineStatusPublisher& status,
                                 ctrl::ui::FileFlows& flows, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      engine_(engine),
      flows_(flows),
      now_([] { return std::chrono::system_clock::now(); }),
      edit_(new QLineEdit(this)),
      close_(new QPushButton(QStringLiteral("Close"), this)),
      send_(new QPushButton(QStringLiteral("Send"), this)),
      clear_(new QPushButton(QStringLiteral("Clear"), this)),
      save_(new QPushButton(QStringLiteral("Save"), this)),
      list_(new QListView(this)),
      strip_(new ctrl::ui::StatusStrip(status, this)) {
  setWindowTitle(QStringLiteral("RS-232C TERMINAL"));
  setSizeGripEnabled(true);
  list_->setModel(&log_);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setUniformItemSizes(true);  // keeps a full log cheap to show
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  send_->setDefault(true);
  for (QPushButton* button : {close_, clear_, save_}) button->setAutoDefault(false);
  strip_->setMaximumHeight(QWIDGETSIZE_MAX);  // the layout below decides its height
  edit_->installEventFilter(this);
  edit_->setText(command_text_);

  connect(send_, &QPushButton::clicked, this, &CTerminalDialog::Send);
  connect(close_, &QPushButton::clicked, this, &CTerminalDialog::reject);
  connect(clear_, &QPushButton::clicked, this, &CTerminalDialog::Clear);
  connect(save_, &QPushButton::clicked, this, &CTerminalDialog::Save);

  resize(570, 390);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
}

CTerminalDialog::~CTerminalDialog() {
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

QWidget* CTerminalDialog::Control(int id) const {
  switch (id) {
    case kCommandEdit:
      return edit_;
    case kSendButton:
      return send_;
    case kLogList:
      return list_;
    case kClearButton:
      return clear_;
    case kCloseButton:
      return close_;
    case kSaveButton:
      return save_;
    case kStatusStrip:
      return strip_;
    default:
      return nullptr;
  }
}

bool CTerminalDialog::AppendTerminalLine(const std::string& text) {
  log_.Prepend(QString::fromStdString(ctrl::TerminalTimeStamp(now_()) + text));
  return true;
}

void CTerminalDialog::ShowTerminal() {
  showNormal();
  raise();
  activateWindow();
}

void CTerminalDialog::Send() {
  command_text_ = edit_->text();
  if (!command_text_.isEmpty() && (history_.empty() || history_.back() != command_text_)) {
    history_.push_back(command_text_);
  }
  history_position_ = history_.size();
  draft_.clear();
  engine_.SendText(command_text_.toStdString() + "\r\n");
  edit_->setText(command_text_);  // stays for editing or sending again
}

void CTerminalDialog::Save() {
  flows_.SaveLog(this, ctrl::ui::FileFlows::Log::kTerminal, log_.NewestFirst(),
                 [this](const std::string& line) { AppendTerminalLine(line); });
}

void CTerminalDialog::reject() {
  command_text_ = edit_->text();
  hide();
}

void CTerminalDialog::Recall(int step) {
  if (step < 0) {
    if (history_position_ == 0) return;
    if (history_position_ == history_.size()) draft_ = edit_->text();
    --history_position_;
  } else {
    if (history_position_ >= history_.size()) return;
    ++history_position_;
  }
  edit_->setText(history_position_ == history_.size() ? draft_ : history_[history_position_]);
}

bool CTerminalDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Recall(key == Qt::Key_Up ? -1 : 1);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CTerminalDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
}

void CTerminalDialog::LayOut() {
  const int w = width();
  const int h = height();
  auto place = [](QWidget* widget, int left, int top, int right, int bottom) {
    widget->setGeometry(left, top, std::max(right - left, 0), std::max(bottom - top, 0));
  };
  place(edit_, 10, 10, w - 80, 30);
  place(list_, 10, 42, w - 80, h - 20);
  place(close_, w - 70, 10, w - 10, 30);
  place(send_, w - 70, 34, w - 10, 54);
  place(clear_, w - 70, 58, w - 10, 78);
  place(save_, w - 70, 82, w - 10, 102);
  place(strip_, 4, h - 12, w - 4, h - 4);
}
