#include "ui/qt_notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringDecoder>

#include "camera/identity.h"

namespace ctrl::ui {
namespace {

QString Caption(const std::string& caption) {
  return QString::fromStdString(caption.empty() ? std::string(ctrl::kToolTitle) : caption);
}

// Messages are UTF-8, except where they quote bytes read from the camera, which are Latin-1.
QString MessageText(const std::string& text) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

// "Caption: text" on one line, the text's line breaks as spaces.
std::string RecordLine(const std::string& text, const std::string& caption) {
  QString line = Caption(caption) + QStringLiteral(": ") + MessageText(text).simplified();
  return line.toStdString();
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
  if (record_) {
    record_(RecordLine(text, caption));
    return;
  }
  QMessageBox box(ToQt(icon), Caption(caption), MessageText(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtNotifier::AskYesNo(const std::string& text, const std::string& caption) {
  if (record_) {
    record_(RecordLine(text, caption) + " -> No");
    return false;
  }
  QMessageBox box(QMessageBox::Question, Caption(caption), MessageText(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ctrl::ui
