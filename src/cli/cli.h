#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ctrl::cli {

// Exit codes of ctrltool-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCamera = 1;  // the camera did not answer or refused
inline constexpr int kExitUsage = 2;

// Runs one command line (arguments without the program name). Output for the user goes to
// `out`, messages and errors to `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ctrl::cli
