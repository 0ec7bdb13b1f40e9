// fleet: the cameras of every station whose agent is on the broker, selected with --where.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/completion.h"
#include "cli/display_text.h"
#include "cli/interrupt.h"
#include "cli/subcommands.h"
#include "files/bounded_read.h"
#include "fleet/fleet_protocol.h"
#include "fleet/mqtt_client.h"

namespace ctrl::cli {
namespace {

using fleet::Json;
using Clock = std::chrono::steady_clock;

struct FleetArguments {
  std::string broker = "mqtt://127.0.0.1:1883";
  std::string where;
  double timeout_seconds = 60;
  std::string username;
  std::string password;
  std::string password_file;
  std::string ca_file;
  std::string cert_file;
  std::string key_file;
  // The subcommand's own arguments.
  std::string feature;
  std::string value;
  std::string file;
  int count = 0;  // watch: stop after this many changes; 0 runs until Ctrl+C
  CLI::App* list = nullptr;
  CLI::App* get = nullptr;
  CLI::App* set = nullptr;
  CLI::App* apply = nullptr;
  CLI::App* drift = nullptr;
  CLI::App* watch = nullptr;
};

// A camera as its retained state shows it.
struct CameraEntry {
  std::string station;
  std::string camera;
  Json state;
  std::string model() const {
    return state.value("model", Json()).is_string() ? state["model"].get<std::string>() : "";
  }
  std::string serial() const {
    const Json identity = state.value("identity", Json::object());
    return identity.is_object() && identity.value("serial", Json()).is_string()
               ? identity["serial"].get<std::string>()
               : "";
  }
};

// What the broker tells this run: the retained states, the agents' presence and the replies.
class FleetView {
 public:
  explicit FleetView(std::string client_id) : client_(std::move(client_id)) {
    reply_topic_ = fleet::ReplyTopic(client_.client_id());
    client_.AddSubscription(std::string(fleet::kTopicRoot) + "/+/+/" +
                            std::string(fleet::kStateLeaf));
    client_.AddSubscription(std::string(fleet::kTopicRoot) + "/+/" + std::string(fleet::kAgentLeaf));
    client_.AddSubscription(reply_topic_);
    client_.set_message_handler([this](const fleet::MqttMessage& message) { OnMessage(message); });
    client_.set_connection_handler([this](bool connected) {
      const bool refused = !connected && client_.refused();
      {
        std::lock_guard lock(mutex_);
        connected_ = connected;
        refused_ = refused;
      }
      changed_.notify_all();
    });
  }
  ~FleetView() { client_.Stop(); }

  // Connects and waits until every retained message the subscriptions bring is in: a marker
  // published after subscribing comes back after them.
  bool Connect(const fleet::BrokerOptions& options, Clock::time_point deadline,
               std::string& error) {
    if (!client_.Start(options, error)) return false;
    std::unique_lock lock(mutex_);
    // A refusal (credentials, authorisation) is final: no use waiting for the time-out.
    if (!changed_.wait_until(lock, deadline, [this] { return connected_ || refused_; }) ||
        !connected_) {
      const std::string broker = options.host + ":" + std::to_string(options.port);
      const std::string why = client_.last_error();
      if (refused_) {
        error = "At " + broker + ", " + why + ".";
      } else {
        error = "The broker at " + broker + " did not accept a connection within the time-out" +
                (why.empty() ? "" : " (" + why + ")") + ".";
      }
      return false;
    }
    lock.unlock();
    fleet::PublishOptions marker;
    marker.has_correlation = true;
    marker.correlation_data = kMarker;
    client_.Publish(reply_topic_, "{}", marker);
    lock.lock();
    if (!changed_.wait_until(lock, deadline, [this] { return marker_seen_; })) {
      error = "The broker did not deliver the fleet's state in time.";
      return false;
    }
    return true;
  }

  std::vector<CameraEntry> Cameras(const fleet::Selection& selection) {
    std::lock_guard lock(mutex_);
    std::vector<CameraEntry> cameras;
    for (const auto& [key, state] : states_) {
      CameraEntry entry{key.first, key.second, state};
      if (selection.Matches(entry.station, entry.camera, entry.model(), entry.serial())) {
        cameras.push_back(std::move(entry));
      }
    }
    return cameras;
  }

  // The station's agent said goodbye (or its will did).
  bool AgentOffline(const std::string& station) {
    std::lock_guard lock(mutex_);
    const auto found = agent_online_.find(station);
    return found != agent_online_.end() && !found->second;
  }

