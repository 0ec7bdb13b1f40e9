#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

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
#include "cli/json.h"

namespace ctrl::cli {

// The options before the subcommand; every subcommand sees them.
struct GlobalOptions {
  ConnectionOptions connection;
  bool json = false;        // machine-readable output
  bool raw = false;         // register integers instead of item names
  bool trace = false;       // every line on the wire to stderr, time-stamped
  std::string log_file;     // the same lines appended to this file; none when empty
  bool factory = false;     // factory control mode for this run
  bool fast = false;        // long transfers at the fastest line rate, the starting rate after
  bool stats = false;       // the link's health when the command ends
  double wait_seconds = 0;  // > 0: wait up to this long for the camera before the command
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
  // Open() and the model check, tried again with the reconnect back-off until the camera
  // answers or `wait_us` of the session's clock have passed: kExitOk, kExitCamera for an
  // unsupported model or a log that cannot be opened, kExitCameraAbsent when it never answered.
  int OpenWaiting(int64_t wait_us);
  // Identifies the model so addresses and availability follow it. Commands on parameters need a
  // supported model; the model check has already named an unsupported one.
  bool Identify();

  // Runs one command (of the command line or of a script line) and, with --json, makes sure its
  // outcome is on stdout: a failure that no record reported (by an "error" or an "exit") becomes
  // {"command", "exit", "error"} with the messages of the command, a success that printed no
  // record {"command", "exit": 0, "message", "error": null}.
  int RunReported(std::string_view command, const std::function<int()>& run);
  // Prints one --json record on a line of its own; it gets "error": null when it has no error.
  void EmitJson(Json record);

  const GlobalOptions& options() const { return options_; }
  bool json() const { return options_.json; }
  bool raw() const { return options_.raw; }
  bool factory() const { return options_.factory; }
  int FactoryMode() const { return options_.factory ? 1 : 0; }
  std::ostream& out() { return out_; }
  // Messages for the user; with --json also kept for the command's record.
  std::ostream& err() { return reported_err_; }
  const Environment& environment() const { return environment_; }
  Clock& clock() { return clock_; }
  Command& engine() { return *engine_; }
  // The PC side's line rate; nullptr before Open() and where the link has none.
  LineRateControl* line_rate() { return connection_ ? connection_->line_rate() : nullptr; }
  // The link's health since Open(), as text or (with --json) a record; nothing before Open().
  void ReportStats();
  CommandTable& table() { return table_; }
  // Whether a progress bar may be drawn on stderr.
  bool ProgressOnTerminal() const;

 private:
  // Passes messages on to stderr and, with --json, keeps a bounded copy of them.
  class KeptMessages final : public std::streambuf {
   public:
    KeptMessages(std::ostream& err, bool keep) : err_(err), keep_(keep) {}
    const std::string& text() const { return text_; }
    void Truncate(size_t size) { text_.resize(std::min(size, text_.size())); }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override;

   private:
    void Keep(const char* bytes, size_t count);
    std::ostream& err_;
    bool keep_;
    std::string text_;
  };

  const GlobalOptions& options_;
  std::ostream& out_;
  std::ostream& err_;  // stderr itself: the wire trace goes here, not into records
  KeptMessages kept_messages_;
  std::ostream reported_err_;
  // With --json: the records printed, and whether one of them gave the running command's
  // outcome (an error, or the command's own summary with its exit code).
  int json_records_ = 0;
  bool json_outcome_reported_ = false;
  const Environment& environment_;
  Clock& clock_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<TraceSink> wire_trace_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Command> engine_;
  bool identified_ = false;  // a supported model was found; a script checks it once
  bool answered_ = false;    // the camera answered the model check
};

// A command's messages as one line of a JSON record: lines joined by blanks, a progress bar's
// redrawn parts (up to each carriage return) left out.
std::string MessageOfRecord(std::string_view messages);

// "2026-12-09 14:05:07.042": the --trace and --log time stamp, in UTC.
std::string WireTimeStamp(std::chrono::system_clock::time_point when);

// The CCM selector as the database last read it, for the bulk reads.
CcmSelectorIndex CcmFromDatabase(const ParameterDatabase& db);

}  // namespace ctrl::cli
