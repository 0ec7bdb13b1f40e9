// ctrl_soak: a long run of the tool against the simulated camera with faults switched on and
// off at random, checking after every round that the database equals the camera.
//
//   ctrl_soak --minutes M [--seed S] [--cli PATH] [--model MODEL]
// --cli names the ctrltool-cli program (the one built beside this by default; "" for none).
//
// Each round switches one fault on (or none), runs a random mix of parameter changes, single
// reads and whole reloads through the tool's real connection (COM port transport on a pty),
// switches the fault off and checks:
//   - every successful read returned the camera's register value, or, in a round where
//     exchanges timed out, a value the camera held earlier that round (a reply that came after
//     its time-out answered a later read of the same register), counted on its own;
//   - every row the database shows as the camera's equals the camera's register, except where
//     the camera holds a value written to that row this round without confirmation (the camera
//     may or may not have taken it; a lost reply cannot tell), which is counted on its own;
//   - a reload with the camera back reads every row, and then no row differs at all;
//   - a text read (vendor name, user ID) that succeeds gives exactly the camera's bytes up to
//     their first NUL, control bytes and bytes from 0x80 included;
//   - once the camera has hung up, every operation that needs an exchange fails at once with
//     the line reported lost, no request goes out, and none waits out a time-out; the port is
//     reopened when the camera is back;
//   - a camera that hangs up and comes back restarted, having lost some unsaved changes, is
//     tried on the reconnect back-off while it is away (the port must not open, and exchanges
//     still fail at once on the closed port), is found again when it returns, and the list of
//     what changed while it was away names exactly the parameters whose registers differ.
// Every few rounds the ctrltool-cli program itself runs against the camera (set, get, dump)
// and its results are checked against the camera's registers the same way.
// The traffic of a round that found an inconsistency goes to stderr.
// Prints a summary line every minute and a closing summary; exits 1 on any inconsistency.
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "camera/feature_catalogue.h"
#include "camera/reconnect.h"
#include "faults/fault_rig.h"
#include "sim/register_map.h"

namespace ctrl::test {
namespace {

enum class Fault {
  kNone,
  kDropEveryNth,
  kGarbage,
  kSplitBytes,
  kEcho,
  kTrailingSpace,
  kLateReplies,
  kSilent,
  kSilentMidway,
  kServerRestart,
  kBaudSwitch,
  kOverlongLine,
  kUnsignedReplies,
  kCutReply,
  kStrayFragment,
  kControlBytes,
  kEndlessTalk,
  kHangUp,
  kRestart,
};

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "none";
    case Fault::kDropEveryNth:
      return "drop_every_nth_reply";
    case Fault::kGarbage:
      return "garbage_between_replies";
    case Fault::kSplitBytes:
      return "split_into_single_bytes";
    case Fault::kEcho:
      return "echo_requests";
    case Fault::kTrailingSpace:
      return "trailing_space_after_prompt";
    case Fault::kLateReplies:
      return "late_replies";
    case Fault::kSilent:
      return "silent";
    case Fault::kSilentMidway:
      return "silent_midway";
    case Fault::kServerRestart:
      return "server_restart";
    case Fault::kBaudSwitch:
      return "baud_switch";
    case Fault::kOverlongLine:
      return "overlong_line";
    case Fault::kUnsignedReplies:
      return "unsigned_replies";
    case Fault::kCutReply:
      return "cut_reply_every_nth";
    case Fault::kStrayFragment:
      return "stray_fragment_every_nth";
    case Fault::kControlBytes:
      return "control_bytes_in_texts";
    case Fault::kEndlessTalk:
      return "endless_talk";
    case Fault::kHangUp:
      return "hang_up_after";
    case Fault::kRestart:
      return "restart";
  }
  return "?";
}

// Keeps the traffic of the current round, to show it when the round finds an inconsistency.
class RoundTrace final : public TraceSink {
 public:
  void TraceLine(std::string_view line) override { lines_.emplace_back(line); }
  void Clear() { lines_.clear(); }
  void Print(const char* heading) const {
    std::fprintf(stderr, "%s\n", heading);
    for (const std::string& line : lines_) std::fprintf(stderr, "  %s\n", line.c_str());
  }

