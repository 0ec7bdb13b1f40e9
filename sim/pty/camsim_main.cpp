// camsim: a simulated camera on a pseudo-terminal.
//
//   camsim --model MODEL [--link PATH] [--fault NAME[=N]]... [--line-speed]
//
// Prints the slave device path (and the link, if asked for) and serves until SIGINT or
// SIGTERM. --line-speed makes the camera take the line time of its current baud rate for each
// byte, and ignore requests while the line's rate differs from its Baud Rate register.
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sim/pty/camsim_arguments.h"
#include "sim/pty/pty_camera_server.h"

int main(int argc, char** argv) {
  const ctrl::sim::CamsimCommandLine command_line = ctrl::sim::ParseCamsimCommandLine(
      std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  if (command_line.exit_code) return *command_line.exit_code;
  const ctrl::sim::PtyCameraServer::Options& options = command_line.options;

  // Block the stop signals before the server thread exists, so only sigwait sees them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  ctrl::sim::PtyCameraServer server(options);
  if (!server.Start()) {
    std::fprintf(stderr, "camsim: %s\n", server.error().c_str());
    return 1;
  }
  std::printf("%s\n", server.slave_path().c_str());
  if (!server.link_path().empty()) std::printf("%s\n", server.link_path().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stop_signals, &received);
  server.Stop();
  return 0;
}
