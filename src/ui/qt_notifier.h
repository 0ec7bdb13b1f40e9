#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "camera/notifier.h"

namespace ctrl::ui {

// Message boxes for the core's reports and questions, owned by the main window.
class QtNotifier final : public Notifier {
 public:
  explicit QtNotifier(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }
  // Runs nobody watches (screenshots): every message and question becomes one line handed to
  // `record` instead of a box, and questions are answered No.
  void RecordInsteadOfShowing(std::function<void(const std::string& line)> record) {
    record_ = std::move(record);
  }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

 private:
  QPointer<QWidget> parent_;
  std::function<void(const std::string& line)> record_;
};

}  // namespace ctrl::ui
