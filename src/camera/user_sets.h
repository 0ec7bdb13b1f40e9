#pragma once

#include <string>

#include "camera/command_engine.h"
#include "camera/progress.h"

namespace ctrl {

// The camera's flash areas: 0 factory, 1 to 3 user areas.
inline constexpr int kFactoryArea = 0;
inline constexpr int kLastUserArea = 3;

// Selects the area and makes the camera load it. False when the camera did not confirm either
// write (the load command is not sent when the selection was not confirmed). The caller
// re-reads every parameter after a successful load.
bool LoadUserSet(Command& engine, int area);
// Selects the area and makes the camera store its current settings there.
bool StoreUserSet(Command& engine, int area);
// The communication dialog's store: the progress window around it, finished on every outcome,
// and "Completed to store current setting data!" on success.
bool StoreUserSetWithProgress(Command& engine, int area, Progress& progress);
// "Factory Data", "User 1 Data", "User 2 Data", "User 3 Data"; "Unkown" for anything else.
std::string AreaDataText(int area);
// Reads the selected area; "Unkown" when the read fails.
std::string ReadAreaText(Command& engine);

}  // namespace ctrl
