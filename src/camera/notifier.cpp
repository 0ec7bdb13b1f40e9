#include "camera/notifier.h"

#include <cstdio>

namespace ctrl {
namespace {

class StderrNotifier final : public Notifier {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    if (caption.empty()) {
      std::fprintf(stderr, "%s\n", text.c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
  }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    ShowMessage(text + " (answered No)", caption, MessageIcon::Question);
    return false;
  }
};

StderrNotifier& FallbackNotifier() {
  static StderrNotifier notifier;
  return notifier;
}

Notifier* installed = nullptr;
thread_local Notifier* installed_for_thread = nullptr;

}  // namespace

Notifier& CurrentNotifier() {
  if (installed_for_thread != nullptr) return *installed_for_thread;
  return installed != nullptr ? *installed : FallbackNotifier();
}

void InstallNotifier(Notifier* notifier) { installed = notifier; }

void InstallThreadNotifier(Notifier* notifier) { installed_for_thread = notifier; }

void ShowExclamation(const std::string& text, const std::string& caption) {
  CurrentNotifier().ShowMessage(text, caption, MessageIcon::Exclamation);
}

}  // namespace ctrl
