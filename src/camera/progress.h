#pragma once

#include <string>

namespace ctrl {

// The shared progress window of long camera operations, as the core sees it. The GUI shows a
// window, the CLI a bar on a terminal, tests record.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void OpenProgress(const std::string& message) = 0;
  virtual void SetProgressPercent(int percent) = 0;
  virtual void SetProgressMessage(const std::string& message) = 0;
  // Full bar, then closed; the owner is usable again.
  virtual void FinishProgress() = 0;
  // Runs pending window messages between exchanges so the windows stay responsive.
  virtual void ProcessPendingMessages() {}
};

// A progress that shows nothing.
class NullProgress final : public Progress {
 public:
  void OpenProgress(const std::string&) override {}
  void SetProgressPercent(int) override {}
  void SetProgressMessage(const std::string&) override {}
  void FinishProgress() override {}
};

}  // namespace ctrl
