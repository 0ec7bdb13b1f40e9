#pragma once

#include <string>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/progress.h"
#include "lut/lut_editor.h"

namespace ctrl {

// What a long transfer needs of the windows: the GUI shows the wait cursor and disables its
// registered windows (or just the main window) meanwhile, and brings the editor back to the
// front after each round of pending messages.
class WindowGate {
 public:
  virtual ~WindowGate() = default;
  virtual void DisableWindows() = 0;
  virtual void EnableWindows() = 0;
  virtual void DisableMainWindow() {}
  virtual void EnableMainWindow() {}
  virtual void ActivateEditor(int /*table_index*/) {}
};

class NullWindowGate final : public WindowGate {
 public:
  void DisableWindows() override {}
  void EnableWindows() override {}
};

// Holds windows back while it lives: disables them when made and enables them again when it
// ends or at Release(), whichever comes first.
class WindowsDisabled {
 public:
  enum class Scope {
    kRegisteredWindows,  // DisableWindows / EnableWindows
    kMainWindow,         // DisableMainWindow / EnableMainWindow
  };

  explicit WindowsDisabled(WindowGate& gate, Scope scope = Scope::kRegisteredWindows)
      : gate_(gate), scope_(scope) {
    if (scope_ == Scope::kMainWindow) {
      gate_.DisableMainWindow();
    } else {
      gate_.DisableWindows();
    }
  }
  ~WindowsDisabled() { Release(); }
  WindowsDisabled(const WindowsDisabled&) = delete;
  WindowsDisabled& operator=(const WindowsDisabled&) = delete;

  void Release() {
    if (released_) return;
    released_ = true;
    if (scope_ == Scope::kMainWindow) {
      gate_.EnableMainWindow();
    } else {
      gate_.EnableWindows();
    }
  }

 private:
  WindowGate& gate_;
  Scope scope_;
  bool released_ = false;
};

// Everything a transfer talks to. All borrowed.
struct LutTransferContext {
  Command& engine;
  Clock& clock;
  Progress& progress;
  WindowGate& windows;
};

// Each register access inside the loop gets this many attempts, this far apart.
inline constexpr int kLutAccessAttempts = 3;
inline constexpr int64_t kLutRetryPauseUs = 5000;

// Progress text of a transfer before the " (%d / %d)" count.
std::string LutProgressText(bool writing, int table_index, bool monochrome);

// Reads the camera LUT of the table into it, entry by entry, and leaves the table in View Mode.
// True only when all 4096 entries were read; the entries read before a failure are kept.
// The camera's selector and index are restored afterwards.
bool ReadLutTable(LutTransferContext& io, LutBank& bank, int table_index);

// Writes the first `entry_count` entries of the source table (all 4096 by default) into the
// camera LUT of the target table index; the camera keeps its other entries. True only when all
// of them were written. The camera's selector and index are restored afterwards.
bool WriteLutTable(LutTransferContext& io, LutBank& bank, int source_index, int target_index,
                   int entry_count = kLutEntryCount);

// Reads table 1 on a monochrome camera, else tables 0, 1 and 2 until the first failure.
bool ReadAllLutTables(LutTransferContext& io, LutBank& bank);

}  // namespace ctrl
