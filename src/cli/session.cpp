#include "cli/session.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <ostream>

#include "camera/model_profile.h"
#include "cli/display_text.h"

namespace ctrl::cli {

namespace {

// Messages of the core go to stderr; questions are never asked of a script.
class StreamNotifier final : public Notifier {
 public:
  explicit StreamNotifier(std::ostream& err) : err_(err) { InstallNotifier(this); }
  ~StreamNotifier() override { InstallNotifier(nullptr); }
  StreamNotifier(const StreamNotifier&) = delete;
  StreamNotifier& operator=(const StreamNotifier&) = delete;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    // Messages quote camera texts (an unsupported model's name): shown escaped.
    std::string flat = text;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    err_ << (caption.empty() ? "" : caption + ": ") << DisplayText(flat) << '\n';
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }

 private:
  std::ostream& err_;
};

// The wire as --trace and --log show it: date, time with milliseconds (UTC), then the line as
// the engine traces it ("Tx: rd 0x01001010", "Rx: 0x01001010=4000"), made safe for a terminal.
class WireTrace final : public TraceSink {
 public:
  WireTrace(std::ostream* err, std::unique_ptr<std::ofstream> log)
      : err_(err), log_(std::move(log)) {}
  void TraceLine(std::string_view line) override {
    const std::string text =
        WireTimeStamp(std::chrono::system_clock::now()) + "  " + DisplayText(line) + '\n';
    if (err_ != nullptr) *err_ << text << std::flush;
    if (log_) *log_ << text << std::flush;
  }

 private:
  std::ostream* err_;
  std::unique_ptr<std::ofstream> log_;
};

}  // namespace

std::string WireTimeStamp(std::chrono::system_clock::time_point when) {
  const auto since_epoch = when.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch - seconds).count();
  const std::time_t time =
      std::chrono::system_clock::to_time_t(std::chrono::system_clock::time_point(seconds));
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &time);
#else
  gmtime_r(&time, &parts);
#endif
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                static_cast<int>(millis));
  return text;
}

Session::Session(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                 const Environment& environment)
    : options_(options),
      out_(out),
      err_(err),
      environment_(environment),
      clock_(environment.clock != nullptr ? *environment.clock : DefaultClock()) {}

Session::~Session() = default;

int Session::Open() {
  if (engine_) return kExitOk;  // a script's commands share the one connection
  notifier_ = std::make_unique<StreamNotifier>(err_);
  connection_ = environment_.open_connection
                    ? environment_.open_connection(options_.connection, err_)
                    : OpenConnection(options_.connection, err_);
  if (!connection_) return kExitCamera;
  engine_ = std::make_unique<Command>(connection_->channel(), clock_, table_, status_);
  if (options_.trace || !options_.log_file.empty()) {
    std::unique_ptr<std::ofstream> log;
    if (!options_.log_file.empty()) {
      log = std::make_unique<std::ofstream>(options_.log_file, std::ios::app | std::ios::binary);
      if (!*log) {
        err_ << options_.log_file << ": the log file could not be opened.\n";
        return kExitCamera;
      }
    }
    wire_trace_ = std::make_unique<WireTrace>(options_.trace ? &err_ : nullptr, std::move(log));
    engine_->set_trace_sink(wire_trace_.get());
  }
  return kExitOk;
}

bool Session::Identify() {
  if (identified_) return true;
  if (!engine_->CheckModel()) {
    err_ << "The camera did not answer.\n";
    return false;
  }
  if (engine_->device().kind == ModelKind::Unsupported) {
    err_ << "Nothing was done: this command needs a supported model.\n";
    return false;
  }
  table_.ApplyAddressMoves(ProfileOf(engine_->device()));
  identified_ = true;
  return true;
}

bool Session::ProgressOnTerminal() const {
  return isatty(STDERR_FILENO) != 0;
}

CcmSelectorIndex CcmFromDatabase(const ParameterDatabase& db) {
  return [&db] {
    for (const auto& row : db.rows()) {
      if (row.command_id == cmd::kCcmSelector) return row.current_value;
    }
    return -1;
  };
}

}  // namespace ctrl::cli
