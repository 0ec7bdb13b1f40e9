#include "cli/session.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <ostream>
#include <sstream>
#include <utility>

#include "camera/model_profile.h"
#include "camera/reconnect.h"
#include "cli/display_text.h"
#include "cli/interrupt.h"

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
      kept_messages_(err, options.json),
      reported_err_(&kept_messages_),
      environment_(environment),
      clock_(environment.clock != nullptr ? *environment.clock : DefaultClock()) {}

// What a record keeps of a command's messages; more is on stderr.
constexpr size_t kMaxKeptMessages = 16384;

void Session::KeptMessages::Keep(const char* bytes, size_t count) {
  if (!keep_ || text_.size() >= kMaxKeptMessages) return;
  text_.append(bytes, std::min(count, kMaxKeptMessages - text_.size()));
}

Session::KeptMessages::int_type Session::KeptMessages::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  Keep(&byte, 1);
  err_.put(byte);
  return c;
}

std::streamsize Session::KeptMessages::xsputn(const char* bytes, std::streamsize count) {
  Keep(bytes, static_cast<size_t>(count));
  err_.write(bytes, count);
  return count;
}

int Session::KeptMessages::sync() {
  err_.flush();
  return 0;
}

std::string MessageOfRecord(std::string_view messages) {
  std::string message;
  size_t start = 0;
  while (start < messages.size()) {
    size_t end = messages.find('\n', start);
    if (end == std::string_view::npos) end = messages.size();
    std::string_view line = messages.substr(start, end - start);
    if (const size_t redraw = line.rfind('\r'); redraw != std::string_view::npos) {
      line.remove_prefix(redraw + 1);
    }
    if (!line.empty()) {
      if (!message.empty()) message += ' ';
      message.append(line);
    }
    start = end + 1;
  }
  return message;
}

int Session::RunReported(std::string_view command, const std::function<int()>& run) {
  if (!json()) return run();
  const int records_before = json_records_;
  const bool outcome_reported_before = std::exchange(json_outcome_reported_, false);
  const size_t messages_before = kept_messages_.text().size();
  const int code = run();
  reported_err_.flush();
  const std::string message =
      MessageOfRecord(std::string_view(kept_messages_.text()).substr(messages_before));
  if (code != kExitOk && !json_outcome_reported_) {
    EmitJson({{"command", command},
              {"exit", code},
              {"error", message.empty() ? "exit " + std::to_string(code) : message}});
  } else if (code == kExitOk && json_records_ == records_before) {
    EmitJson({{"command", command},
              {"exit", code},
              {"message", message.empty() ? Json() : Json(message)},
              {"error", nullptr}});
  }
  // A script line's outcome is its own: the script still reports how it ended.
  json_outcome_reported_ = outcome_reported_before;
  // Each command's record holds its own messages only (a script's too).
  kept_messages_.Truncate(messages_before);
  return code;
}

void Session::EmitJson(Json record) {
  if (!record.contains("error")) record["error"] = nullptr;
  // An error, or an exit code (a command's own summary), is the command's outcome.
  if (!record["error"].is_null() || record.contains("exit")) json_outcome_reported_ = true;
  ++json_records_;
  out_ << JsonText(record) << '\n' << std::flush;
}

Session::~Session() = default;

int Session::Open() {
  if (engine_) return kExitOk;  // a script's commands share the one connection
  notifier_ = std::make_unique<StreamNotifier>(reported_err_);
  connection_ = environment_.open_connection
                    ? environment_.open_connection(options_.connection, reported_err_)
                    : OpenConnection(options_.connection, reported_err_);
  if (!connection_) return kExitCamera;
  engine_ = std::make_unique<Command>(connection_->channel(), clock_, table_, status_);
  engine_->set_cancel_check([] { return InterruptRequested(); });
  if (options_.trace || !options_.log_file.empty()) {
    std::unique_ptr<std::ofstream> log;
    if (!options_.log_file.empty()) {
      log = std::make_unique<std::ofstream>(options_.log_file, std::ios::app | std::ios::binary);
      if (!*log) {
        reported_err_ << options_.log_file << ": the log file could not be opened.\n";
        return kExitCamera;
      }
    }
    wire_trace_ = std::make_unique<WireTrace>(options_.trace ? &err_ : nullptr, std::move(log));
    engine_->set_trace_sink(wire_trace_.get());
  }
  return kExitOk;
}