  bool Send(const CameraEntry& camera, const Json& request) {
    fleet::PublishOptions options;
    options.response_topic = reply_topic_;
    options.correlation_data = request["id"];
    options.has_correlation = true;
    return client_.Publish(fleet::CameraTopic(camera.station, camera.camera, fleet::kCommandLeaf),
                           fleet::MessageText(request), options);
  }

  // Waits for the replies of `ids` (request id → station) until the deadline, an interrupt, or
  // the agent of the station going offline; what came is in the map.
  std::map<std::string, Json> AwaitReplies(const std::map<std::string, std::string>& ids,
                                           Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    auto settled = [&] {
      for (const auto& [id, station] : ids) {
        const auto agent = agent_online_.find(station);
        const bool agent_online = agent == agent_online_.end() || agent->second;
        if (replies_.count(id) == 0 && agent_online) return false;
      }
      return true;
    };
    while (!settled() && Clock::now() < deadline && !InterruptRequested()) {
      changed_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(200)));
    }
    std::map<std::string, Json> replies;
    for (const auto& [id, station] : ids) {
      if (auto found = replies_.find(id); found != replies_.end()) replies[id] = found->second;
    }
    return replies;
  }

  // A state that changed since the last call, or nothing by the deadline / an interrupt.
  std::optional<CameraEntry> NextChange(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    while (changes_.empty() && Clock::now() < deadline && !InterruptRequested()) {
      changed_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(200)));
    }
    if (changes_.empty()) return std::nullopt;
    CameraEntry entry = std::move(changes_.front());
    changes_.erase(changes_.begin());
    return entry;
  }
  void WatchChanges() {
    std::lock_guard lock(mutex_);
    watching_ = true;
  }

  uint64_t messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  static constexpr const char* kMarker = "fleet-sync";

  // What a watcher sees change: not the time stamp and the link's counters, which move on
  // every period.
  static std::string WatchedPart(const Json& state) {
    Json part = Json::object();
    for (const char* key : {"online", "supported", "model", "identity", "temperature", "voltage",
                            "error"}) {
      part[key] = state.contains(key) ? state[key] : Json();
    }
    return fleet::MessageText(part);
  }

  void OnMessage(const fleet::MqttMessage& message) {
    std::lock_guard lock(mutex_);
    ++messages_;
    if (message.topic == reply_topic_) {
      if (message.correlation_data == kMarker) {
        marker_seen_ = true;
      } else if (auto reply = fleet::ParseMessage(message.payload); reply && reply->is_object()) {
        replies_[message.correlation_data] = *reply;
      }
    } else if (auto station = fleet::ParseAgentTopic(message.topic)) {
      auto agent = fleet::ParseMessage(message.payload);
      const bool online = agent && agent->is_object() && agent->value("online", false) == true;
      agent_online_[*station] = online;
      if (!online) MarkStationOffline(*station);
    } else if (auto parts = fleet::ParseCameraTopic(message.topic);
               parts && parts->leaf == fleet::kStateLeaf) {
      auto state = fleet::ParseMessage(message.payload);
      const auto key = std::make_pair(parts->station, parts->camera);
      if (!state || !state->is_object()) {
        states_.erase(key);  // an empty retained message removes the camera
        return;
      }
      if (agent_online_.count(parts->station) == 0) agent_online_[parts->station] = true;
      const auto previous = states_.find(key);
      const bool changed =
          previous == states_.end() || WatchedPart(previous->second) != WatchedPart(*state);
      states_[key] = *state;
      if (watching_ && changed) changes_.push_back({parts->station, parts->camera, *state});
    }
    changed_.notify_all();
  }

  // The agent is gone: its cameras are offline, whatever their last state said.
  void MarkStationOffline(const std::string& station) {
    for (auto& [key, state] : states_) {
      if (key.first != station || state.value("online", false) != true) continue;
      state["online"] = false;
      state["error"] = "The agent of station " + station + " is offline.";
      if (watching_) changes_.push_back({key.first, key.second, state});
    }
  }

  fleet::MqttClient client_;
  std::string reply_topic_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool connected_ = false;
  bool refused_ = false;
  bool marker_seen_ = false;
  bool watching_ = false;
  uint64_t messages_ = 0;
  std::map<std::pair<std::string, std::string>, Json> states_;
  std::map<std::string, bool> agent_online_;
  std::map<std::string, Json> replies_;
  std::vector<CameraEntry> changes_;
};

std::string Name(const CameraEntry& camera) { return camera.station + "/" + camera.camera; }

std::string StateText(const Json& state, const char* key) {
  const Json value = state.value(key, Json());
  if (value.is_object() && value.value("text", Json()).is_string()) return value["text"];
  return "-";
}

