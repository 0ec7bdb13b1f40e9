#include "ui/registered_windows.h"

#include <algorithm>

namespace ctrl::ui {

RegisteredWindows& RegisteredWindows::Instance() {
  static RegisteredWindows windows;
  return windows;
}

void RegisteredWindows::Add(QWidget* window) {
  if (!Contains(window)) windows_.emplace_back(window);
}

void RegisteredWindows::Remove(QWidget* window) {
  std::erase_if(windows_, [window](const QPointer<QWidget>& w) { return w == window || !w; });
}

void RegisteredWindows::DisableAll() {
  for (const auto& window : windows_) {
    if (window) window->setEnabled(false);
  }
}

void RegisteredWindows::EnableAll() {
  for (const auto& window : windows_) {
    if (window) window->setEnabled(true);
  }
}

bool RegisteredWindows::Contains(const QWidget* window) const {
  return std::any_of(windows_.begin(), windows_.end(),
                     [window](const QPointer<QWidget>& w) { return w == window; });
}

}  // namespace ctrl::ui
