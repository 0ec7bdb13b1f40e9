// Exchange throughput of the command engine against the in-process simulated camera, and the
// CPU a silent camera costs during a full time-out.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "camera/command_engine.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"

namespace {

struct Rig {
  Rig() : front_end(model), channel(front_end, ctrl::DefaultClock()),
          engine(channel, ctrl::DefaultClock(), table, status) {}
  ctrl::sim::CameraModel model{"QX-4096M-PCL"};
  ctrl::sim::CameraFrontEnd front_end;
  ctrl::sim::InProcessChannel channel;
  ctrl::CommandTable table;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine;
};

void BM_EngineReadExchange(benchmark::State& state) {
  Rig rig;
  int32_t value = 0;
  for (auto _ : state) {
    if (!rig.engine.ReadCommand(30, value, ctrl::kDefaultTimeoutMs)) state.SkipWithError("read");
    benchmark::DoNotOptimize(value);
  }
  state.counters["exchanges/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EngineReadExchange);

void BM_EngineWriteExchange(benchmark::State& state) {
  Rig rig;
  int32_t value = 1000;
  for (auto _ : state) {
    value = value == 1000 ? 2000 : 1000;
    if (!rig.engine.WriteCommand(30, value, ctrl::kDefaultTimeoutMs)) state.SkipWithError("write");
  }
  state.counters["exchanges/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EngineWriteExchange);

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// A 5000 ms time-out on a silent camera under the real clock.
void BM_SilentCameraTimeout(benchmark::State& state) {
  Rig rig;
  rig.front_end.faults().silent = true;
  double cpu = 0;
  for (auto _ : state) {
    double before = CpuSeconds();
    int32_t value = 0;
    if (rig.engine.ReadCommand(30, value, ctrl::kDefaultTimeoutMs)) state.SkipWithError("answered");
    cpu += CpuSeconds() - before;
  }
  state.counters["cpu_percent_of_core"] = 100.0 * cpu / (5.0 * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SilentCameraTimeout)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
