#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "camera/clock.h"
#include "cli/connection.h"

namespace ctrl::cli {

// Exit codes of ctrltool-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCamera = 1;  // the camera did not answer or refused, or a file failed
inline constexpr int kExitUsage = 2;
// --wait: the camera never answered in the time given (the code of a run that could not start).
inline constexpr int kExitCameraAbsent = 2;

// What a run reaches beyond its arguments. An empty connection opener or clock means the real
// one: the connection the options name, the process's clock.
struct Environment {
  std::function<std::unique_ptr<Connection>(const ConnectionOptions&, std::ostream& err)>
      open_connection;
  Clock* clock = nullptr;
  // The lines the terminal sends (the program passes standard input); none without a stream.
  std::istream* in = nullptr;
  // `in` is typed by a person, who is told how the terminal works.
  bool input_is_terminal = false;
};

// Runs one command line (arguments without the program name). Output for the user goes to
// `out`, messages and errors to `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& environment = {});

}  // namespace ctrl::cli
