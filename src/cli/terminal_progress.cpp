#include "cli/terminal_progress.h"

#include <algorithm>
#include <ostream>

namespace ctrl::cli {

void TerminalProgress::OpenProgress(const std::string& message) {
  open_ = true;
  message_ = message;
  percent_ = 0;
  Draw();
}

void TerminalProgress::SetProgressPercent(int percent) {
  if (!open_) return;
  int clamped = std::clamp(percent, 0, 100);
  if (clamped == percent_) return;
  percent_ = clamped;
  Draw();
}

void TerminalProgress::SetProgressMessage(const std::string& message) {
  if (!open_) return;
  message_ = message;
  Draw();
}

void TerminalProgress::FinishProgress() {
  if (!open_) return;
  percent_ = 100;
  Draw();
  if (enabled_) err_ << '\n' << std::flush;
  open_ = false;
}

void TerminalProgress::Draw() {
  if (!enabled_) return;
  constexpr int kWidth = 30;
  int filled = percent_ * kWidth / 100;
  err_ << '\r' << message_ << " [" << std::string(filled, '#') << std::string(kWidth - filled, ' ')
       << "] " << percent_ << "%" << std::flush;
}

}  // namespace ctrl::cli
