// A whole LUT table read over a real pseudo-terminal (8192 exchanges), with and without the line
// paced at 460800 baud, against the line-time bound of the bytes that crossed.
#include <benchmark/benchmark.h>

#include <chrono>

#include "camera/bulk_read.h"
#include "camera/command_engine.h"
#include "camera/link_rate.h"
#include "camera/parameter_database.h"
#include "lut/lut_transfer.h"
#include "sim/pty/pty_camera_server.h"
#include "sim/register_map.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace {

using SteadyTime = std::chrono::steady_clock;

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
  bool LineLost() const override { return inner_.LineLost(); }
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
    // A paced line garbles requests at another rate, as a real one does.
    options.check_line_rate = line_speed;
    return options;
  }
  bool Start(int baud) {
    if (!server.Start()) return false;
    transports.com_port.port_map().Set("COM1", server.slave_path());
    return channel.Open(ctrl::PortCategory::kComPort, baud, 0);
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

// The PC side of the rig's line, for the rate switches.
class RigLine final : public ctrl::LineRateControl {
 public:
  explicit RigLine(ctrl::CommChannel& channel) : channel_(channel) {}
  int LineRate() const override { return channel_.baud_rate(); }
  bool SetLineRate(int rate) override { return channel_.ReopenWithBaudRate(rate); }

 private:
  ctrl::CommChannel& channel_;
};

// --fast on a paced line that starts at 9600: raise both sides to 460800, read one LUT table,
// come back to 9600. The table's part is held against its 460800 line-time bound; the two
// switches (a register write and a model check at each end) are reported on their own.
void BM_PtyLutTableReadFastFrom9600(benchmark::State& state) {
  PtyRig rig(/*line_speed=*/true);
  if (!rig.Start(9600)) return state.SkipWithError("open");
  RigLine line(rig.channel);
  ctrl::NullProgress progress;
  ctrl::NullWindowGate windows;
  ctrl::LutTransferContext io{rig.engine, ctrl::DefaultClock(), progress, windows};
  ctrl::LutBank bank;
  double table_seconds = 0;
  double switch_seconds = 0;
  uint64_t table_bytes = 0;
  for (auto _ : state) {
    std::string message;
    auto start = SteadyTime::now();
    ctrl::FastLink fast(rig.engine, line);
    if (!fast.Raise(message)) return state.SkipWithError(message.c_str());
    switch_seconds += MicrosecondsSince(start) / 1e6;
    rig.counting.written = rig.counting.read = 0;
    start = SteadyTime::now();
    if (!ctrl::ReadLutTable(io, bank, ctrl::kGreenLut)) return state.SkipWithError("transfer");
    table_seconds += MicrosecondsSince(start) / 1e6;
    table_bytes += rig.counting.written + rig.counting.read;
    start = SteadyTime::now();
    if (!fast.Restore(message)) return state.SkipWithError(message.c_str());
    switch_seconds += MicrosecondsSince(start) / 1e6;
    if (line.LineRate() != 9600) return state.SkipWithError("not back at 9600");
  }
  const double iterations = static_cast<double>(state.iterations());
  const double bound = static_cast<double>(table_bytes) * 10.0 / 460800.0 / iterations;
  state.counters["table_s"] = table_seconds / iterations;
  state.counters["table_bound_s"] = bound;
  state.counters["switches_s"] = switch_seconds / iterations;
  state.counters["total_s"] = (table_seconds + switch_seconds) / iterations;
  state.counters["ratio_to_bound_plus_switches"] =
      (table_seconds + switch_seconds) / iterations / (bound + switch_seconds / iterations);
  // At 9600 the same bytes would take this long at the least.
  state.counters["table_bound_at_9600_s"] = bound * 460800.0 / 9600.0;
}
BENCHMARK(BM_PtyLutTableReadFastFrom9600)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Every parameter read at 9600 on a paced line, against the line-time bound of its bytes.
void BM_PtyDumpAt9600(benchmark::State& state) {
  PtyRig rig(/*line_speed=*/true);
  if (!rig.Start(9600)) return state.SkipWithError("open");
  if (!rig.engine.CheckModel(false)) return state.SkipWithError("model");
  ctrl::ParameterDatabase database;
  ctrl::NullProgress progress;
  double seconds = 0;
  uint64_t bytes = 0;
  for (auto _ : state) {
    rig.counting.written = rig.counting.read = 0;
    auto start = SteadyTime::now();
    const ctrl::BulkReadResult result =
        ctrl::ReadAllParameters(rig.engine, database, 0, {}, progress);
    seconds += MicrosecondsSince(start) / 1e6;
    if (result.failed > 0) return state.SkipWithError("rows not read");
    bytes += rig.counting.written + rig.counting.read;
  }
  const double iterations = static_cast<double>(state.iterations());
  const double bound = static_cast<double>(bytes) * 10.0 / 9600.0 / iterations;
  state.counters["seconds"] = seconds / iterations;
  state.counters["line_time_bound_s"] = bound;
  state.counters["ratio_to_bound"] = seconds / iterations / bound;
}
BENCHMARK(BM_PtyDumpAt9600)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