// One line of a camera's state, as list and watch print it.
void PrintCameraLine(Session& session, const CameraEntry& camera) {
  const Json& state = camera.state;
  const bool online = state.value("online", false) == true;
  if (session.json()) {
    session.EmitJson({{"station", camera.station},
                      {"camera", camera.camera},
                      {"model", camera.model().empty() ? Json() : Json(camera.model())},
                      {"serial", camera.serial().empty() ? Json() : Json(camera.serial())},
                      {"online", online},
                      {"temperature", state.value("temperature", Json())},
                      {"voltage", state.value("voltage", Json())},
                      {"error", state.value("error", Json())}});
    return;
  }
  char line[256];
  std::snprintf(line, sizeof line, "%-12s %-12s %-16s %-12s %-8s %s", camera.station.c_str(),
                camera.camera.c_str(), DisplayText(camera.model().empty() ? "-" : camera.model()).c_str(),
                DisplayText(camera.serial().empty() ? "-" : camera.serial()).c_str(),
                online ? "online" : "offline", StateText(state, "temperature").c_str());
  session.out() << line;
  if (state.value("error", Json()).is_string()) {
    session.out() << "  (" << DisplayText(state["error"].get<std::string>()) << ")";
  }
  session.out() << '\n';
}

// Sends one request per camera and collects the replies: a camera that did not answer within
// the time-out, or whose agent went away, gets an error reply of its own.
std::vector<std::pair<CameraEntry, Json>> RunOnEach(Session& session, FleetView& view,
                                                   const std::vector<CameraEntry>& cameras,
                                                   const Json& request,
                                                   Clock::time_point deadline) {
  static int sequence = 0;
  const std::string prefix = "cli-" + std::to_string(getpid()) + "-" +
                             std::to_string(Clock::now().time_since_epoch().count()) + "-";
  std::map<std::string, std::string> ids;
  std::vector<std::string> id_of(cameras.size());
  for (size_t i = 0; i < cameras.size(); ++i) {
    Json one = request;
    id_of[i] = prefix + std::to_string(++sequence);
    one["id"] = id_of[i];
    if (view.AgentOffline(cameras[i].station)) continue;
    if (view.Send(cameras[i], one)) ids[id_of[i]] = cameras[i].station;
  }
  const InterruptGuard guard;
  std::map<std::string, Json> replies = view.AwaitReplies(ids, deadline);
  std::vector<std::pair<CameraEntry, Json>> results;
  for (size_t i = 0; i < cameras.size(); ++i) {
    Json reply;
    if (auto found = replies.find(id_of[i]); found != replies.end()) {
      reply = found->second;
    } else {
      std::string why;
      if (view.AgentOffline(cameras[i].station)) {
        why = "The agent of station " + cameras[i].station + " is offline; the camera did not answer.";
      } else if (ids.count(id_of[i]) == 0) {
        why = "The request could not be sent to the broker.";
      } else if (InterruptRequested()) {
        why = "Interrupted before the camera answered.";
      } else {
        why = "No answer within the time-out; the request may still run on the camera.";
      }
      reply = {{"ok", false}, {"error", why}};
    }
    results.emplace_back(cameras[i], std::move(reply));
  }
  (void)session;
  return results;
}

bool ReplyOk(const Json& reply) { return reply.value("ok", false) == true; }

std::string ReplyError(const Json& reply) {
  const Json error = reply.value("error", Json());
  return error.is_string() ? error.get<std::string>() : "The camera failed.";
}

// A file's content for a request; nothing after a message.
std::optional<std::string> ReadContent(Session& session, const std::string& path) {
  constexpr int64_t kMaxContent = 4 << 20;
  FileForReading opened = OpenRegularFileForReading(path, kMaxContent);
  if (opened.result != ReadOpenResult::kOpened) {
    session.err() << (opened.result == ReadOpenResult::kTooLarge
                          ? path + " is larger than any settings or LUT file could be.\n"
                          : "Couldn't open " + path + ".\n");
    return std::nullopt;
  }
  std::string content;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, opened.file.get())) > 0) {
    content.append(buffer, got);
  }
  if (std::ferror(opened.file.get()) != 0) {
    session.err() << "Couldn't read " << path << ".\n";
    return std::nullopt;
  }
  return content;
}

