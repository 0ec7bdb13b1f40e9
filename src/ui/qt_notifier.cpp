#include "ui/qt_notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace ctrl::ui {
namespace {

QString Caption(const std::string& caption) {
  return caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption);
}

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Error:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtNotifier::ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
  QMessageBox box(ToQt(icon), Caption(caption), QString::fromStdString(text), QMessageBox::Ok,
                  parent_);
  box.exec();
}

bool QtNotifier::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Caption(caption), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ctrl::ui
