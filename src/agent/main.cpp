// ctrltool-agent: puts this PC's cameras on an MQTT 5 broker for the fleet commands.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "agent/agent.h"
#include "camera/number_parse.h"
#include "ctrl_version.h"
#include "fleet/fleet_protocol.h"

namespace {

// The first line of a file (a password kept out of the process list).
bool ReadFirstLine(const std::string& path, std::string& line) {
  std::ifstream in(path);
  if (!in) return false;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Serves this PC's line-scan cameras to the fleet commands through an MQTT 5 "
               "broker.",
               "ctrltool-agent"};
  std::string broker_url;
  std::string station;
  std::vector<std::string> cameras;
  std::string password_file;
  double period_seconds = 5.0;
  int params_every = 12;
  int queue_limit = 16;
  ctrl::agent::AgentOptions options;
  app.set_config("--config", "", "Read these options from a file (TOML: key = value)");
  app.add_option("--broker", broker_url, "mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")->required();
  app.add_option("--station", station, "This PC's name on the broker (A-Z a-z 0-9 . _ -)")
      ->required();
  app.add_option("--camera", cameras,
                 "NAME=SPEC, SPEC a device path, COMn, cl2000:N, cl2001:N, cl11:N or sim:MODEL")
      ->required();
  app.add_option("--username", options.broker.username, "User name at the broker");
  app.add_option("--password", options.broker.password, "Password at the broker");
  app.add_option("--password-file", password_file, "File whose first line is the password");
  app.add_option("--ca-file", options.broker.ca_file, "Certificate authority of the broker (TLS)");
  app.add_option("--cert-file", options.broker.cert_file, "Client certificate (TLS)");
  app.add_option("--key-file", options.broker.key_file, "Client certificate's key (TLS)");
  app.add_option("--period", period_seconds,
                 "Seconds between readings of the monitored values (default 5)")
      ->check(CLI::Range(0.05, 3600.0));
  app.add_option("--params-every", params_every,
                 "Every this many periods all parameters are read again (default 12)")
      ->check(CLI::Range(1, 100000));
  app.add_option("--queue", queue_limit, "Requests that may wait per camera (default 16)")
      ->check(CLI::Range(1, 1024));
  app.set_version_flag("--version", std::string("ctrltool-agent ") + CTRL_VERSION);
  CLI11_PARSE(app, argc, argv);

  std::string error;
  if (!ctrl::fleet::ParseBrokerUrl(broker_url, options.broker, error)) {
    std::cerr << "ctrltool-agent: " << error << '\n';
    return 2;
  }
  if (!ctrl::fleet::IsValidName(station)) {
    std::cerr << "ctrltool-agent: the station name \"" << station
              << "\" is not 1 to 64 of the letters A-Z a-z, digits and . _ -.\n";
    return 2;
  }
  if (!password_file.empty() && !ReadFirstLine(password_file, options.broker.password)) {
    std::cerr << "ctrltool-agent: the password file " << password_file << " cannot be read.\n";
    return 2;
  }
  options.station = station;
  for (const std::string& text : cameras) {
    auto spec = ctrl::agent::ParseCameraSpec(text, error);
    if (!spec) {
      std::cerr << "ctrltool-agent: " << error << '\n';
      return 2;
    }
    for (const auto& other : options.cameras) {
      if (other.name == spec->name) {
        std::cerr << "ctrltool-agent: the camera name \"" << spec->name << "\" is given twice.\n";
        return 2;
      }
    }
    options.cameras.push_back(*spec);
  }
  options.worker.period = std::chrono::milliseconds(static_cast<int64_t>(period_seconds * 1000));
  options.worker.params_every = params_every;
  options.worker.queue_limit = static_cast<size_t>(queue_limit);

  // The stop signals are taken by this thread alone (every thread started later inherits the
  // mask), so the agent says goodbye before it exits.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  ctrl::agent::Agent agent(options);
  if (!agent.Start(error)) {
    std::cerr << "ctrltool-agent: " << error << '\n';
    return 1;
  }
  std::cerr << "ctrltool-agent: station " << station << " with " << options.cameras.size()
            << (options.cameras.size() == 1 ? " camera" : " cameras") << " on "
            << options.broker.host << ':' << options.broker.port << '\n';
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  agent.Stop();
  return 0;
}