// One camera's outcome, as get, set and apply print it.
void PrintOutcome(Session& session, const std::string& command, const CameraEntry& camera,
                  const Json& reply) {
  const bool ok = ReplyOk(reply);
  if (session.json()) {
    Json record = {{"command", command}, {"station", camera.station}, {"camera", camera.camera},
                   {"ok", ok}};
    for (const char* key : {"feature", "address", "value", "text", "unit", "sent", "accepted",
                            "refused", "unanswered", "skipped"}) {
      if (reply.contains(key)) record[key] = reply[key];
    }
    record["error"] = ok ? Json() : Json(ReplyError(reply));
    session.EmitJson(std::move(record));
    return;
  }
  session.out() << Name(camera) << ": ";
  if (!ok) {
    session.out() << "FAILED: " << DisplayText(ReplyError(reply)) << '\n';
  } else if (reply.contains("text")) {
    session.out() << DisplayText(reply["text"].is_string() ? reply["text"].get<std::string>() : "")
                  << '\n';
  } else if (reply.contains("message")) {
    session.out() << DisplayText(reply["message"].get<std::string>()) << '\n';
  } else {
    session.out() << "done\n";
  }
}

std::string SideText(const Json& side) {
  if (!side.is_object()) return "(none)";
  return side.value("text", Json()).is_string() ? side["text"].get<std::string>() : "?";
}

int Drift(Session& session, const std::vector<std::pair<CameraEntry, Json>>& results) {
  int code = kExitOk;
  for (const auto& [camera, reply] : results) {
    const bool ok = ReplyOk(reply);
    // Drift is what the golden file says and the camera no longer has: rows the file leaves
    // out (another model's rows) are not held against the camera.
    Json differences = Json::array();
    for (const Json& row : reply.value("differences", Json::array())) {
      if (row.is_object() && row.value("file", Json()).is_object()) differences.push_back(row);
    }
    const bool same = ok && differences.empty();
    if (!same) code = kExitCamera;
    if (session.json()) {
      session.EmitJson({{"command", "drift"}, {"station", camera.station}, {"camera", camera.camera},
                        {"ok", ok}, {"same", same}, {"differences", differences},
                        {"error", ok ? Json() : Json(ReplyError(reply))}});
      continue;
    }
    if (!ok) {
      session.out() << Name(camera) << ": FAILED: " << DisplayText(ReplyError(reply)) << '\n';
      continue;
    }
    if (same) {
      session.out() << Name(camera) << ": matches\n";
      continue;
    }
    session.out() << Name(camera) << ": " << differences.size()
                  << (differences.size() == 1 ? " row differs" : " rows differ") << '\n';
    for (const Json& row : differences) {
      session.out() << "  " << row.value("feature", std::string("?")) << ": camera "
                    << DisplayText(SideText(row.value("camera", Json()))) << ", file "
                    << DisplayText(SideText(row.value("file", Json()))) << '\n';
    }
  }
  return code;
}

int Watch(Session& session, FleetView& view, const fleet::Selection& selection, int count) {
  const InterruptGuard guard;
  ClearInterrupt();
  int seen = 0;
  const auto forever = Clock::now() + std::chrono::hours(24 * 365);
  while (count == 0 || seen < count) {
    std::optional<CameraEntry> change = view.NextChange(forever);
    if (!change) break;
    if (!selection.Matches(change->station, change->camera, change->model(), change->serial())) {
      continue;
    }
    PrintCameraLine(session, *change);
    session.out().flush();
    ++seen;
  }
  if (InterruptRequested()) ClearInterrupt();
  return kExitOk;
}

