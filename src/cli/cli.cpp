#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <limits>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "camera/link_rate.h"
#include "cli/arguments.h"
#include "cli/completion.h"
#include "cli/connection.h"
#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/session.h"
#include "cli/subcommands.h"
#include "ctrl_version.h"
#include "files/atomic_file.h"
#include "transport/connection_facts.h"

namespace ctrl::cli {
namespace {

// The global options as written, before they become connection options.
struct GlobalArguments {
  CLI::Option* simulate = nullptr;
  std::string simulate_model;
  std::string category{FactsOf(PortCategory::kComPort).cli_name};
  std::string port = "0";
};

std::vector<std::string> CategoryNames() {
  std::vector<std::string> names;
  for (const PortCategoryFacts& facts : kPortCategories) names.emplace_back(facts.cli_name);
  return names;
}

std::vector<int> BaudRates() {
  std::vector<int> rates;
  for (const BaudRateFacts& facts : kBaudRates) rates.push_back(facts.rate);
  return rates;
}

// "a, b or c".
std::string Alternatives(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

void AddGlobalOptions(CLI::App& app, GlobalArguments& arguments, GlobalOptions& options) {
  arguments.simulate =
      app.add_option("--simulate", arguments.simulate_model,
                     "Use a built-in simulated camera (default model QX-4096M-PCL)")
          ->type_name(kModelValue)
          ->expected(0, 1);
  app.add_option("--device", options.connection.device, "Device path of the COM port (a tty)")
      ->type_name(kFileValue);
  app.add_option("--category", arguments.category,
                 "Port category: " + Alternatives(CategoryNames()))
      ->check(CLI::IsMember(CategoryNames()));
  app.add_option("--port", arguments.port, "Port index in the category (COM also as COMn)");
  app.add_option("--baud", options.connection.baud_rate, "Line rate")
      ->check(CLI::IsMember(BaudRates()));
  app.add_flag("--json", options.json,
               "Machine-readable output: JSON Lines, one record per line, errors included");
  app.add_flag("--trace", options.trace,
               "Print every line sent to and received from the camera on stderr, time-stamped");
  app.add_option("--log", options.log_file, "Append the same lines to this file")
      ->type_name(kFileValue);
  app.set_version_flag("--version", CTRL_VERSION);
  app.add_flag("--raw", options.raw, "Register integers instead of item names (get, set, dump)");
  app.add_flag("--factory", options.factory, "Factory control mode for this run");
  app.add_flag("--fast", options.fast,
               "lut, save-settings, load-settings, dump and shell at the fastest line rate; the "
               "camera and the port return to their rate afterwards, also after Ctrl+C");
  app.add_option("--wait", options.wait_seconds,
                 "Wait up to this many seconds for the port to open and the camera to answer "
                 "before the command (tries again after 0.5, 1, 2, 4, then every 5 s)")
      ->check(CLI::Range(0.0, 86400.0));
  app.add_flag("--stats", options.stats,
               "When the command ends, show the link's health: exchanges, time-outs, refusals, "
               "round trips, bytes");
}

// The index of the port `port` names in the category: an index from 0, or for COM ports also
// "COMn" counted from 1. Nothing, after saying why, for anything else.
std::optional<int> PortIndexOf(const std::string& port, PortCategory category, std::ostream& err) {
  std::string_view number = port;
  const bool com_name = number.starts_with("COM") || number.starts_with("com");
  if (com_name) {
    if (category != PortCategory::kComPort) {
      err << "A COMn port name needs --category com.\n";
      return std::nullopt;
    }
    number.remove_prefix(3);
  }
  const int64_t first = com_name ? 1 : 0;
  const int64_t last = category == PortCategory::kComPort ? first + kComPortCount - 1
                                                          : std::numeric_limits<int>::max();
  int64_t value = 0;
  if (!ParseInteger(number, first, last, value)) {
    err << "Invalid port \"" << port << "\".\n";
    return std::nullopt;
  }
  return static_cast<int>(value - first);
}

// Completes the connection options from the global arguments; false after a usage error.
bool ResolveConnection(const GlobalArguments& arguments, ConnectionOptions& connection,
                       std::ostream& err) {
  connection.simulate = arguments.simulate->count() > 0;
  if (!arguments.simulate_model.empty()) connection.model = arguments.simulate_model;
  const PortCategory category =
      PortCategoryOfCliName(arguments.category).value_or(PortCategory::kComPort);
  connection.category = category;
  const std::optional<int> port_index = PortIndexOf(arguments.port, category, err);
  if (!port_index) return false;
  connection.port_index = *port_index;
  return true;
}

// A long transfer at the fastest rate both sides can use; both go back to the starting rate
// afterwards, also after a failure and after Ctrl+C (which then ends the run with 130).
int RunFast(Session& session, const Subcommand& subcommand) {
  LineRateControl* line = session.line_rate();
  if (line == nullptr) {
    session.err() << "This link has no line rate to raise; --fast changes nothing.\n";
    return subcommand.run(session);
  }
  if (!session.Identify()) return kExitCamera;
  const InterruptGuard guard;
  ClearInterrupt();
  FastLink fast(session.engine(), *line);
  std::string message;
  if (!fast.Raise(message)) {
    session.err() << message << " Going on at " << line->LineRate() << " baud.\n";
  }
  int code = subcommand.run(session);
  const bool interrupted = InterruptRequested();
  ClearInterrupt();
  if (!fast.Restore(message)) {
    session.err() << message << '\n';
    if (code == kExitOk) code = kExitCamera;
  }
  if (interrupted) {
    session.err() << "Interrupted; the link is at " << line->LineRate() << " baud.\n";
    return kExitInterrupted;
  }
  return code;
}

int RunSubcommand(const Subcommand& subcommand, const GlobalOptions& options, std::ostream& out,
                  std::ostream& err, const Environment& environment) {
  Session session(options, out, err, environment);
  const int code = session.RunReported(subcommand.parser->get_name(), [&] {
    if (subcommand.needs_camera) {
      const int opened = options.wait_seconds > 0
                             ? session.OpenWaiting(static_cast<int64_t>(options.wait_seconds * 1e6))
                             : session.Open();
      if (opened != kExitOk) return opened;
    }
    if (options.fast && subcommand.long_transfer) return RunFast(session, subcommand);
    return subcommand.run(session);
  });
  if (options.stats) session.ReportStats();
  return code;
}

// A usage error before any command ran: on stderr, and with --json also as a record.
int UsageError(const std::vector<std::string>& args, const std::string& message, std::ostream& out,
               std::ostream& err) {
  err << message;
  if (std::find(args.begin(), args.end(), "--json") != args.end()) {
    out << JsonText(
               {{"command", nullptr}, {"exit", kExitUsage}, {"error", MessageOfRecord(message)}})
        << '\n';
  }
  return kExitUsage;
}

}  // namespace

std::vector<Subcommand> AddScriptSubcommands(CLI::App& app) {
  return {
      AddIdentify(app),     AddGet(app),     AddSet(app),       AddDump(app),
      AddDescribe(app),     AddList(app),    AddDiff(app),      AddSaveSettings(app),
      AddLoadSettings(app), AddUserSet(app), AddSetUserId(app), AddSetSerial(app),
      AddPorts(app),        AddLut(app),
  };
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& environment) {
  IgnoreFileSizeSignal();
  CLI::App app{"Control tool for QX-4096M/TR-PCL and QX-8192M-PCL line-scan cameras",
               "ctrltool-cli"};
  GlobalArguments arguments;
  GlobalOptions options;
  AddGlobalOptions(app, arguments, options);
  app.require_subcommand(1, 1);
  std::vector<Subcommand> subcommands = AddScriptSubcommands(app);
  subcommands.push_back(AddTerminal(app));
  subcommands.push_back(AddShell(app));
#ifdef CTRL_HAVE_FLEET
  subcommands.push_back(AddFleet(app));
#endif
  subcommands.push_back(AddCompletion(app));

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    out << "ctrltool-cli " << CTRL_VERSION << '\n';
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    return UsageError(args, std::string(e.what()) + "\nRun with --help for usage.\n", out, err);
  }

  std::ostringstream resolve_error;
  if (!ResolveConnection(arguments, options.connection, resolve_error)) {
    return UsageError(args, resolve_error.str(), out, err);
  }
  for (const Subcommand& subcommand : subcommands) {
    if (subcommand.parser->parsed()) {
      return RunSubcommand(subcommand, options, out, err, environment);
    }
  }
  return kExitUsage;
}

}  // namespace ctrl::cli