 private:
  std::vector<std::string> lines_;
};

// Counts the engine's offline reports: each is an exchange that timed out, whose reply may
// still come later.
class TimeoutCounter final : public OnlineStatusObserver {
 public:
  void OnlineStatusChanged(bool online) override {
    if (!online) ++count;
  }
  int count = 0;
};

struct Totals {
  uint64_t rounds = 0;
  uint64_t tool_requests = 0;    // requests the in-process tool sent
  uint64_t camera_requests = 0;  // requests the camera served (tool and CLI runs)
  uint64_t changes = 0;
  uint64_t changes_confirmed = 0;
  uint64_t unconfirmed_taken = 0;  // unconfirmed writes the camera had nevertheless taken
  uint64_t stale_replies = 0;      // values the camera held earlier, from replies after time-outs
  uint64_t reads = 0;
  uint64_t reads_ok = 0;
  uint64_t reloads = 0;
  uint64_t text_reads = 0;
  uint64_t text_reads_ok = 0;
  uint64_t hang_ups = 0;
  uint64_t restarts = 0;
  uint64_t lost_line_operations = 0;  // operations after a hang-up, each failing at once
  uint64_t cli_runs = 0;
  uint64_t inconsistencies = 0;
  std::map<std::string, uint64_t> fault_rounds;
};

class Soak {
 public:
  Soak(uint64_t seed, std::string cli_path, const std::string& model)
      : rig_(model), random_(seed), cli_path_(std::move(cli_path)) {
    rig_.engine().set_trace_sink(&trace_);
    rig_.status().Register(&timeouts_);
  }
  ~Soak() { rig_.status().Unregister(&timeouts_); }

  bool Start() {
    if (!rig_.Start() || !rig_.Identify()) {
      std::fprintf(stderr, "soak: cannot reach the simulated camera: %s\n",
                   rig_.server().error().c_str());
      return false;
    }
    Resync("start");
    PickWritableRows();
    return totals_.inconsistencies == 0;
  }

  void Round() {
    const Fault fault = PickFault();
    ++totals_.fault_rounds[FaultName(fault)];
    unconfirmed_.clear();
    timeouts_.count = 0;
    held_.clear();
    for (const ParameterRow& row : rig_.db().rows()) {
      held_[row.command_id].insert(static_cast<int32_t>(rig_.CameraRegisterOf(row.command_id)));
    }
    const uint64_t served_before = CameraServed();
    const int requests_before = rig_.channel().requests();

    const uint64_t inconsistencies_before = totals_.inconsistencies;
    trace_.Clear();
    SwitchOn(fault);
    int operations = Uniform(20, 200);
    if (fault == Fault::kOverlongLine) operations = 2;
    if (fault == Fault::kEndlessTalk) operations = Uniform(3, 12);
    for (int i = 0; i < operations; ++i) OperateChecked();
    SwitchOff(fault);

    CheckSynchronisedRows(fault);
    Resync(FaultName(fault));
    if (totals_.inconsistencies != inconsistencies_before) {
      const std::string heading =
          "traffic of round " + std::to_string(totals_.rounds) + " (" + FaultName(fault) + "):";
      trace_.Print(heading.c_str());
    }

    totals_.tool_requests += static_cast<uint64_t>(rig_.channel().requests() - requests_before);
    totals_.camera_requests += CameraServed() - served_before;
    if (!cli_path_.empty() && totals_.rounds % 5 == 4) CliRound();
    ++totals_.rounds;
    rig_.notifier().messages.clear();
  }

  const Totals& totals() const { return totals_; }

