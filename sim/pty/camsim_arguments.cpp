#include "sim/pty/camsim_arguments.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "ctrl_version.h"
#include "sim/model_kind.h"
#include "sim/pty/fault_options.h"

namespace ctrl::sim {
namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

CamsimCommandLine ParseCamsimCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                         std::ostream& err) {
  CamsimCommandLine result;
  PtyCameraServer::Options& options = result.options;
  CLI::App app{
      "A simulated line-scan camera on a pseudo-terminal. Prints the slave device (and the link, "
      "if asked for) and serves until SIGINT or SIGTERM.",
      "camsim"};
  app.add_option("--model", options.model,
                 "Model name the camera reports (" + Joined(ModelNames()) +
                     "; any other name makes an unsupported camera)")
      ->type_name("MODEL")
      ->capture_default_str();
  app.add_option("--link", options.link_path,
                 "Keep a symbolic link at this path pointing at the slave device")
      ->type_name("PATH");
  std::vector<std::string> faults;
  app.add_option("--fault", faults, "Switch a fault on (repeatable): NAME or NAME=N")
      ->check(
          [](const std::string& option) {
            Faults probe;
            return ApplyFaultOption(option, probe) ? std::string()
                                                   : "unknown fault or bad number: " + option;
          },
          "")
      ->type_name("NAME[=N]")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  bool line_speed = false;
  app.add_flag("--line-speed", line_speed,
               "Take the line time of the current baud rate for each byte, and ignore requests "
               "while the line's rate differs from the Baud Rate register");
  app.add_option("--baud", options.baud_rate,
                 "The camera's line rate at the start, as an earlier run may have left it; "
                 "requests at any other rate are ignored")
      ->check(CLI::IsMember({9600, 115200, 460800}))
      ->type_name("RATE")
      ->capture_default_str();
  app.set_version_flag("--version", CTRL_VERSION);
  app.footer("Faults: " + Joined(FaultOptionNames()) +
             ".\nThe every-n-th faults alone mean N = 2.");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    result.exit_code = 0;
    return result;
  } catch (const CLI::CallForVersion&) {
    out << "camsim " << CTRL_VERSION << '\n';
    result.exit_code = 0;
    return result;
  } catch (const CLI::ParseError& e) {
    err << "camsim: " << e.what() << "\nRun with --help for usage.\n";
    result.exit_code = 2;
    return result;
  }
  for (const std::string& fault : faults) ApplyFaultOption(fault, options.faults);
  if (line_speed) {
    options.faults.emulate_line_speed = true;
    options.check_line_rate = true;
  }
  if (options.baud_rate != 9600) options.check_line_rate = true;
  return result;
}

}  // namespace ctrl::sim
