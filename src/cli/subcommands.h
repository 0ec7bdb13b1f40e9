#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/session.h"

namespace CLI {
class App;
}

namespace ctrl::cli {

// One subcommand: its parser, which holds its own arguments, and what it does with them.
struct Subcommand {
  CLI::App* parser = nullptr;
  // Runs once the arguments are parsed; the session is open when `needs_camera`.
  std::function<int(Session&)> run;
  bool needs_camera = true;
  // A long transfer that --fast runs at the fastest line rate.
  bool long_transfer = false;
};

// Each adds its subcommand to `app`; the order of the calls is the order of the help.
// Reading and writing parameters (parameter_commands.cpp).
Subcommand AddIdentify(CLI::App& app);
Subcommand AddGet(CLI::App& app);
Subcommand AddSet(CLI::App& app);
Subcommand AddDump(CLI::App& app);
// What parameters are, from the feature catalogue (describe_commands.cpp).
Subcommand AddDescribe(CLI::App& app);
Subcommand AddList(CLI::App& app);
// Two settings files, or a file and the camera, compared (diff_command.cpp).
Subcommand AddDiff(CLI::App& app);
// Settings files, user sets and the identity texts (settings_commands.cpp).
Subcommand AddSaveSettings(CLI::App& app);
Subcommand AddLoadSettings(CLI::App& app);
Subcommand AddUserSet(CLI::App& app);
Subcommand AddSetUserId(CLI::App& app);
Subcommand AddSetSerial(CLI::App& app);
// The ports of every category and the serial devices present (ports_command.cpp).
Subcommand AddPorts(CLI::App& app);
// LUT files (lut_command.cpp) and the raw line mode (terminal_command.cpp).
Subcommand AddLut(CLI::App& app);
Subcommand AddTerminal(CLI::App& app);

#ifdef CTRL_HAVE_FLEET
// The cameras of every station through an MQTT broker (fleet_command.cpp).
Subcommand AddFleet(CLI::App& app);
#endif

// The shell completion script, from the parser's own definitions (completion.cpp).
Subcommand AddCompletion(CLI::App& app);

// Many commands over one connection (shell_command.cpp).
Subcommand AddShell(CLI::App& app);
// The words of a script line, split as a shell would: blanks separate, '…' is taken as it
// stands, "…" keeps blanks and takes \" and \\; nothing when a quote is not closed.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);
// Every subcommand a script line may run: all but terminal and shell, which read the input
// the script itself comes from (cli.cpp).
std::vector<Subcommand> AddScriptSubcommands(CLI::App& app);

// The identity texts `set` can name as well as their own subcommands.
int WriteUserIdText(Session& session, const std::string& text);
int WriteSerialText(Session& session, const std::string& text);

}  // namespace ctrl::cli
