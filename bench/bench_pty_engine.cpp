// The command engine over a real pseudo-terminal: one exchange against the raw round trip of the
// same bytes, against a poll-every-5-ms engine with spinning one-byte reads, and a whole LUT
// table transfer (8192 exchanges), with and without line-speed emulation at 460800 baud.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "camera/command_engine.h"
#include "lut/lut_transfer.h"
#include "sim/pty/pty_camera_server.h"
#include "sim/register_map.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"
#include "transport/unique_fd.h"

namespace {

using SteadyTime = std::chrono::steady_clock;
constexpr const char* kRequest = "rd 0x01001010\r\n";

void ReportLatencies(benchmark::State& state, std::vector<double>& latencies_us) {
  if (latencies_us.empty()) return;
  std::sort(latencies_us.begin(), latencies_us.end());
  auto at = [&](double fraction) {
    return latencies_us[std::min(latencies_us.size() - 1,
                                 static_cast<size_t>(fraction * latencies_us.size()))];
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
}

double MicrosecondsSince(SteadyTime::time_point start) {
  return std::chrono::duration<double, std::micro>(SteadyTime::now() - start).count();
}

// Counts the bytes that cross the line in both directions.
class CountingChannel final : public ctrl::ByteChannel {
 public:
  explicit CountingChannel(ctrl::ByteChannel& inner) : inner_(inner) {}
  bool Write(std::string_view bytes) override {
    written += bytes.size();
    return inner_.Write(bytes);
  }
  int Read(char* buffer, int length, int timeout_ms) override {
    int got = inner_.Read(buffer, length, timeout_ms);
    read += static_cast<uint64_t>(got);
    return got;
  }
  void DiscardInput() override { inner_.DiscardInput(); }
  uint64_t written = 0;
  uint64_t read = 0;

 private:
  ctrl::ByteChannel& inner_;
};

// A camera on a pty behind COM1, the connection and the engine, as the tool runs them.
struct PtyRig {
  explicit PtyRig(bool line_speed = false) : server(Options(line_speed)) {}
  static ctrl::sim::PtyCameraServer::Options Options(bool line_speed) {
    ctrl::sim::PtyCameraServer::Options options;
    options.faults.emulate_line_speed = line_speed;
    return options;
  }
  bool Start(int baud) {
    if (!server.Start()) return false;
    transports.com_port.port_map().Set("COM1", server.slave_path());
    return channel.Open(ctrl::CommChannel::kComPort, baud, 0);
  }
  ctrl::sim::PtyCameraServer server;
  ctrl::SystemTransports transports;
  ctrl::CommChannel channel{transports.com_port, transports.cl_serial_2000,
                            transports.cl_serial_2001, transports.cl_serial_v11};
  CountingChannel counting{channel};
  ctrl::CommandTable table;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine{counting, ctrl::DefaultClock(), table, status};
};

// The floor: the same request written to the pty and the reply read with poll().
void BM_PtyRawRoundTrip(benchmark::State& state) {
  ctrl::sim::PtyCameraServer server({});
  if (!server.Start()) return state.SkipWithError(server.error().c_str());
  ctrl::UniqueFd line(::open(server.slave_path().c_str(), O_RDWR | O_NOCTTY));
  termios raw{};
  ::tcgetattr(line.get(), &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(line.get(), TCSANOW, &raw);
  std::vector<double> latencies_us;
  for (auto _ : state) {
    auto start = SteadyTime::now();
    if (::write(line.get(), kRequest, 15) != 15) return state.SkipWithError("write");
    std::string reply;
    char chunk[256];
    while (reply.size() < 5 || reply.compare(reply.size() - 5, 5, "OK>\r\n") != 0) {
      pollfd readable = {line.get(), POLLIN, 0};
      if (::poll(&readable, 1, 1000) <= 0) return state.SkipWithError("no reply");
      ssize_t got = ::read(line.get(), chunk, sizeof chunk);
      if (got <= 0) return state.SkipWithError("read");
      reply.append(chunk, static_cast<size_t>(got));
    }
    latencies_us.push_back(MicrosecondsSince(start));
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_PtyRawRoundTrip)->UseRealTime();

// The engine's exchange: discard, request, value line and prompt, woken by the reader thread.
void BM_PtyEngineExchange(benchmark::State& state) {
  PtyRig rig;
  if (!rig.Start(9600)) return state.SkipWithError("open");
  std::vector<double> latencies_us;
  for (auto _ : state) {
    auto start = SteadyTime::now();
    int32_t value = 0;
    if (!rig.engine.ReadCommand(30, value, ctrl::kDefaultTimeoutMs)) {
      return state.SkipWithError("read");
    }
    latencies_us.push_back(MicrosecondsSince(start));
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_PtyEngineExchange)->UseRealTime();

// The same exchange at the fixed cadence of a polling engine: sleep 5 ms before every receive
// attempt, each attempt reading one byte at a time with a spinning 10 ms wait.
void BM_PtyFixedCadenceExchange(benchmark::State& state) {
  PtyRig rig;
  if (!rig.Start(9600)) return state.SkipWithError("open");
  auto spin_read_byte = [&](char& byte) {
    auto until = SteadyTime::now() + std::chrono::milliseconds(10);
    do {
      if (rig.channel.Read(&byte, 1, 0) == 1) return true;
    } while (SteadyTime::now() < until);
    return false;
  };
  auto receive_line = [&](std::string& line) {
    line.clear();
    char byte;
    while (spin_read_byte(byte)) {
      if (byte == '\n') return true;
      line.push_back(byte);
    }
    return false;
  };
  std::vector<double> latencies_us;
  for (auto _ : state) {
    auto start = SteadyTime::now();
    rig.channel.Write(kRequest);
    int lines = 0;
    std::string line;
    while (lines < 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (receive_line(line)) ++lines;
      if (SteadyTime::now() - start > std::chrono::seconds(5)) return state.SkipWithError("late");
    }
    latencies_us.push_back(MicrosecondsSince(start));
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_PtyFixedCadenceExchange)->UseRealTime()->Iterations(100);

// One whole LUT table read (index write + value read per entry), optionally with the line
// paced at 460800 baud (10 bits a byte). Reports the line-time bound of the bytes that crossed.
void BM_PtyLutTableRead(benchmark::State& state) {
  const bool line_speed = state.range(0) != 0;
  PtyRig rig(line_speed);
  if (!rig.Start(9600)) return state.SkipWithError("open");
  if (line_speed) {
    // Switch camera and line to 460800 together, as the operator would.
    if (!rig.engine.WriteRegister(ctrl::sim::reg::kBaudRate, ctrl::sim::baud::k460800,
                                  ctrl::kDefaultTimeoutMs)) {
      return state.SkipWithError("baud");
    }
    if (!rig.channel.ReopenWithBaudRate(460800)) return state.SkipWithError("reopen");
  }
  ctrl::NullProgress progress;
  ctrl::NullWindowGate windows;
  ctrl::LutTransferContext io{rig.engine, ctrl::DefaultClock(), progress, windows};
  ctrl::LutBank bank;
  double seconds = 0;
  uint64_t bytes = 0;
  for (auto _ : state) {
    rig.counting.written = rig.counting.read = 0;
    auto start = SteadyTime::now();
    if (!ctrl::ReadLutTable(io, bank, ctrl::kGreenLut)) return state.SkipWithError("transfer");
    seconds += MicrosecondsSince(start) / 1e6;
    bytes += rig.counting.written + rig.counting.read;
  }
  double iterations = static_cast<double>(state.iterations());
  state.counters["seconds_per_table"] = seconds / iterations;
  if (line_speed) {
    double bound = static_cast<double>(bytes) * 10.0 / 460800.0 / iterations;
    state.counters["line_time_bound_s"] = bound;
    state.counters["ratio_to_bound"] = seconds / iterations / bound;
  }
}
BENCHMARK(BM_PtyLutTableRead)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("line_speed_460800")
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
