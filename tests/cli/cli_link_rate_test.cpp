// The line's rate over a real pseudo-terminal, with a simulated camera that understands only
// requests at the rate of its Baud Rate register: a camera left at another rate must be found,
// a Baud Rate change must be followed by the port, and --fast must bring both sides back to the
// starting rate, also when the run is interrupted in the middle of a LUT transfer.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/connection.h"
#include "cli/interrupt.h"
#include "sim/pty/pty_camera_server.h"
#include "sim/register_map.h"

namespace ctrl::cli {
namespace {

namespace fs = std::filesystem;

// A camera on a pty that is already running at `rate`.
class PtyCamera {
 public:
  explicit PtyCamera(int rate = 9600, const std::string& model = "QX-4096M-PCL") {
    sim::PtyCameraServer::Options options;
    options.model = model;
    options.check_line_rate = true;
    options.baud_rate = rate;
    server_ = std::make_unique<sim::PtyCameraServer>(options);
    EXPECT_TRUE(server_->Start()) << server_->error();
  }
  const std::string& path() const { return server_->slave_path(); }
  int camera_rate() {
    return server_->WithCamera([](sim::CameraFrontEnd& f) { return f.model().baud_rate(); });
  }
  uint32_t Peek(uint32_t reg) {
    return server_->WithCamera([reg](sim::CameraFrontEnd& f) { return f.model().Peek(reg); });
  }
  void Poke(uint32_t reg, uint32_t value) {
    server_->WithCamera([&](sim::CameraFrontEnd& f) {
      f.model().Poke(reg, value);
      return 0;
    });
  }

 private:
  std::unique_ptr<sim::PtyCameraServer> server_;
};

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome RunCli(std::vector<std::string> args, const Environment& environment = {}) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = Run(args, out, err, environment);
  return {code, out.str(), err.str()};
}

TEST(CliLinkRate, TheCameraIsFoundAtTheRateItWasLeftAt) {
  struct Case {
    int camera_rate;
    int start_rate;
    const char* message;  // on stderr; empty: none
  };
  const std::vector<Case> cases = {
      {9600, 9600, ""},
      {115200, 9600, "The camera answers at 115200 baud; the link now uses 115200."},
      {460800, 115200, "The camera answers at 460800 baud; the link now uses 460800."},
      {9600, 460800, "The camera answers at 9600 baud; the link now uses 9600."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.camera_rate);
    PtyCamera camera(c.camera_rate);
    const Outcome run =
        RunCli({"--device", camera.path(), "--baud", std::to_string(c.start_rate), "get", "Gamma"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "100\n");
    // identify reads the identity of any camera, so it finds the rate on its own path.
    const Outcome identify =
        RunCli({"--device", camera.path(), "--baud", std::to_string(c.start_rate), "identify"});
    EXPECT_EQ(identify.code, 0) << identify.err;
    for (const std::string& err : {run.err, identify.err}) {
      if (*c.message == '\0') {
        EXPECT_EQ(err.find("answers at"), std::string::npos) << err;
      } else {
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
      }
    }
  }
}

TEST(CliLinkRate, ABaudRateChangeIsFollowedByThePort) {
  PtyCamera camera;
  // A script keeps one connection: the line after the change must work at the new rate.
  const fs::path script = fs::temp_directory_path() / "ctrl_baud_follow.txt";
  {
    std::ofstream file(script);
    file << "set \"Baud Rate\" BAUDRATE_115200\nget Gamma\n";
  }
  const Outcome run = RunCli({"--device", camera.path(), "shell", script.string()});
  fs::remove(script);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("The camera now uses 115200 baud; the link follows."), std::string::npos)
      << run.err;
  // The camera ignores requests at any other rate: the get worked at 115200.
  EXPECT_EQ(camera.camera_rate(), 115200);
  EXPECT_EQ(run.out, "100\n");
}

// Wraps the real connection and asks the run to stop after a number of LUT value reads, as
// Ctrl+C in the middle of a transfer would; counts the reads made at 460800 into `fast_reads`,
// which outlives the connection (the run closes it before the test looks).
class InterruptingConnection final : public Connection, private ByteChannel {
 public:
  InterruptingConnection(std::unique_ptr<Connection> inner, int lut_reads_before_stop,
                         int& fast_reads)
      : inner_(std::move(inner)), remaining_(lut_reads_before_stop), fast_reads_(fast_reads) {}
  ByteChannel& channel() override { return *this; }
  LineRateControl* line_rate() override { return inner_->line_rate(); }

 private:
  bool Write(std::string_view bytes) override {
    char request[32];
    std::snprintf(request, sizeof request, "rd 0x%08X", sim::reg::kLutValue);
    if (bytes.rfind(request, 0) == 0) {
      if (inner_->line_rate()->LineRate() == 460800) ++fast_reads_;
      // The real signal: without the run's handler it would end the test process.
      if (--remaining_ == 0) std::raise(SIGINT);
    }
    return inner_->channel().Write(bytes);
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    return inner_->channel().Read(buffer, length, timeout_ms);
  }
  void DiscardInput() override { inner_->channel().DiscardInput(); }
  bool LineLost() const override { return inner_->channel().LineLost(); }

  std::unique_ptr<Connection> inner_;
  int remaining_;
  int& fast_reads_;
};

TEST(CliLinkRate, FastTransfersComeBackToTheStartingRate) {
  struct Case {
    const char* what;
    int stop_after;  // LUT value reads before the stop request; 0: no stop
    int exit_code;
  };
  const std::vector<Case> cases = {
      {"whole table", 0, 0},
      {"interrupted mid-table", 100, kExitInterrupted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PtyCamera camera(9600, "QX-4096TR-PCL");
    camera.Poke(sim::reg::kLutSelector, 2);
    camera.Poke(sim::reg::kLutIndex, 7);
    int fast_reads = 0;
    Environment environment;
    environment.open_connection = [&](const ConnectionOptions& options, std::ostream& err) {
      return std::make_unique<InterruptingConnection>(
          OpenConnection(options, err), c.stop_after == 0 ? -1 : c.stop_after, fast_reads);
    };
    const fs::path file = fs::temp_directory_path() / "ctrl_fast_lut.csv";
    const Outcome run = RunCli({"--device", camera.path(), "--fast", "--stats", "lut", "read",
                                "--table", "green", file.string()},
                               environment);
    fs::remove(file);
    ClearInterrupt();
    EXPECT_EQ(run.code, c.exit_code) << run.err;
    EXPECT_GT(fast_reads, 0);
    // The camera back at the starting rate (it answered there, or the run would have said so),
    // and the LUT addressing as the camera had it.
    EXPECT_EQ(camera.camera_rate(), 9600);
    EXPECT_EQ(run.err.find("did not answer"), std::string::npos) << run.err;
    EXPECT_EQ(camera.Peek(sim::reg::kLutSelector), 2u);
    EXPECT_EQ(camera.Peek(sim::reg::kLutIndex), 7u);
    EXPECT_NE(run.err.find("Link: "), std::string::npos) << run.err;
    if (c.exit_code == kExitInterrupted) {
      EXPECT_NE(run.err.find("Interrupted; the link is at 9600 baud."), std::string::npos)
          << run.err;
    }
  }
}

}  // namespace
}  // namespace ctrl::cli