  void PrintSummary(const char* heading, double seconds) const {
    std::printf(
        "%s %.0f s: %llu rounds, %llu tool requests, %llu camera requests, %llu changes "
        "(%llu confirmed, %llu unconfirmed but taken), %llu reads (%llu answered), "
        "%llu stale replies after time-outs, %llu reloads, %llu text reads (%llu answered), "
        "%llu hang-ups (%llu operations on the lost line), %llu restarts, %llu CLI runs, "
        "%llu inconsistencies\n",
        heading, seconds, U(totals_.rounds), U(totals_.tool_requests), U(totals_.camera_requests),
        U(totals_.changes), U(totals_.changes_confirmed), U(totals_.unconfirmed_taken),
        U(totals_.reads), U(totals_.reads_ok), U(totals_.stale_replies), U(totals_.reloads),
        U(totals_.text_reads), U(totals_.text_reads_ok), U(totals_.hang_ups),
        U(totals_.lost_line_operations), U(totals_.restarts), U(totals_.cli_runs),
        U(totals_.inconsistencies));
    std::printf("  fault rounds:");
    for (const auto& [name, count] : totals_.fault_rounds) {
      std::printf(" %s=%llu", name.c_str(), U(count));
    }
    std::printf("\n");
    std::fflush(stdout);
  }

 private:
  static unsigned long long U(uint64_t v) { return static_cast<unsigned long long>(v); }

  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  uint64_t CameraServed() {
    return rig_.server().WithCamera([](sim::CameraFrontEnd& c) { return c.requests_served(); });
  }

  bool CameraOwesReplies() {
    return rig_.server().WithCamera([](sim::CameraFrontEnd& c) { return c.NextDueUs() >= 0; });
  }

  Fault PickFault() {
    // Half the rounds run clean, so the faults' aftermath is exercised as much as the faults.
    static const std::vector<std::pair<Fault, int>> weights = {
        {Fault::kNone, 40},           {Fault::kDropEveryNth, 10}, {Fault::kGarbage, 8},
        {Fault::kSplitBytes, 6},      {Fault::kEcho, 6},          {Fault::kTrailingSpace, 6},
        {Fault::kLateReplies, 6},     {Fault::kSilent, 4},        {Fault::kSilentMidway, 6},
        {Fault::kServerRestart, 3},   {Fault::kBaudSwitch, 3},    {Fault::kOverlongLine, 2},
        {Fault::kUnsignedReplies, 6}, {Fault::kCutReply, 6},      {Fault::kStrayFragment, 6},
        {Fault::kControlBytes, 4},    {Fault::kEndlessTalk, 3},   {Fault::kHangUp, 4},
        {Fault::kRestart, 3},
    };
    int total = 0;
    for (const auto& w : weights) total += w.second;
    int pick = Uniform(0, total - 1);
    for (const auto& [fault, weight] : weights) {
      if (pick < weight) return fault;
      pick -= weight;
    }
    return Fault::kNone;
  }

  void SwitchOn(Fault fault) {
    switch (fault) {
      case Fault::kNone:
        break;
      case Fault::kDropEveryNth: {
        const int n = Uniform(2, 9);
        rig_.SetFaults([n](sim::Faults& f) { f.drop_every_nth_reply = n; }, 100);
        break;
      }
      case Fault::kGarbage:
        rig_.SetFaults([](sim::Faults& f) { f.garbage_between_replies = true; }, 1);
        break;
      case Fault::kSplitBytes:
        rig_.SetFaults([](sim::Faults& f) { f.split_into_single_bytes = true; }, 1);
        break;
      case Fault::kEcho:
        rig_.SetFaults([](sim::Faults& f) { f.echo_requests = true; }, 1);
        break;
      case Fault::kTrailingSpace:
        rig_.SetFaults([](sim::Faults& f) { f.trailing_space_after_prompt = true; }, 1);
        break;
      case Fault::kLateReplies: {
        const int64_t delay = Uniform(6, 40) * 1000;
        rig_.SetFaults([delay](sim::Faults& f) { f.reply_delay_us = delay; });
        break;
      }
      case Fault::kSilent:
        rig_.SetFaults([](sim::Faults& f) { f.silent = true; });
        break;
      case Fault::kSilentMidway:
        rig_.channel().At(Uniform(1, 100),
                          [this] { rig_.SetFaults([](sim::Faults& f) { f.silent = true; }); });
        break;
      case Fault::kServerRestart:
        rig_.channel().At(Uniform(1, 100), [this] {
          rig_.server().Stop();
          rig_.clock().set_scale(FaultRig::kFastScale);
        });
        break;
      case Fault::kBaudSwitch:
        // The operator picks 115200 on the camera's page; the PC stays at 9600.
        rig_.engine().WriteRegister(sim::reg::kBaudRate, sim::baud::k115200, kDefaultTimeoutMs);
        rig_.clock().set_scale(FaultRig::kFastScale);
        break;
      case Fault::kOverlongLine:
        rig_.SetFaults(
            [](sim::Faults& f) {
              f.overlong_line = true;
              f.emulate_line_speed = true;
            },
            1);
        break;
      case Fault::kUnsignedReplies:
        rig_.SetFaults([](sim::Faults& f) { f.unsigned_replies = true; }, 1);
        break;
      case Fault::kCutReply: {
        const int n = Uniform(2, 9);
        rig_.SetFaults([n](sim::Faults& f) { f.cut_reply_every_nth = n; }, 100);
        break;
      }
      case Fault::kStrayFragment: {
        const int n = Uniform(2, 9);
        rig_.SetFaults([n](sim::Faults& f) { f.stray_fragment_every_nth = n; }, 100);
        break;
      }
      case Fault::kControlBytes:
        rig_.SetFaults([](sim::Faults& f) { f.control_bytes_in_texts = true; }, 1);
        break;
      case Fault::kEndlessTalk:
        rig_.SetFaults([](sim::Faults& f) { f.endless_talk = true; });
        break;
      case Fault::kHangUp:
      case Fault::kRestart: {
        const int n = Uniform(1, 150);
        rig_.SetFaults([n](sim::Faults& f) { f.hang_up_after = n; }, 1);
        break;
      }
    }
  }

