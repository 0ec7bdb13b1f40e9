#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

namespace ctrl::ui {

// Every dialog of the tool that is currently open. Long operations disable them all so the
// operator cannot start a second operation meanwhile.
class RegisteredWindows {
 public:
  static RegisteredWindows& Instance();

  void Add(QWidget* window);
  void Remove(QWidget* window);
  void DisableAll();
  void EnableAll();
  bool Contains(const QWidget* window) const;

 private:
  std::vector<QPointer<QWidget>> windows_;
};

}  // namespace ctrl::ui
