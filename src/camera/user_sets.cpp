#include "camera/user_sets.h"

#include "camera/notifier.h"

namespace ctrl {

bool LoadUserSet(Command& engine, int area) {
  if (!engine.WriteCommand(cmd::kUserSetArea, area, kDefaultTimeoutMs)) return false;
  return engine.WriteCommand(cmd::kUserSetLoad, 1, kDefaultTimeoutMs);
}

bool StoreUserSet(Command& engine, int area) {
  if (!engine.WriteCommand(cmd::kUserSetArea, area, kDefaultTimeoutMs)) return false;
  return engine.WriteCommand(cmd::kUserSetStore, 1, kDefaultTimeoutMs);
}

bool StoreUserSetWithProgress(Command& engine, int area, Progress& progress) {
  progress.OpenProgress("Now, Storing camera data.");
  bool stored = StoreUserSet(engine, area);
  if (stored) {
    CurrentNotifier().ShowMessage("Completed to store current setting data!", "",
                                  MessageIcon::Information);
  }
  progress.FinishProgress();
  return stored;
}

std::string AreaDataText(int area) {
  switch (area) {
    case 0: return "Factory Data";
    case 1: return "User 1 Data";
    case 2: return "User 2 Data";
    case 3: return "User 3 Data";
    default: return "Unkown";
  }
}

std::string ReadAreaText(Command& engine) {
  int32_t area = -1;
  if (!engine.ReadCommand(cmd::kUserSetArea, area, kDefaultTimeoutMs)) return "Unkown";
  return AreaDataText(area);
}

}  // namespace ctrl
