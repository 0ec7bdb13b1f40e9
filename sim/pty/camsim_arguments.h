#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sim/pty/pty_camera_server.h"

namespace ctrl::sim {

// What camsim's command line asks for: the server's options, or an exit code when the run ends
// at the command line (help, version, a usage error), after the text was written to `out` or
// `err`.
struct CamsimCommandLine {
  PtyCameraServer::Options options;
  std::optional<int> exit_code;
};

// `args` without the program name.
CamsimCommandLine ParseCamsimCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                         std::ostream& err);

}  // namespace ctrl::sim
