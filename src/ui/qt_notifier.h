#pragma once

#include <QPointer>
#include <QWidget>

#include "camera/notifier.h"

namespace ctrl::ui {

// Message boxes for the core's reports and questions, owned by the main window.
class QtNotifier final : public Notifier {
 public:
  explicit QtNotifier(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace ctrl::ui
