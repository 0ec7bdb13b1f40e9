#pragma once

#include <iosfwd>
#include <string>

#include "camera/progress.h"

namespace ctrl::cli {

// The progress window on a terminal: a bar redrawn in place on stderr. Shows nothing when
// stderr is not a terminal, so scripts get clean logs.
class TerminalProgress final : public Progress {
 public:
  TerminalProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  void OpenProgress(const std::string& message) override;
  void SetProgressPercent(int percent) override;
  void SetProgressMessage(const std::string& message) override;
  void FinishProgress() override;

 private:
  void Draw();
  std::ostream& err_;
  bool enabled_;
  bool open_ = false;
  int percent_ = 0;
  std::string message_;
};

}  // namespace ctrl::cli