  void SwitchOff(Fault fault) {
    rig_.channel().At(-1, nullptr);
    rig_.ClearFaults();
    // The operator acts again seconds later, when replies still owed have long come out.
    for (int i = 0; i < 2000 && rig_.server().running() && CameraOwesReplies(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // ... and through the pty into the tool's receive ring.
    if (fault != Fault::kNone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (fault == Fault::kHangUp && rig_.server().hung_up()) {
      // The operator reconnects the camera and reopens the port.
      ++totals_.hang_ups;
      if (!rig_.server().Start()) {
        Inconsistent("hang_up",
                     "the simulated camera could not start again: " + rig_.server().error());
      }
      if (!rig_.comm().ReopenCurrent()) Inconsistent("hang_up", "the port did not reopen");
    } else if (fault == Fault::kRestart && rig_.server().hung_up()) {
      Reconnect();
    } else if (fault == Fault::kServerRestart) {
      if (!rig_.server().running() && !rig_.server().Start()) {
        Inconsistent("server_restart",
                     "the simulated camera could not start again: " + rig_.server().error());
      }
      if (!rig_.comm().ReopenCurrent()) Inconsistent("server_restart", "the port did not reopen");
    } else if (fault == Fault::kBaudSwitch) {
      // The operator selects the camera's rate, then puts the camera back on 9600.
      const int camera_rate =
          rig_.server().WithCamera([](sim::CameraFrontEnd& c) { return c.model().baud_rate(); });
      if (!rig_.comm().ReopenWithBaudRate(camera_rate) ||
          !rig_.engine().WriteRegister(sim::reg::kBaudRate, sim::baud::k9600, kDefaultTimeoutMs) ||
          !rig_.comm().ReopenWithBaudRate(9600)) {
        Inconsistent("baud_switch", "could not return to 9600 baud");
      }
    }
  }

  // The camera is away for a while and comes back restarted with up to three parameters no
  // longer as the tool showed them; the tool finds it on the reconnect back-off and names what
  // differs.
  void Reconnect() {
    ++totals_.restarts;
    rig_.server().Stop();  // unplugged: its path goes too, so no other pty can take the name
    ReconnectSchedule schedule(rig_.clock());
    schedule.Start();
    const int away_attempts = Uniform(1, 4);
    for (int i = 0; i < away_attempts; ++i) {
      rig_.clock().SleepUntilUs(schedule.due_us());
      if (rig_.comm().ReopenCurrent()) Inconsistent("restart", "the port opened while away");
      schedule.Failed();
      const int64_t start_us = rig_.clock().NowUs();
      int32_t ignored = 0;
      if (rig_.engine().ReadCommand(cmd::kUserSetArea, ignored, kDefaultTimeoutMs) ||
          rig_.engine().last_failure() != Command::Failure::kLineLost ||
          rig_.clock().NowUs() - start_us >= int64_t{kDefaultTimeoutMs} * 1000) {
        Inconsistent("restart", "after a failed reopen an exchange did not fail at once");
      }
    }

    const std::vector<ShownValue> shown = ShownValues(rig_.db());
    const int lost_changes = Uniform(0, 3);
    for (int i = 0; i < lost_changes; ++i) {
      const int index = writable_[static_cast<size_t>(Uniform(0, int(writable_.size()) - 1))];
      const ParameterRow& row = rig_.db().rows()[static_cast<size_t>(index)];
      const uint32_t reg = rig_.table().GetCommandRegister(row.command_id);
      rig_.server().WithCamera([&](sim::CameraFrontEnd& camera) {
        camera.model().Poke(reg, static_cast<uint32_t>(row.synchronised_value) ^ 1u);
        return 0;
      });
    }
    // What the tool must report: every parameter it shows whose register now holds another
    // value, whoever changed it.
    std::set<std::string> expected;
    for (const ShownValue& value : shown) {
      if (!CommandTable::IsCommandAvailable(value.command_id, rig_.engine().device().kind,
                                            rig_.CcmIndex())) {
        continue;
      }
      if (static_cast<int32_t>(rig_.CameraRegisterOf(value.command_id)) != value.value) {
        expected.insert(std::string(Label(*FeatureOfCommand(value.command_id))));
      }
    }

    if (!rig_.server().Start()) {
      Inconsistent("restart",
                   "the simulated camera could not start again: " + rig_.server().error());
      return;
    }
    rig_.clock().SleepUntilUs(schedule.due_us());
    if (!schedule.Due() || !rig_.comm().ReopenCurrent() || !rig_.Identify()) {
      Inconsistent("restart", "the camera was not found again when it came back");
      return;
    }
    schedule.Stop();
    ++totals_.reloads;
    rig_.ReadAll();
    rig_.db().CommitAll();
    std::set<std::string> reported;
    for (const std::string& line :
         ChangedParameters(shown, ShownValues(rig_.db()), rig_.engine().device())) {
      reported.insert(line.substr(0, line.find(": ")));
    }
    for (const std::string& label : expected) {
      if (reported.count(label) == 0) Inconsistent("restart", "not reported as changed: " + label);
    }
    for (const std::string& label : reported) {
      if (expected.count(label) == 0) Inconsistent("restart", "reported as changed: " + label);
    }
  }

  // Rows the soak changes: settings-file rows of this model whose write changes nothing but
  // their own register. Left out: the line's baud rate; the CCM selector (it changes which rows
  // exist); rows the camera couples to others (region, transmission, line timing, black level
  // mode, white balance calibration), whose dependents the pages re-read after a change; and
  // the User Set Default Selector, whose register the hidden Stop Bits row also reads.
  void PickWritableRows() {
    static const std::set<std::string> kCoupled = {
        "Binning Horizontal",
        "Binning Horizontal Mode",
        "Offset X",
        "Width",
        "Pixel Format",
        "Internal Line Rate",
        "Black Level Mode",
        "WB Calib Mode",
        "Cl Configuration",
        "Camera Link Clk Frequency",
        "Device Tap Geometry",
        "User Set Default Selector",
    };
    const auto& rows = rig_.db().rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      const ParameterRow& row = rows[i];
      if (!row.master_file || row.parameter_class != parameter_class::kUser) continue;
      if (row.command_id == cmd::kBaudRate || row.command_id == cmd::kCcmSelector) continue;
      if (kCoupled.count(ParameterDatabase::Label(static_cast<int>(i))) != 0) continue;
      if (!CommandTable::IsCommandAvailable(row.command_id, rig_.engine().device().kind,
                                            rig_.CcmIndex())) {
        continue;
      }
      writable_.push_back(static_cast<int>(i));
    }
  }

  int32_t RandomValueFor(const ParameterRow& row) {
    if (row.control_type == control_type::kCombo || row.max <= row.min) return Uniform(0, 3);
    // Mostly inside the row's range, sometimes just outside it, where the camera refuses.
    const int64_t low = row.min, high = row.max;
    const int64_t span = high - low;
    int64_t value = low + std::uniform_int_distribution<int64_t>(0, span)(random_);
    if (Uniform(0, 9) == 0) value = Uniform(0, 1) ? low - 1 : high + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  }

  // One operation; once the camera has hung up, it must fail at once with the line reported
  // lost, without a request going out.
  void OperateChecked() {
    const bool line_gone = rig_.server().hung_up();
    const int requests_before = rig_.channel().requests();
    const uint64_t exchanges_before = rig_.engine().exchanges();
    const int64_t start_us = rig_.clock().NowUs();
    const bool ok = Operate();
    // An operation that needed no exchange (a change to the value already held) has nothing
    // to show.
    if (!line_gone || rig_.engine().exchanges() == exchanges_before) return;
    ++totals_.lost_line_operations;
    if (rig_.channel().requests() != requests_before) {
      Inconsistent("hang_up", "a request went out on a line that had hung up");
    }
    if (ok) Inconsistent("hang_up", "an operation succeeded on a line that had hung up");
    if (rig_.engine().last_failure() != Command::Failure::kLineLost) {
      Inconsistent("hang_up", "a failure on a line that had hung up was not reported as such");
    }
    if (rig_.clock().NowUs() - start_us >= int64_t{kDefaultTimeoutMs} * 1000) {
      Inconsistent("hang_up", "an operation on a line that had hung up waited out a time-out");
    }
  }

  // Returns whether the operation succeeded as a whole.
  bool Operate() {
    const int pick = Uniform(0, 99);
    ParameterDatabase& db = rig_.db();
    if (pick < 55) {
      const int index = writable_[static_cast<size_t>(Uniform(0, int(writable_.size()) - 1))];
      const ParameterRow& row = db.rows()[static_cast<size_t>(index)];
      ++totals_.changes;
      const int32_t value = RandomValueFor(row);
      held_[row.command_id].insert(value);
      if (db.ApplyChange(row.control_id, value, rig_.engine(), nullptr)) {
        ++totals_.changes_confirmed;
        return true;
      }
      unconfirmed_[row.command_id].insert(value);
      return false;
    } else if (pick < 94) {
      const int index = Uniform(0, ParameterDatabase::kRowCount - 1);
      const ParameterRow& row = db.rows()[static_cast<size_t>(index)];
      if (!db.IsReadableRow(index) ||
          !CommandTable::IsCommandAvailable(row.command_id, rig_.engine().device().kind,
                                            rig_.CcmIndex())) {
        return false;
      }
      ++totals_.reads;
      int32_t value = 0;
      if (rig_.engine().ReadCommand(row.command_id, value, kDefaultTimeoutMs)) {
        ++totals_.reads_ok;
        const int32_t camera = static_cast<int32_t>(rig_.CameraRegisterOf(row.command_id));
        if (value != camera && IsStaleReply(row.command_id, value)) {
          ++totals_.stale_replies;
        } else if (value != camera) {
          Inconsistent("read", std::string(ParameterDatabase::Label(index)) + ": read " +
                                   std::to_string(value) + ", camera holds " +
                                   std::to_string(camera));
        }
        return true;
      }
      return false;
    } else if (pick < 97) {
      return ReadTextChecked(Uniform(0, 1) ? cmd::kUserId : cmd::kVendorName);
    }
    ++totals_.reloads;
    const BulkReadResult result = rig_.ReadAll();
    rig_.db().CommitAll();
    return result.failed == 0;
  }

  // A text the camera holds (control bytes, bytes from 0x80 and all), read through the tool:
  // when the read succeeds it is exactly the camera's text up to its first NUL.
  bool ReadTextChecked(int command_id) {
    const uint32_t reg = rig_.table().GetCommandRegister(command_id);
    ++totals_.text_reads;
    std::string text;
    if (!rig_.engine().ReadText(command_id, kIdentityTextBytes, text, kDefaultTimeoutMs)) {
      return false;
    }
    ++totals_.text_reads_ok;
    const std::string camera =
        rig_.server().WithCamera([reg](sim::CameraFrontEnd& c) { return c.model().PeekText(reg); });
    if (text != camera) {
      Inconsistent("text read", "register " + std::to_string(reg) + ": read \"" + Printable(text) +
                                    "\", camera holds \"" + Printable(camera) + "\"");
    }
    return true;
  }

  static std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      if (c >= 0x20 && c < 0x7F) {
        out.push_back(static_cast<char>(c));
      } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
      }
    }
    return out;
  }

  // With the fault off and before any reload: what the tool shows as the camera's must be,
  // but for the two things a line without sequence numbers cannot tell apart.
  void CheckSynchronisedRows(Fault fault) {
    const auto& rows = rig_.db().rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      const ParameterRow& row = rows[i];
      if (!rig_.db().IsReadableRow(static_cast<int>(i)) || row.pending() ||
          !CommandTable::IsCommandAvailable(row.command_id, rig_.engine().device().kind,
                                            rig_.CcmIndex())) {
        continue;
      }
      const int32_t camera = static_cast<int32_t>(rig_.CameraRegisterOf(row.command_id));
      if (camera == row.synchronised_value) continue;
      if (unconfirmed_[row.command_id].count(camera)) {
        // A write whose reply was lost or came after its time-out: the camera took it.
        ++totals_.unconfirmed_taken;
      } else if (IsStaleReply(row.command_id, row.synchronised_value)) {
        ++totals_.stale_replies;
      } else {
        Inconsistent(FaultName(fault), std::string(ParameterDatabase::Label(static_cast<int>(i))) +
                                           ": tool=" + std::to_string(row.synchronised_value) +
                                           " camera=" + std::to_string(camera));
      }
    }
  }

  // A value that is not the camera's now but was its value earlier this round, in a round where
  // exchanges timed out: a reply that came after its time-out answered a later request for the
  // same register (the camera answers in order, and a line has no sequence numbers).
  bool IsStaleReply(int command_id, int32_t value) {
    return timeouts_.count > 0 && held_[command_id].count(value) != 0;
  }

  // The operator's reload with the camera back: every row reads, and nothing differs.
  void Resync(const std::string& context) {
    ++totals_.reloads;
    BulkReadResult result = rig_.ReadAll();
    rig_.db().CommitAll();
    if (result.failed != 0) {
      Inconsistent(context, "reload after the fault: " + std::to_string(result.failed) +
                                " rows did not read");
    }
    for (const std::string& mismatch : rig_.Mismatches()) {
      Inconsistent(context, "after reload: " + mismatch);
    }
  }

  // The CLI program against the same camera: the tool's own port is closed meanwhile, as the
  // port is exclusive.
  void CliRound() {
    static const Fault kCliFaults[] = {Fault::kNone, Fault::kGarbage, Fault::kSplitBytes,
                                       Fault::kUnsignedReplies};
    const Fault fault = kCliFaults[Uniform(0, 3)];
    ++totals_.fault_rounds[std::string("cli_") + FaultName(fault)];
    const uint64_t served_before = CameraServed();
    rig_.comm().Close();
    SwitchOn(fault);

    const int index = writable_[static_cast<size_t>(Uniform(0, int(writable_.size()) - 1))];
    const ParameterRow& row = rig_.db().rows()[static_cast<size_t>(index)];
    const std::string label = ParameterDatabase::Label(index);
    char address[16];
    std::snprintf(address, sizeof address, "0x%08X",
                  rig_.table().GetCommandRegister(row.command_id));
    const int32_t before = static_cast<int32_t>(rig_.CameraRegisterOf(row.command_id));
    const int32_t value = RandomValueFor(row);

    std::string output;
    // Register integers both ways: item names are checked by the CLI's own tests.
    const int set_status = RunCli({"--raw", "set", address, std::to_string(value)}, output);
    const int32_t after = static_cast<int32_t>(rig_.CameraRegisterOf(row.command_id));
    if (set_status == 0 && after != value) {
      Inconsistent("cli set", label + ": exit 0 but camera holds " + std::to_string(after));
    } else if (set_status != 0 && after != before) {
      Inconsistent("cli set", label + ": refused (exit " + std::to_string(set_status) +
                                  ") but camera changed to " + std::to_string(after));
    }

    if (RunCli({"--raw", "get", address}, output) != 0) {
      Inconsistent("cli get", label + ": no answer");
    } else if (output.find(std::to_string(after)) == std::string::npos) {
      Inconsistent("cli get",
                   label + ": printed \"" + output + "\", camera holds " + std::to_string(after));
    }

    if (RunCli({"--json", "dump"}, output) != 0) {
      Inconsistent("cli dump", "failed");
    } else {
      CheckDump(output);
    }

    SwitchOff(fault);
    totals_.camera_requests += CameraServed() - served_before;
    if (!rig_.comm().ReopenCurrent()) Inconsistent("cli", "the tool's port did not reopen");
    Resync("after cli");
  }

  void CheckDump(const std::string& json) {
    static const std::regex item(
        R"re("label":"([^"]*)","address":"(0x[0-9A-Fa-f]{8})","value":(-?\d+))re");
    int items = 0;
    for (auto it = std::sregex_iterator(json.begin(), json.end(), item);
         it != std::sregex_iterator(); ++it) {
      ++items;
      const uint32_t reg = static_cast<uint32_t>(std::stoul((*it)[2].str(), nullptr, 16));
      const int32_t printed = static_cast<int32_t>(std::stol((*it)[3].str()));
      const int32_t camera = static_cast<int32_t>(rig_.CameraRegister(reg));
      if (printed != camera) {
        Inconsistent("cli dump", (*it)[1].str() + ": printed " + std::to_string(printed) +
                                     ", camera holds " + std::to_string(camera));
      }
    }
    if (items < 20) Inconsistent("cli dump", "only " + std::to_string(items) + " parameters");
  }

  int RunCli(const std::vector<std::string>& args, std::string& output) {
    ++totals_.cli_runs;
    std::string command = "'" + cli_path_ + "' --device '" + rig_.dir() + "/ttyCAM'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " 2>/dev/null";
    output.clear();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Inconsistent(const std::string& context, const std::string& what) {
    ++totals_.inconsistencies;
    std::printf("INCONSISTENT [round %llu, %s] %s\n", U(totals_.rounds), context.c_str(),
                what.c_str());
    std::fflush(stdout);
  }

  FaultRig rig_;
  std::mt19937_64 random_;
  std::string cli_path_;
  std::vector<int> writable_;
  // Command id -> values written without confirmation this round.
  std::map<int, std::set<int32_t>> unconfirmed_;
  // Command id -> values the camera held at the start of the round or was sent during it.
  std::map<int, std::set<int32_t>> held_;
  TimeoutCounter timeouts_;
  RoundTrace trace_;
  Totals totals_;
};

}  // namespace
}  // namespace ctrl::test

