#pragma once

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "camera/bulk_read.h"
#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "camera/progress.h"
#include "sim/pty/pty_camera_server.h"
#include "support/recording_notifier.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace ctrl::test {

// The engine's clock, running `scale` times faster than real time while a fault makes the
// camera miss its replies: a 5000 ms time-out then costs 5000/scale ms of real waiting, and
// the exchanges themselves still run on the real pty at real speed.
class ScaledClock final : public Clock {
 public:
  int64_t NowUs() const override { return base_us_ + (RealUs() - real_base_us_) * scale_; }
  void SleepUntilUs(int64_t deadline_us) override {
    const int64_t now = NowUs();
    if (deadline_us <= now) return;
    std::this_thread::sleep_for(std::chrono::microseconds((deadline_us - now) / scale_ + 1));
  }
  void set_scale(int64_t scale) {
    base_us_ = NowUs();
    real_base_us_ = RealUs();
    scale_ = std::max<int64_t>(1, scale);
  }

 private:
  static int64_t RealUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  int64_t base_us_ = 0;
  int64_t real_base_us_ = RealUs();
  int64_t scale_ = 1;
};

// The connection as the engine sees it, with two additions for the scenarios: each read waits
// at most 2 ms of real time (the engine loops on its own clock), and a hook runs before the
// n-th request goes out, so a fault can start in the middle of an operation.
class HookedChannel final : public ByteChannel {
 public:
  explicit HookedChannel(ByteChannel& inner) : inner_(inner) {}
  bool Write(std::string_view bytes) override {
    ++requests_;
    if (hook_ && requests_ == hook_at_) hook_();
    return inner_.Write(bytes);
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    return inner_.Read(buffer, length, std::min(timeout_ms, 2));
  }
  void DiscardInput() override { inner_.DiscardInput(); }
  bool LineLost() const override { return inner_.LineLost(); }

  // Runs `hook` before the request `after` requests from now.
  void At(int after, std::function<void()> hook) {
    hook_at_ = requests_ + after;
    hook_ = std::move(hook);
  }
  int requests() const { return requests_; }

 private:
  ByteChannel& inner_;
  int requests_ = 0;
  int hook_at_ = -1;
  std::function<void()> hook_;
};

// The tool's real connection (CommChannel over the COM port transport) to a simulated camera
// on a real pty, reached through a stable link so the server can go away and come back.
class FaultRig {
 public:
  static constexpr int kFastScale = 1000;

  explicit FaultRig(const std::string& model = "QX-4096M-PCL")
      : dir_(MakeDir()),
        server_(Options(model, dir_ + "/ttyCAM")),
        comm_(transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
              transports_.cl_serial_v11),
        channel_(comm_),
        engine_(channel_, clock_, table_, status_) {
    transports_.com_port.port_map().Set("COM1", dir_ + "/ttyCAM");
  }
  ~FaultRig() {
    comm_.Close();
    server_.Stop();
    std::filesystem::remove_all(dir_);
  }

  bool Start() { return server_.Start() && comm_.Open(PortCategory::kComPort, 9600, 0); }
  bool Identify() {
    if (!engine_.CheckModel()) return false;
    if (engine_.device().IsWideMono()) table_.ApplyWideModelOverride();
    return true;
  }

  // Switches faults on the running camera; time runs fast while any of them is on.
  void SetFaults(const std::function<void(sim::Faults&)>& change, int scale = kFastScale) {
    server_.WithCamera([&](sim::CameraFrontEnd& camera) {
      change(camera.faults());
      return 0;
    });
    clock_.set_scale(scale);
  }
  void ClearFaults() {
    SetFaults([](sim::Faults& f) { f = sim::Faults{}; }, 1);
  }

  uint32_t CameraRegister(uint32_t reg) {
    return server_.WithCamera(
        [&](sim::CameraFrontEnd& camera) { return camera.model().Peek(reg); });
  }
  uint32_t CameraRegisterOf(int command_id) {
    return CameraRegister(table_.GetCommandRegister(command_id));
  }

  BulkReadResult ReadAll() {
    NullProgress progress;
    return ReadAllParameters(
        engine_, db_, 1, [this] { return CcmIndex(); }, progress);
  }
  int CcmIndex() const {
    for (const auto& row : db_.rows()) {
      if (row.command_id == cmd::kCcmSelector) return row.current_value;
    }
    return -1;
  }

  // Rows whose value the tool shows as the camera's (synchronised and readable on this model)
  // while the camera holds something else, as "label: tool=x camera=y".
  std::vector<std::string> Mismatches() {
    std::vector<std::string> out;
    const auto& rows = db_.rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      const ParameterRow& row = rows[i];
      if (!db_.IsReadableRow(static_cast<int>(i)) || row.pending()) continue;
      if (!CommandTable::IsCommandAvailable(row.command_id, engine_.device().kind, CcmIndex())) {
        continue;
      }
      const int32_t camera = static_cast<int32_t>(CameraRegisterOf(row.command_id));
      if (camera != row.synchronised_value) {
        out.push_back(std::string(ParameterDatabase::Label(static_cast<int>(i))) + ": tool=" +
                      std::to_string(row.synchronised_value) + " camera=" + std::to_string(camera));
      }
    }
    return out;
  }

  sim::PtyCameraServer& server() { return server_; }
  CommChannel& comm() { return comm_; }
  HookedChannel& channel() { return channel_; }
  ScaledClock& clock() { return clock_; }
  Command& engine() { return engine_; }
  CommandTable& table() { return table_; }
  OnlineStatusPublisher& status() { return status_; }
  ParameterDatabase& db() { return db_; }
  RecordingNotifier& notifier() { return notifier_; }
  const std::string& dir() const { return dir_; }

 private:
  static std::string MakeDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ctrl-faults-XXXXXX").string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  static sim::PtyCameraServer::Options Options(const std::string& model, const std::string& link) {
    sim::PtyCameraServer::Options options;
    options.model = model;
    options.link_path = link;
    options.check_line_rate = true;
    return options;
  }

  std::string dir_;
  RecordingNotifier notifier_;
  sim::PtyCameraServer server_;
  SystemTransports transports_;
  CommChannel comm_;
  HookedChannel channel_;
  ScaledClock clock_;
  CommandTable table_;
  OnlineStatusPublisher status_;
  Command engine_;
  ParameterDatabase db_;
};

}  // namespace ctrl::test