int Session::OpenWaiting(int64_t wait_us) {
  ReconnectSchedule schedule(clock_);
  schedule.Start();
  const int64_t deadline_us = clock_.NowUs() + wait_us;
  int attempts = 0;
  for (;;) {
    // An attempt's reports stay quiet until it is known whether they matter.
    std::ostringstream attempt;
    reported_err_.rdbuf(attempt.rdbuf());
    ++attempts;
    const int opened = Open();
    const bool identified = opened == kExitOk && Identify();
    reported_err_.rdbuf(&kept_messages_);
    // A log that cannot be opened, or a camera that answered with an unsupported model, does
    // not get better by waiting.
    const bool final =
        identified || (opened == kExitOk && answered_) || (opened != kExitOk && engine_ != nullptr);
    if (final) {
      reported_err_ << attempt.str();
      return identified ? kExitOk : kExitCamera;
    }
    if (clock_.NowUs() >= deadline_us) {
      reported_err_ << attempt.str() << "The camera did not answer within " << wait_us / 1'000'000.0
                    << " s (" << attempts << (attempts == 1 ? " attempt" : " attempts")
                    << "); nothing was done.\n";
      return kExitCameraAbsent;
    }
    // The next attempt starts from scratch, with a port opened afresh.
    engine_.reset();
    wire_trace_.reset();
    connection_.reset();
    notifier_.reset();
    schedule.Failed();
    clock_.SleepUntilUs(std::min(schedule.due_us(), deadline_us));
  }
}

bool Session::Identify() {
  if (identified_) return true;
  // A camera left at another rate by an earlier run is found there.
  bool answered = false;
  if (LineRateControl* line = line_rate()) {
    const RateDetection detection = DetectCameraRate(*engine_, *line);
    answered = detection.answered;
    if (detection.changed) reported_err_ << detection.message << '\n';
  } else {
    answered = engine_->CheckModel();
  }
  answered_ = answered;
  if (!answered) {
    reported_err_ << "The camera did not answer.\n";
    return false;
  }
  if (engine_->device().kind == ModelKind::Unsupported) {
    reported_err_ << "Nothing was done: this command needs a supported model.\n";
    return false;
  }
  table_.ApplyAddressMoves(ProfileOf(engine_->device()));
  identified_ = true;
  return true;
}

void Session::ReportStats() {
  if (!engine_) return;
  const LinkHealth& health = engine_->health();
  LineRateControl* line = line_rate();
  if (json()) {
    EmitJson({{"link",
               {{"exchanges", health.exchanges},
                {"timeouts", health.timeouts},
                {"refused", health.refused},
                {"lines_skipped", health.lines_skipped},
                {"line_lost", health.line_lost},
                {"round_trip_median_us", health.MedianRoundTripUs()},
                {"round_trip_p99_us", health.P99RoundTripUs()},
                {"bytes_sent", health.bytes_sent},
                {"bytes_received", health.bytes_received},
                {"baud_rate", line != nullptr ? Json(line->LineRate()) : Json()}}}});
    return;
  }
  char round_trips[96];
  std::snprintf(round_trips, sizeof round_trips, "round trip median %.2f ms, p99 %.2f ms",
                static_cast<double>(health.MedianRoundTripUs()) / 1000.0,
                static_cast<double>(health.P99RoundTripUs()) / 1000.0);
  err_ << "Link: " << health.exchanges << " exchanges, " << health.timeouts << " time-outs, "
       << health.refused << " refused, " << health.lines_skipped << " stray lines skipped"
       << (health.line_lost > 0 ? ", line lost" : "") << "; " << round_trips << "; "
       << health.bytes_sent << " bytes sent, " << health.bytes_received << " received";
  if (line != nullptr) err_ << "; " << line->LineRate() << " baud";
  err_ << ".\n";
}

bool Session::ProgressOnTerminal() const {
  return isatty(STDERR_FILENO) != 0;
}

CcmSelectorIndex CcmFromDatabase(const ParameterDatabase& db) { return CcmSelectorOf(db); }

}  // namespace ctrl::cli
