// Round-trip latency through a real pseudo-terminal, raw and through the tool's COM port
// transport and connection, and the CPU a waiting reader costs. Run:
//   build/<dir>/bench/bench_transport
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <thread>

#include "camera/command_engine.h"
#include "sim/pty/fault_options.h"
#include "sim/pty/pty_camera_server.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"
#include "transport/unique_fd.h"

namespace {

constexpr const char* kRequest = "rd 0x00000044\r\n";

bool EndsWithPrompt(const std::string& reply) {
  return reply.size() >= 5 && reply.compare(reply.size() - 5, 5, "OK>\r\n") == 0;
}

using Clock = std::chrono::steady_clock;

void ReportLatencies(benchmark::State& state, std::vector<double>& latencies_us) {
  if (latencies_us.empty()) return;
  std::sort(latencies_us.begin(), latencies_us.end());
  const auto at = [&](double fraction) {
    return latencies_us[std::min(latencies_us.size() - 1,
                                 static_cast<size_t>(fraction * latencies_us.size()))];
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The floor: a client that talks to the pty itself, with poll() and no threads in between.
void BM_RawPtyRoundTrip(benchmark::State& state) {
  ctrl::sim::PtyCameraServer server({});
  if (!server.Start()) return state.SkipWithError(server.error().c_str());
  ctrl::UniqueFd line(::open(server.slave_path().c_str(), O_RDWR | O_NOCTTY));
  termios raw{};
  ::tcgetattr(line.get(), &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(line.get(), TCSANOW, &raw);
  std::vector<double> latencies_us;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (::write(line.get(), kRequest, 15) != 15) return state.SkipWithError("write");
    std::string reply;
    char chunk[256];
    while (!EndsWithPrompt(reply)) {
      pollfd readable = {line.get(), POLLIN, 0};
      if (::poll(&readable, 1, 1000) <= 0) return state.SkipWithError("no reply");
      const ssize_t got = ::read(line.get(), chunk, sizeof chunk);
      if (got <= 0) return state.SkipWithError("read");
      reply.append(chunk, static_cast<size_t>(got));
    }
    latencies_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_RawPtyRoundTrip)->UseRealTime();

// The same exchange the way the engine does it: CommChannel write, then one-byte reads with
// a 10 ms time-out, woken by the transport's reader thread.
void BM_CommChannelRoundTrip(benchmark::State& state) {
  ctrl::sim::PtyCameraServer server({});
  if (!server.Start()) return state.SkipWithError(server.error().c_str());
  ctrl::SystemTransports transports;
  transports.com_port.port_map().Set("COM1", server.slave_path());
  ctrl::CommChannel channel(transports.com_port, transports.cl_serial_2000,
                            transports.cl_serial_2001, transports.cl_serial_v11);
  if (!channel.Open(ctrl::PortCategory::kComPort, 9600, 0)) return state.SkipWithError("open");
  std::vector<double> latencies_us;
  for (auto _ : state) {
    const auto start = Clock::now();
    channel.Write(kRequest);
    std::string reply;
    const auto give_up = start + std::chrono::seconds(1);
    while (!EndsWithPrompt(reply)) {
      char byte;
      if (channel.Read(&byte, 1, 10) == 1) {
        reply.push_back(byte);
      } else if (Clock::now() > give_up) {
        return state.SkipWithError("no reply");
      }
    }
    latencies_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_CommChannelRoundTrip)->UseRealTime();

// A camera on a pty behind COM1, the connection and the engine, as the tool runs them.
struct PtyRig {
  bool Start() {
    if (!server.Start()) return false;
    transports.com_port.port_map().Set("COM1", server.slave_path());
    return channel.Open(ctrl::PortCategory::kComPort, 9600, 0);
  }
  ctrl::sim::PtyCameraServer server{{}};
  ctrl::SystemTransports transports;
  ctrl::CommChannel channel{transports.com_port, transports.cl_serial_2000,
                            transports.cl_serial_2001, transports.cl_serial_v11};
  ctrl::CommandTable table;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine{channel, ctrl::DefaultClock(), table, status};
};

// The engine's exchange: discard, request, value line and prompt, woken by the reader thread.
void BM_PtyEngineExchange(benchmark::State& state) {
  PtyRig rig;
  if (!rig.Start()) return state.SkipWithError("open");
  std::vector<double> latencies_us;
  for (auto _ : state) {
    auto start = Clock::now();
    int32_t value = 0;
    if (!rig.engine.ReadCommand(ctrl::cmd::kModelName, value, ctrl::kDefaultTimeoutMs)) {
      return state.SkipWithError("read");
    }
    latencies_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_PtyEngineExchange)->UseRealTime();

// The same exchange at the fixed cadence of a polling engine: sleep 5 ms before every receive
// attempt, each attempt reading one byte at a time with a spinning 10 ms wait.
void BM_PtyFixedCadenceExchange(benchmark::State& state) {
  PtyRig rig;
  if (!rig.Start()) return state.SkipWithError("open");
  auto spin_read_byte = [&](char& byte) {
    auto until = Clock::now() + std::chrono::milliseconds(10);
    do {
      if (rig.channel.Read(&byte, 1, 0) == 1) return true;
    } while (Clock::now() < until);
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
    auto start = Clock::now();
    rig.channel.Write(kRequest);
    int lines = 0;
    std::string line;
    while (lines < 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (receive_line(line)) ++lines;
      if (Clock::now() - start > std::chrono::seconds(5)) return state.SkipWithError("late");
    }
    latencies_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  ReportLatencies(state, latencies_us);
}
BENCHMARK(BM_PtyFixedCadenceExchange)->UseRealTime()->Iterations(100);

// A silent camera: the engine keeps asking for a byte with its 10 ms time-out for 5 s. The
// whole process (engine loop, reader thread, pty server) should stay under 1% of a core. On a
// line that hung up, a read returns at once and the line reports itself lost, so the engine
// stops asking: what is left is the reader thread's cost, and how soon the loss was seen.
void BM_SilentWaitCpu(benchmark::State& state) {
  ctrl::sim::PtyCameraServer::Options options;
  ctrl::sim::ApplyFaultOption("silent", options.faults);
  ctrl::sim::PtyCameraServer server(options);
  if (!server.Start()) return state.SkipWithError(server.error().c_str());
  ctrl::SystemTransports transports;
  transports.com_port.port_map().Set("COM1", server.slave_path());
  ctrl::CommChannel channel(transports.com_port, transports.cl_serial_2000,
                            transports.cl_serial_2001, transports.cl_serial_v11);
  if (!channel.Open(ctrl::PortCategory::kComPort, 9600, 0)) return state.SkipWithError("open");
  const bool hang_up = state.range(0) != 0;
  if (hang_up) server.Stop();  // The far end disappears: the line reports hang-up for ever.
  for (auto _ : state) {
    const double cpu_before = CpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(5);
    channel.Write(kRequest);
    while (Clock::now() < end) {
      char byte;
      channel.Read(&byte, 1, 10);
      if (channel.LineLost()) {
        state.counters["lost_seen_after_ms"] =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::this_thread::sleep_until(end);
      }
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["cpu_percent_of_core"] = 100.0 * (CpuSeconds() - cpu_before) / wall;
  }
}
BENCHMARK(BM_SilentWaitCpu)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("hung_up")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
