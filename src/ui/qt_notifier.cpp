#include "ui/qt_notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringDecoder>

namespace ctrl::ui {
namespace {

QString Caption(const std::string& caption) {
  return caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption);
}

// Messages are UTF-8, except where they quote bytes read from the camera, which are Latin-1.
QString MessageText(const std::string& text) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
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
  QMessageBox box(ToQt(icon), Caption(caption), MessageText(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtNotifier::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Caption(caption), MessageText(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ctrl::ui
