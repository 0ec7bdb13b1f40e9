// A whole line at once: one agent with 100 simulated cameras on a real mosquitto, each camera
// at its serial line's speed (9600 baud, as a camera starts). `fleet apply` of a full settings
// file to all 100 against the same to one camera; goal: the hundred in at most three times the
// one's time. Then the broker's messages per second reaching a watcher while every camera
// publishes its state every 100 ms.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "agent/agent.h"
#include "cli/cli.h"
#include "fleet/mqtt_client.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCameras = 100;

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

struct Broker {
  explicit Broker(int port) {
    config = "/tmp/bench-fleet-" + std::to_string(getpid()) + ".conf";
    std::ofstream(config) << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
                          << "max_queued_messages 100000\n";
    std::string program = CTRL_MOSQUITTO, flag = "-c";
    char* argv[] = {program.data(), flag.data(), config.data(), nullptr};
    posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ);
  }
  ~Broker() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::remove(config.c_str());
  }
  pid_t pid = -1;
  std::string config;
};

// Counts what the broker delivers under ctrltool/v1/.
struct Counter {
  explicit Counter(int port) : client("bench-fleet-counter") {
    client.AddSubscription("ctrltool/v1/#");
    client.set_message_handler([this](const ctrl::fleet::MqttMessage& message) {
      ++messages;
      if (message.topic.ends_with("/state") && message.payload.find("\"online\":true") !=
                                                   std::string::npos) {
        online_states.fetch_add(1);
      }
    });
    ctrl::fleet::BrokerOptions options;
    options.port = port;
    std::string error;
    client.Start(options, error);
  }
  ~Counter() { client.Stop(); }
  ctrl::fleet::MqttClient client;
  std::atomic<uint64_t> messages{0};
  std::atomic<uint64_t> online_states{0};
};

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

void BM_FleetApplyToAHundredCameras(benchmark::State& state) {
  const int port = FreePort();
  Broker broker(port);
  const std::string url = "mqtt://127.0.0.1:" + std::to_string(port);
  Counter counter(port);

  ctrl::agent::AgentOptions options;
  std::string error;
  if (!ctrl::fleet::ParseBrokerUrl(url, options.broker, error)) return state.SkipWithError(error.c_str());
  options.station = "line1";
  options.worker.period = std::chrono::milliseconds(100);
  options.worker.params_every = 1000000;
  for (int i = 0; i < kCameras; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "cam%03d", i);
    auto spec = ctrl::agent::ParseCameraSpec(
        std::string(name) + "=sim:QX-4096M-PCL:emulate_line_speed", error);
    if (!spec) return state.SkipWithError(error.c_str());
    options.cameras.push_back(*spec);
  }
  ctrl::agent::Agent agent(options);
  if (!agent.Start(error)) return state.SkipWithError(error.c_str());
  // Every camera online before anything is timed.
  const auto ready_by = Clock::now() + std::chrono::seconds(120);
  while (counter.online_states.load() < kCameras && Clock::now() < ready_by) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  // The full settings file, as save-settings writes it.
  const std::string file = "/tmp/bench-fleet-" + std::to_string(getpid()) + ".cam";
  std::ostringstream out, err;
  if (ctrl::cli::Run({"--simulate", "save-settings", file}, out, err) != 0) {
    return state.SkipWithError(err.str().c_str());
  }
  auto apply = [&](const std::string& where) {
    std::ostringstream apply_out, apply_err;
    const auto start = Clock::now();
    const int code = ctrl::cli::Run(
        {"fleet", "--broker", url, "--timeout", "600", "--where", where, "apply", file}, apply_out,
        apply_err);
    const double seconds = Seconds(Clock::now() - start);
    return code == 0 ? seconds : -1.0;
  };

  double one = 0, hundred = 0;
  for (auto _ : state) {
    one = apply("camera=cam000");
    hundred = apply("station=line1");
  }
  if (one <= 0 || hundred <= 0) return state.SkipWithError("an apply failed");

  // Messages per second a watcher gets while every camera publishes its state each period.
  const uint64_t before = counter.messages.load();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double rate = static_cast<double>(counter.messages.load() - before) /
                      Seconds(Clock::now() - start);
  agent.Stop();
  std::remove(file.c_str());

  state.counters["one_camera_s"] = one;
  state.counters["hundred_cameras_s"] = hundred;
  state.counters["ratio"] = hundred / one;
  state.counters["watch_messages_per_s"] = rate;
}
BENCHMARK(BM_FleetApplyToAHundredCameras)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