int FleetCommand(Session& session, FleetArguments& arguments) {
  fleet::BrokerOptions broker;
  std::string error;
  fleet::Selection selection;
  if (!fleet::ParseBrokerUrl(arguments.broker, broker, error) ||
      !selection.Parse(arguments.where, error)) {
    session.err() << error << '\n';
    return kExitUsage;
  }
  broker.username = arguments.username;
  broker.password = arguments.password;
  broker.ca_file = arguments.ca_file;
  broker.cert_file = arguments.cert_file;
  broker.key_file = arguments.key_file;
  if (!arguments.password_file.empty()) {
    std::optional<std::string> password = ReadContent(session, arguments.password_file);
    if (!password) return kExitUsage;
    broker.password = password->substr(0, password->find_first_of("\r\n"));
  }
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(arguments.timeout_seconds * 1000));
  FleetView view("ctrltool-cli-" + std::to_string(getpid()) + "-" +
                 std::to_string(Clock::now().time_since_epoch().count() % 1000000));
  if (arguments.watch->parsed()) view.WatchChanges();
  if (!view.Connect(broker, deadline, error)) {
    session.err() << error << '\n';
    return kExitCamera;
  }
  if (arguments.watch->parsed()) return Watch(session, view, selection, arguments.count);

  const std::vector<CameraEntry> cameras = view.Cameras(selection);
  if (cameras.empty()) {
    session.err() << "No camera on the broker matches"
                  << (arguments.where.empty() ? "" : " " + arguments.where) << ".\n";
    return kExitCamera;
  }
  if (arguments.list->parsed()) {
    if (!session.json()) {
      char header[160];
      std::snprintf(header, sizeof header, "%-12s %-12s %-16s %-12s %-8s %s", "STATION", "CAMERA",
                    "MODEL", "SERIAL", "ONLINE", "TEMPERATURE");
      session.out() << header << '\n';
    }
    bool all_online = true;
    for (const CameraEntry& camera : cameras) {
      PrintCameraLine(session, camera);
      all_online = all_online && camera.state.value("online", false) == true;
    }
    return all_online ? kExitOk : kExitCamera;
  }

  Json request = Json::object();
  std::string command;
  if (arguments.get->parsed()) {
    command = "get";
    request = {{"op", "get"}, {"feature", arguments.feature}};
  } else if (arguments.set->parsed()) {
    command = "set";
    request = {{"op", "set"}, {"feature", arguments.feature}, {"value", arguments.value}};
  } else {
    const bool apply = arguments.apply->parsed();
    command = apply ? "apply" : "drift";
    std::optional<std::string> content = ReadContent(session, arguments.file);
    if (!content) return kExitCamera;
    request = {{"op", apply ? "load-settings" : "diff"}, {"content", *content}};
  }
  const auto results = RunOnEach(session, view, cameras, request, deadline);
  if (command == "drift") return Drift(session, results);
  int code = kExitOk;
  for (const auto& [camera, reply] : results) {
    PrintOutcome(session, command, camera, reply);
    if (!ReplyOk(reply)) code = kExitCamera;
  }
  return code;
}

}  // namespace

Subcommand AddFleet(CLI::App& app) {
  auto arguments = std::make_shared<FleetArguments>();
  CLI::App* parser = app.add_subcommand(
      "fleet", "The cameras of every station on an MQTT broker (run ctrltool-agent on each PC)");
  parser->add_option("--broker", arguments->broker,
                     "mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (default mqtt://127.0.0.1:1883)");
  parser->add_option("--where", arguments->where,
                     "Select cameras: station=…,camera=…,model=…,serial=… (* and ? match)");
  parser->add_option("--timeout", arguments->timeout_seconds,
                     "Seconds to wait for the broker and the cameras (default 60)")
      ->check(CLI::Range(0.1, 86400.0));
  parser->add_option("--username", arguments->username, "User name at the broker");
  parser->add_option("--password", arguments->password, "Password at the broker");
  parser->add_option("--password-file", arguments->password_file,
                     "File whose first line is the password")
      ->type_name(kFileValue);
  parser->add_option("--ca-file", arguments->ca_file, "Certificate authority of the broker (TLS)")
      ->type_name(kFileValue);
  parser->add_option("--cert-file", arguments->cert_file, "Client certificate (TLS)")
      ->type_name(kFileValue);
  parser->add_option("--key-file", arguments->key_file, "Client certificate's key (TLS)")
      ->type_name(kFileValue);
  parser->require_subcommand(1, 1);
  arguments->list = parser->add_subcommand(
      "list", "Station, camera, model, serial number, online and temperature of each camera");
  arguments->get = parser->add_subcommand("get", "Read one parameter of each camera");
  arguments->get->add_option("parameter", arguments->feature, "Feature label or address")
      ->type_name(kFeatureValue)
      ->required();
  arguments->set = parser->add_subcommand("set", "Write one parameter of each camera");
  arguments->set->add_option("parameter", arguments->feature, "Feature label or address")
      ->type_name(kFeatureValue)
      ->required();
  arguments->set->add_option("value", arguments->value, "Item name (any case) or number")
      ->required();
  arguments->apply =
      parser->add_subcommand("apply", "Load a settings file into each camera, all at once");
  arguments->apply->add_option("file", arguments->file, "Camera settings file (*.cam)")
      ->type_name(kFileValue)
      ->required();
  arguments->drift = parser->add_subcommand(
      "drift", "Compare each camera with a settings file: which rows differ (exit 1 when any)");
  arguments->drift->add_option("file", arguments->file, "Camera settings file (*.cam)")
      ->type_name(kFileValue)
      ->required();
  arguments->watch =
      parser->add_subcommand("watch", "Print each camera's state as it changes, until Ctrl+C");
  arguments->watch->add_option("--count", arguments->count, "Stop after this many changes")
      ->check(CLI::Range(1, 1000000));
  return {parser, [arguments](Session& session) { return FleetCommand(session, *arguments); },
          /*needs_camera=*/false};
}

}  // namespace ctrl::cli
