// The window's way back to a camera whose line went away: from the moment the camera's pty link
// reappears to the window being online again with every parameter read anew. Goal: under a
// second plus the reload's own time (which includes the progress window's one-second hold of
// its full bar). Runs offscreen by default, on the real clock.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "app/application_state.h"
#include "app/settings_backend.h"
#include "camera/command_table.h"
#include "sim/pty/pty_camera_server.h"
#include "ui/main_window.h"

namespace {

// Runs the window's event loop until `done` or `limit_ms` have passed; the time taken in ms.
template <typename Done>
double RunEventsUntil(Done done, int limit_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limit_ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void BM_ReconnectAfterTheLinkReappears(benchmark::State& state) {
  QTemporaryDir dir;
  ctrl::MemorySettingsBackend backend;
  backend.SetInt("Previous Application Shutdown Status", 1);
  ctrl::ApplicationState app_state(backend);
  ctrl::sim::PtyCameraServer::Options options;
  options.link_path = (dir.path() + "/ttyCAM").toStdString();
  ctrl::sim::PtyCameraServer server(options);
  if (!server.Start()) return state.SkipWithError(server.error().c_str());
  app_state.MapCom1ForThisRun(options.link_path);
  ctrl::Commands().Reset();
  ctrl::OnlineStatusPublisher status;
  ctrl::ParameterDatabase database;
  ctrl::Command engine(app_state.channel(), ctrl::DefaultClock(), ctrl::Commands(), status);
  MainWindowSetup setup;
  setup.engine = &engine;
  setup.database = &database;
  setup.status = &status;
  setup.clock = &ctrl::DefaultClock();
  setup.open_link = [&app_state] { return app_state.OpenConnection(); };
  setup.close_link = [&app_state] { app_state.channel().Close(); };
  setup.factory_mode = &app_state.factory_mode();
  setup.channel = &app_state.channel();
  setup.settings = &app_state.settings();
  setup.com_port_map = &app_state.transports().com_port.port_map();
  CCtrlToolDlg window(setup);
  window.show();
  window.Initialise();

  double away_ms = 0;
  double back_ms = 0;
  double reload_ms = 0;
  for (auto _ : state) {
    // What a reload costs by itself on this line, to tell it from the way back.
    QElapsedTimer reload;
    reload.start();
    window.ReloadAllParameters();
    reload_ms += static_cast<double>(reload.nsecsElapsed()) / 1e6;
    // Unplugged: the window notices at its next look and starts its back-off.
    server.Stop();
    window.CheckLine();
    int32_t ignored = 0;
    engine.ReadCommand(ctrl::cmd::kUserSetArea, ignored, ctrl::kDefaultTimeoutMs);
    window.CheckLine();
    if (!window.line_lost()) return state.SkipWithError("loss not noticed");
    // Away long enough for the back-off to be in a long pause.
    away_ms += RunEventsUntil([] { return false; }, 2500);
    if (!server.Start()) return state.SkipWithError(server.error().c_str());
    back_ms += RunEventsUntil([&] { return !window.line_lost(); }, 10000);
    if (window.line_lost()) return state.SkipWithError("not back within 10 s");
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["link_back_to_online_ms"] = back_ms / iterations;
  state.counters["reload_alone_ms"] = reload_ms / iterations;
  state.counters["back_minus_reload_ms"] = (back_ms - reload_ms) / iterations;
  state.counters["away_ms"] = away_ms / iterations;
}
BENCHMARK(BM_ReconnectAfterTheLinkReappears)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
