#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

#include "camera/bulk_read.h"
#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/notifier.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "camera/trace_sink.h"
#include "cli/cli.h"
#include "cli/connection.h"

namespace ctrl::cli {

// The options before the subcommand; every subcommand sees them.
struct GlobalOptions {
  ConnectionOptions connection;
  bool json = false;     // machine-readable output
  bool raw = false;      // register integers instead of item names
  bool trace = false;    // every line on the wire to stderr, time-stamped
  std::string log_file;  // the same lines appended to this file; none when empty
  bool factory = false;  // factory control mode for this run
};

inline constexpr const char* kLineLostMessage =
    "The camera's line went away (the camera hung up or the adapter was unplugged).\n";

// One run's link to the camera and what the subcommands share: the engine, the command table
// (following the model), the output streams and the global options.
class Session {
 public:
  Session(const GlobalOptions& options, std::ostream& out, std::ostream& err,
          const Environment& environment);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens the connection the options name (once: later calls keep it); kExitOk or kExitCamera.
  // From here on the core's messages go to `err`.
  int Open();
  // Identifies the model so addresses and availability follow it. Commands on parameters need a
  // supported model; the model check has already named an unsupported one.
  bool Identify();

  const GlobalOptions& options() const { return options_; }
  bool json() const { return options_.json; }
  bool raw() const { return options_.raw; }
  bool factory() const { return options_.factory; }
  int FactoryMode() const { return options_.factory ? 1 : 0; }
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }
  const Environment& environment() const { return environment_; }
  Clock& clock() { return clock_; }
  Command& engine() { return *engine_; }
  CommandTable& table() { return table_; }
  // Whether a progress bar may be drawn on stderr.
  bool ProgressOnTerminal() const;

 private:
  const GlobalOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  const Environment& environment_;
  Clock& clock_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<TraceSink> wire_trace_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Command> engine_;
  bool identified_ = false;  // a supported model was found; a script checks it once
};

// "2026-12-09 14:05:07.042": the --trace and --log time stamp, in UTC.
std::string WireTimeStamp(std::chrono::system_clock::time_point when);

// The CCM selector as the database last read it, for the bulk reads.
CcmSelectorIndex CcmFromDatabase(const ParameterDatabase& db);

}  // namespace ctrl::cli
