// camsim: a simulated camera on a pseudo-terminal.
//
//   camsim --model MODEL [--link PATH] [--fault NAME[=N]]... [--line-speed]
//
// Prints the slave device path (and the link, if asked for) and serves until SIGINT or
// SIGTERM. --line-speed makes the camera take the line time of its current baud rate for each
// byte, and ignore requests while the line's rate differs from its Baud Rate register.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ctrl_version.h"
#include "sim/pty/fault_options.h"
#include "sim/pty/pty_camera_server.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: camsim --model MODEL [--link PATH] [--fault NAME[=N]]... [--line-speed] "
               "[--version]\n"
               "faults:");
  for (const std::string& name : ctrl::sim::FaultOptionNames()) {
    std::fprintf(stderr, " %s", name.c_str());
  }
  std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
  ctrl::sim::PtyCameraServer::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool has_next = i + 1 < argc;
    if (argument == "--model" && has_next) {
      options.model = argv[++i];
    } else if (argument == "--link" && has_next) {
      options.link_path = argv[++i];
    } else if (argument == "--fault" && has_next) {
      if (!ctrl::sim::ApplyFaultOption(argv[++i], options.faults)) {
        std::fprintf(stderr, "camsim: unknown fault '%s'\n", argv[i]);
        PrintUsage();
        return 2;
      }
    } else if (argument == "--line-speed") {
      options.faults.emulate_line_speed = true;
      options.check_line_rate = true;
    } else if (argument == "--version") {
      std::printf("camsim %s\n", CTRL_VERSION);
      return 0;
    } else if (argument == "--help" || argument == "-h") {
      PrintUsage();
      return 0;
    } else {
      std::fprintf(stderr, "camsim: unexpected argument '%s'\n", argument.c_str());
      PrintUsage();
      return 2;
    }
  }

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
