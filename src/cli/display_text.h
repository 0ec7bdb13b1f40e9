#pragma once

#include <string>
#include <string_view>

namespace ctrl::cli {

// Camera text made safe for a terminal: control characters (C0, DEL, C1) and bytes that are not
// UTF-8 become \xNN, so what the camera sends can neither move the cursor nor clear the screen.
// Backslashes stay as they are (messages also carry Windows paths).
std::string DisplayText(std::string_view text);

}  // namespace ctrl::cli
