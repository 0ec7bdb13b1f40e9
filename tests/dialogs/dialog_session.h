#pragma once

#include <QDialog>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/registry_settings.h"
#include "app/settings_backend.h"
#include "camera/command_table.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "support/recording_notifier.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"

namespace ctrl::test {

// Answers the file dialogs from a queue (Cancel when it runs dry) and keeps what was asked.
class FakeFileDialogs final : public ui::FileDialogs {
 public:
  Choice Ask(const Request& request) override {
    requests.push_back(request);
    if (choices.empty()) return {};
    Choice choice = choices.front();
    choices.pop_front();
    return choice;
  }
  void Choose(const QString& path) { choices.push_back({kOk, path}); }

  std::deque<Choice> choices;
  std::vector<Request> requests;
};

// Every traffic line the engine traced.
class TrafficRecord final : public TraceSink {
 public:
  void TraceLine(std::string_view line) override {
    lines.emplace_back(line);
    if (on_line) on_line(lines.back());
  }
  bool Sent(const std::string& request) const { return Count("Tx: " + request) > 0; }
  int Count(const std::string& line) const {
    int count = 0;
    for (const auto& seen : lines) count += seen == line ? 1 : 0;
    return count;
  }
  // Index of the first traced line equal to `line` at or after `from`; -1 when none.
  int Find(const std::string& line, int from = 0) const {
    for (size_t i = static_cast<size_t>(from); i < lines.size(); ++i) {
      if (lines[i] == line) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<std::string> lines;
  std::function<void(const std::string&)> on_line;
};

// The tool's windows against one simulated camera in the process, with a fake clock (time-outs
// cost no time), recorded messages, scripted file dialogs and modal dialogs run by the test.
struct DialogSession {
  // `prepare` sets up the camera before the tool starts and reads it.
  explicit DialogSession(const std::string& model = "QX-4096M-PCL", int factory = 0,
                         const std::function<void(sim::CameraModel&)>& prepare = {})
      : camera(model),
        front_end(camera),
        channel(front_end, clock),
        engine((Commands().Reset(), channel), clock, Commands(), status),
        settings(backend),
        factory_mode(factory) {
    if (prepare) prepare(camera);
    MainWindowSetup setup;
    setup.engine = &engine;
    setup.database = &database;
    setup.status = &status;
    setup.clock = &clock;
    setup.open_link = [] { return true; };
    setup.factory_mode = &factory_mode;
    setup.settings = &settings;
    setup.file_dialogs = &file_dialogs;
    setup.trace_to = &traffic;
    setup.run_modal = [this](QDialog& dialog) {
      if (!on_modal) return static_cast<int>(QDialog::Rejected);
      on_modal(dialog);
      return dialog.result();
    };
    window = std::make_unique<CCtrlToolDlg>(setup);
    window->show();
    window->Initialise();
  }

  uint32_t Reg(int command_id) const { return Commands().GetCommandRegister(command_id); }
  std::string Addr(int command_id) const { return Commands().GetCommandAddress(command_id); }
  std::string Write(int command_id, int value) const {
    return "wr " + Addr(command_id) + " " + std::to_string(value);
  }
  int32_t Peek(int command_id) const { return static_cast<int32_t>(camera.Peek(Reg(command_id))); }
  void Silence(bool silent) { front_end.faults().silent = silent; }

  RecordingNotifier notifier;
  FakeClock clock{1'000'000};
  sim::CameraModel camera;
  sim::CameraFrontEnd front_end;
  sim::InProcessChannel channel;
  OnlineStatusPublisher status;
  Command engine;
  ParameterDatabase database;
  MemorySettingsBackend backend;
  RegistrySettings settings;
  FakeFileDialogs file_dialogs;
  TrafficRecord traffic;
  int factory_mode;
  // What the operator does in the next modal dialog; without it the dialog is cancelled.
  std::function<void(QDialog&)> on_modal;
  std::unique_ptr<CCtrlToolDlg> window;
};

}  // namespace ctrl::test
