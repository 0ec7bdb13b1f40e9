// terminal: raw line mode, each input line sent as it is and the traffic printed.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <istream>
#include <ostream>
#include <string>

#include "camera/time_stamp.h"
#include "camera/trace_sink.h"
#include "cli/display_text.h"
#include "cli/subcommands.h"

namespace ctrl::cli {
namespace {

// A terminal reply ends at the prompt, after this much silence, or at the latest this long after
// the line was sent, however much the camera keeps talking.
constexpr int kTerminalSilenceMs = 1000;
constexpr int64_t kTerminalReplyLimitMs = 5000;

// Prints the traffic with the terminal's time stamps (with --json one record per line, stamped
// as --trace stamps), and passes it on to the run's own trace (--trace, --log) when there is one.
class StampedTrace final : public TraceSink {
 public:
  StampedTrace(Session& session, TraceSink* next) : session_(session), next_(next) {}
  void TraceLine(std::string_view line) override {
    const auto now = std::chrono::system_clock::now();
    if (session_.json()) {
      session_.EmitJson({{"time", WireTimeStamp(now)}, {"line", std::string(line)}});
    } else {
      session_.out() << TerminalTimeStamp(now) << DisplayText(line) << '\n' << std::flush;
    }
    if (next_ != nullptr) next_->TraceLine(line);
  }

 private:
  Session& session_;
  TraceSink* next_;
};

// Shows the engine's traffic for its lifetime, then gives the engine its previous sink back.
class TraceScope {
 public:
  TraceScope(Command& engine, TraceSink& sink) : engine_(engine), previous_(engine.trace_sink()) {
    engine_.set_trace_sink(&sink);
  }
  ~TraceScope() { engine_.set_trace_sink(previous_); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  Command& engine_;
  TraceSink* previous_;
};

// Sends `line` with CR LF and waits for the reply to end.
void Exchange(Session& session, const std::string& line) {
  Command& engine = session.engine();
  Clock& clock = session.clock();
  engine.ReceiveLine();
  engine.ClearReceive();
  engine.SendText(line + "\r\n");
  const int64_t deadline_us = clock.NowUs() + kTerminalReplyLimitMs * 1000;
  std::string reply;
  for (int64_t left_us; (left_us = deadline_us - clock.NowUs()) > 0;) {
    const auto wait_ms =
        static_cast<int>(std::min<int64_t>(kTerminalSilenceMs, (left_us + 999) / 1000));
    if (!engine.WaitLine(wait_ms, reply) || reply == kPromptLine) break;
  }
}

// Sends each input line and prints every line sent and received with the terminal's time stamp;
// a reply ends at the "OK>" prompt or after a second of silence. No input stream, no lines.
int TerminalCommand(Session& session) {
  const Environment& environment = session.environment();
  StampedTrace trace(session, session.engine().trace_sink());
  const TraceScope traced(session.engine(), trace);
  if (environment.in != nullptr) {
    if (environment.input_is_terminal) {
      session.err() << "Type a command line (for example: rd 0x01001010); Ctrl-D ends.\n";
    }
    std::string input;
    while (std::getline(*environment.in, input)) {
      if (!input.empty() && input.back() == '\r') input.pop_back();
      Exchange(session, input);
    }
  }
  return kExitOk;
}

}  // namespace

Subcommand AddTerminal(CLI::App& app) {
  return {
      app.add_subcommand("terminal",
                         "Raw line mode: send each input line, print the traffic with time stamps"),
      TerminalCommand};
}

}  // namespace ctrl::cli
