// Reading the largest settings file the tool accepts (16 MiB) when none of its lines reaches the
// camera: what a load and a diff cost before any exchange. Blank lines end at the separator
// check; foreign lines go through the whole reply grammar and the whole-value rule.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "camera/command_engine.h"
#include "camera/notifier.h"
#include "camera/parameter_database.h"
#include "files/bounded_read.h"
#include "files/camera_settings_file.h"

namespace {

namespace fs = std::filesystem;

// A camera that never answers; no line of these files is sent, so it is never asked.
class DeafChannel final : public ctrl::ByteChannel {
 public:
  bool Write(std::string_view) override { return true; }
  int Read(char*, int, int) override { return 0; }
  void DiscardInput() override {}
};

// The load's message about the skipped lines is part of the work, not of the output.
class QuietNotifier final : public ctrl::Notifier {
 public:
  QuietNotifier() { ctrl::InstallNotifier(this); }
  ~QuietNotifier() override { ctrl::InstallNotifier(nullptr); }
  void ShowMessage(const std::string&, const std::string&, ctrl::MessageIcon) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

struct Rig {
  Rig() : engine(channel, clock, table, status) { engine.device().kind = ctrl::ModelKind::Mono; }
  QuietNotifier notifier;
  ctrl::SettingsFileContext Context() {
    return ctrl::SettingsFileContext{engine, database, 0, nullptr, nullptr, nullptr};
  }
  DeafChannel channel;
  ctrl::SteadyClock clock;
  ctrl::CommandTable table;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine;
  ctrl::ParameterDatabase database;
};

// A file of the largest accepted size made of one line repeated.
std::string LargestFileOf(const std::string& line) {
  const fs::path path =
      fs::temp_directory_path() / ("bench_settings_" + std::to_string(getpid()) + ".cam");
  std::string text;
  while (text.size() + line.size() <= static_cast<size_t>(ctrl::kMaxReadFileBytes)) text += line;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

void Load(benchmark::State& state, const std::string& line) {
  const std::string path = LargestFileOf(line);
  Rig rig;
  ctrl::SettingsLoadReport report;
  for (auto _ : state) {
    auto context = rig.Context();
    if (!ctrl::ReadCameraSettingFile(path, context, &report) || report.sent != 0) {
      state.SkipWithError("the file was not read, or a line was sent");
      break;
    }
  }
  state.counters["lines"] = report.lines;
  state.counters["skipped"] = report.foreign;
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
  fs::remove(path);
}

void BM_LoadLargestBlankFile(benchmark::State& state) { Load(state, "\n"); }
BENCHMARK(BM_LoadLargestBlankFile)->Unit(benchmark::kMillisecond);

void BM_LoadLargestFileOfForeignLines(benchmark::State& state) { Load(state, "0x0100101O=4000\n"); }
BENCHMARK(BM_LoadLargestFileOfForeignLines)->Unit(benchmark::kMillisecond);

void BM_DiffReadOfTheLargestFileOfCutValues(benchmark::State& state) {
  const std::string path = LargestFileOf("0x01001010=\n");
  Rig rig;
  std::vector<ctrl::SettingsFileValue> values;
  for (auto _ : state) {
    auto context = rig.Context();
    if (!ctrl::ReadSettingsFileValues(path, context, values) || !values.empty()) {
      state.SkipWithError("the file was not read, or a cut value was taken");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
  fs::remove(path);
}
BENCHMARK(BM_DiffReadOfTheLargestFileOfCutValues)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
