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

// Keeps every registered window disabled for its lifetime: a long operation that returns
// early or throws cannot leave the tool disabled.
class AllWindowsDisabled {
 public:
  AllWindowsDisabled() { RegisteredWindows::Instance().DisableAll(); }
  ~AllWindowsDisabled() { RegisteredWindows::Instance().EnableAll(); }
  AllWindowsDisabled(const AllWindowsDisabled&) = delete;
  AllWindowsDisabled& operator=(const AllWindowsDisabled&) = delete;
};

}  // namespace ctrl::ui