int main(int argc, char** argv) {
  double minutes = 1;
  uint64_t seed = static_cast<uint64_t>(std::random_device{}());
#ifdef CTRL_SOAK_CLI
  std::string cli_path = CTRL_SOAK_CLI;
#else
  std::string cli_path;
#endif
  std::string model = "QX-4096M-PCL";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--minutes") {
      minutes = std::atof(argv[i + 1]);
    } else if (option == "--seed") {
      seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (option == "--cli") {
      cli_path = argv[i + 1];
    } else if (option == "--model") {
      model = argv[i + 1];

    } else {
      std::fprintf(stderr, "usage: ctrl_soak --minutes M [--seed S] [--cli PATH] [--model M]\n");
      return 2;
    }
  }
  std::printf("soak: %s, %.1f minutes, seed %llu%s\n", model.c_str(), minutes,
              static_cast<unsigned long long>(seed), cli_path.empty() ? ", no CLI runs" : "");

  ctrl::test::Soak soak(seed, cli_path, model);
  if (!soak.Start()) return 1;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(minutes * 60);
  auto next_report = start + std::chrono::minutes(1);
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  while (Clock::now() < end) {
    soak.Round();
    if (Clock::now() >= next_report) {
      soak.PrintSummary("after", elapsed());
      next_report += std::chrono::minutes(1);
    }
  }
  soak.PrintSummary("soak done in", elapsed());
  return soak.totals().inconsistencies == 0 ? 0 : 1;
}
